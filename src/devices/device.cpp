#include "devices/device.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <set>

#include "base/app_globals.h"
#include "base/archive_hooks.h"
#include "base/file_utils.h"
#include "base/ini_file2.h"
#include "base/res_string.h"
#include "base/file_stream2.h"
#include "datastore/kw_data.h"
#include "devices/db_shell.h"
#include "devices/dev_class_registry.h"
#include "devices/device_messages.h"
#include "platform/rtl/file_io.h"
#include "platform/rtl/store_changed.h"
#include "platform/rtl/stream.h"
#include "devices/visual_hooks.h"

namespace qv {

namespace {

std::string WithSlash(std::string dir) {
  if (!dir.empty() && dir.back() == '\\') dir.back() = '/';
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

std::string WithoutSlash(std::string dir) {
  while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
  return dir;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool StartsWithDL(const std::string& name) {
  return name.size() >= 2 && (name[0] == 'D' || name[0] == 'd') && (name[1] == 'L' || name[1] == 'l');
}

// The path of a file in dir as it is spelled on disk; dir + name when there is none.
std::string SpelledOnDisk(const std::string& dir, const std::string& name) {
  const std::string found = FindFileIgnoringCase(dir, name);
  return found.empty() ? dir + name : found;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Resets a flag when the scope ends, also on an exception.
class FlagGuard {
public:
  explicit FlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagGuard() { flag_ = false; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;

private:
  bool& flag_;
};

}  // namespace

// --- construction ---

void TDevice::SetDefaults() {
  loading_ = false;
  deletable_ = true;
  id_ = -1;
  edit_id_ = -1;
  name_.clear();
  edit_name_.clear();
  sname_.clear();
  edit_sname_.clear();
  disabled_ = false;
}

void TDevice::TakeOverParentLoggerId(TDevice* parent) {
  if (parent && parent->logger_id_ > 0) {
    logger_id_ = parent->logger_id_;
    kennung_ = parent->logger_id_;
  }
}

void TDevice::InitNew(TDevice* parent, std::unique_ptr<TChannels> channels) {
  class_name_ = ClassName();
  SetDefaults();
  is_new_ = true;
  channels_ = std::move(channels);
  TakeOverParentLoggerId(parent);
  parent_ = parent;
  if (parent) {
    dir_ = InvalidDir;
    layer_ = -1;
  } else {
    dir_ = WithSlash(ExePath);
    hidden_ = true;
    layer_ = 0;
  }
}

void TDevice::LoadFromDir(TDevice* parent, const std::string& dir) {
  class_name_ = ClassName();
  SetDefaults();
  TakeOverParentLoggerId(parent);
  is_new_ = false;
  dir_ = WithSlash(dir);
  hidden_ = false;
  parent_ = parent;
  if (parent) {
    const std::string& parent_dir = parent->dir_;
    const bool below = dir_.size() > parent_dir.size() && dir_.compare(0, parent_dir.size(), parent_dir) == 0;
    id_ = below ? DirToId(dir_.substr(parent_dir.size())) : -1;
    edit_id_ = id_;
    if (id_ < 0) throw EDeviceError(Format(LoadResString("dev_InvalidDir"), dir));
  } else {
    if (dir_ != WithSlash(ExePath)) throw EDeviceError(Format(LoadResString("dev_InvalidDir"), dir));
    id_ = -1;
    edit_id_ = -1;
    layer_ = 0;
    hidden_ = true;
  }
  ReadIni();
  if (id_ >= 0) {
    InsertInParent();
    OpenData();
  }
  LoadChildren();
}

TDevice::~TDevice() {
  if (!discarded_) {
    // Nothing may leave a destructor, not even a failed report (the log may sit on the same
    // full disk); the data must still be written after a failed Device.ini.
    try {
      try {
        // A node that was never set up owns no folder; one of its id may belong to another.
        if (!is_new_) WriteIni();
      } catch (const std::exception& e) {
        ReportError(e.what(), "TDevice.Destroy");
      }
    } catch (...) {
    }
    // Records stored since the last flush would be lost with the buffer.
    try {
      FlushData();
    } catch (...) {
    }
  }
  data_.reset();
  record_.reset();
  while (!children_.empty()) delete children_.back();  // each child leaves the list itself
  if (parent_) parent_->RemoveChild(this);
}

void TDevice::SetDiscarded() {
  discarded_ = true;
  for (TDevice* child : children_) child->SetDiscarded();
}

void TDevice::Discard(TDevice* node) {
  if (!node) return;
  node->SetDiscarded();
  delete node;
}

// --- tree ---

int32_t TDevice::DirToId(const std::string& name) {
  std::string s = WithoutSlash(name);
  if (s.size() <= 2) return -1;
  s = s.substr(2);
  if (s.size() > 9) return -1;
  int32_t value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value <= MaxId ? value : -1;
}

TDevice* TDevice::GetChild(int index) const {
  if (index < 0 || index >= ChildCount()) throw EDeviceError(LoadResString("dev_IndexError"));
  return children_[static_cast<size_t>(index)];
}

int TDevice::IndexOfChild(const TDevice* node) const {
  for (size_t i = 0; i < children_.size(); ++i)
    if (children_[i] == node) return static_cast<int>(i);
  return -1;
}

int TDevice::IndexOfId(int32_t id) const {
  if (id < 0) return -1;
  for (size_t i = 0; i < children_.size(); ++i)
    if (children_[i]->id_ == id) return static_cast<int>(i);
  return -1;
}

void TDevice::Insert(TDevice* child) {
  if (is_new_) throw EDeviceError("TDevice.Insert: no insert while device is new!");
  if (child->id_ < 0) throw EDeviceError("TDevice.Insert: no insert with invalid ID!");
  if (IndexOfId(child->id_) >= 0) throw EDeviceError(Format(LoadResString("dat_IDAlreadyExists"), child->id_));
  if (child->parent_ && child->parent_ != this) throw EDeviceError(LoadResString("dev_DeviceReinserted"));
  child->parent_ = this;
  child->layer_ = layer_ + 1;
  child->OnChange = [this](TDevice* sender) {
    if (OnChange && !loading_) OnChange(sender);
  };
  child->OnTreeChange = [this](TDevice* sender) {
    if (OnTreeChange && !loading_) OnTreeChange(sender);
  };
  auto pos = std::find_if(children_.begin(), children_.end(), [&](TDevice* c) { return c->id_ > child->id_; });
  children_.insert(pos, child);
  DoTreeChange();
}

void TDevice::InsertInParent() {
  if (parent_) parent_->Insert(this);
}

void TDevice::RemoveChild(TDevice* child) {
  auto it = std::find(children_.begin(), children_.end(), child);
  if (it != children_.end()) children_.erase(it);
}

std::vector<std::pair<int32_t, std::string>> TDevice::ListIdFolders() const {
  std::vector<std::pair<int32_t, std::string>> out;
  if (dir_.empty() || dir_ == InvalidDir) return out;
  DIR* d = ::opendir(dir_.c_str());
  if (!d) return out;
  std::vector<std::string> names;
  while (dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (StartsWithDL(name) && IsFolder(dir_ + name)) names.push_back(std::move(name));
  }
  ::closedir(d);
  std::sort(names.begin(), names.end());
  for (std::string& name : names) {
    const int32_t id = DirToId(name);
    if (id >= 0) out.emplace_back(id, std::move(name));
  }
  return out;
}

bool TDevice::IdUsedOnDisk(int32_t id) const {
  for (const auto& [folder_id, name] : ListIdFolders())
    if (folder_id == id) return true;
  return false;
}

int32_t TDevice::FindNextId(int32_t lo, int32_t hi) const {
  if (lo < 0 || hi < lo || hi > MaxId) throw EDeviceError("Error in TDevice.FindNextId: Invalid input!");
  // A folder that exists on disk but was not loaded (unregistered class, damaged, left over)
  // must never be handed out again: the new node would write into it.
  std::set<int32_t> used;
  for (TDevice* child : children_) used.insert(child->id_);
  for (const auto& folder : ListIdFolders()) used.insert(folder.first);
  int32_t b = -1;
  for (auto it = used.rbegin(); it != used.rend(); ++it) {
    if (*it < lo) break;
    if (*it <= hi) {
      b = *it;
      break;
    }
  }
  if (b < 0) return lo;
  if (b < hi) return b + 1;
  for (int32_t id = lo; id <= hi; ++id)
    if (!used.count(id)) return id;
  throw EDeviceError(LoadResString("dev_NoMoreIDs"));
}

bool TDevice::CheckNewChildId(int32_t id) const {
  if (id < 0 || id > MaxId) {
    DeviceMessage(LoadResString("dev_IndexError"), LoadResString("err_InvalidInput"), TDevMsgKind::Warning);
    return false;
  }
  if (IndexOfId(id) < 0 && !IdUsedOnDisk(id)) return true;
  DeviceMessage(Format(LoadResString("dat_IDAlreadyExists"), id), LoadResString("err_InvalidInput"),
                TDevMsgKind::Warning);
  return false;
}

void TDevice::SetId(int32_t id) {
  if (!is_new_ || !parent_) throw EDeviceError("Error in TDevice.SetId: Cannot change ID!");
  // A folder above DL32767 would never be loaded again.
  if (id < 0 || id > MaxId) throw EDeviceError("Error in TDevice.SetId: Invalid ID!");
  if (!StoreChanged(id_, id)) return;
  edit_id_ = id;
  dir_ = parent_->dir_ + GetIdStr() + "/";
}

namespace {

// A new node's folder is built under a hidden name beside its final one and renamed when its
// files are complete; a crash leaves such a folder, which no load takes for a device.
constexpr const char* kBuildPrefix = ".~qvnew-";

[[noreturn]] void RaiseIoError(int err, const std::string& path) {
  throw EInOutError("I/O error " + std::to_string(Win32ErrorOfErrno(err, path)));
}

void RemoveFolder(const std::string& folder) {
  try {
    DeleteDir(folder);
  } catch (const std::exception&) {
    // What stays is a hidden folder that nothing loads, or a leftover removed later.
  }
}

// Removes build folders of crashed set-ups in dir that have not changed for a while.
void RemoveStaleBuildFolders(const std::string& dir) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  std::vector<std::string> stale;
  const time_t now = ::time(nullptr);
  while (dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name.compare(0, std::strlen(kBuildPrefix), kBuildPrefix) != 0) continue;
    struct stat st;
    if (::lstat((dir + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
        now - st.st_mtime >= TAtomicFileStream::StaleTempSeconds)
      stale.push_back(dir + name);
  }
  ::closedir(d);
  for (const std::string& folder : stale) RemoveFolder(folder);
}

void SyncFolder(const std::string& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

bool TDevice::SetUpDevice() {
  if (!is_new_) {
    DeviceMessage("Second setup not possible for device", "TDevice.SetUpDevice", TDevMsgKind::Error);
    return false;
  }
  if (id_ < 0) {
    if (parent_) throw EDeviceError("TDevice.SetUpDevice: Invalid Id for Device with Parent!");
    layer_ = 0;
    WriteIni();
    is_new_ = false;
    return false;
  }
  // SetId gives an id only to a node with a parent.
  InsertInParent();
  const std::string final_dir = dir_;
  const std::string folder = WithoutSlash(final_dir);
  std::string building;  // the folder while it is being made
  bool renamed = false;
  try {
    // Another spelling of the same id (DL7 beside DL007) belongs to another node.
    if (parent_->IdUsedOnDisk(id_)) RaiseIoError(EEXIST, folder);
    RemoveStaleBuildFolders(parent_->dir_);
    // A name taken by a leftover is simply passed over.
    for (int n = 0; building.empty(); ++n) {
      const std::string name = parent_->dir_ + kBuildPrefix + GetIdStr() + "-" + std::to_string(n);
      if (::mkdir(name.c_str(), 0777) == 0)
        building = name;
      else if (errno != EEXIST || n >= 99)
        RaiseIoError(errno, folder);
    }
    dir_ = building + "/";
    WriteIni();
    dir_ = final_dir;
    std::string why;
    if (!RenameNoReplace(building, folder, why)) RaiseIoError(errno, folder);
    renamed = true;
    SyncFolder(parent_->dir_);
    OpenData();
  } catch (...) {
    // Nothing of a failed set-up stays: not the node in its parent's lists, not its folder.
    dir_ = final_dir;
    if (renamed)
      RemoveFolder(folder);
    else if (!building.empty())
      RemoveFolder(building);
    parent_->RemoveChild(this);
    layer_ = -1;
    OnChange = nullptr;
    OnTreeChange = nullptr;
    // The insert was announced; lists built from it must drop the node before it is freed.
    parent_->DoTreeChange();
    throw;
  }
  is_new_ = false;
  return true;
}

void TDevice::EraseChild(TDevice* child, bool confirm) {
  if (!child || IndexOfChild(child) < 0) return;
  const std::string folder = WithoutSlash(child->dir_);
  const std::string backup = folder + "BAK";
  if (confirm && !DeviceMessage(Format(LoadResString("dev_ReallyClearDevice"), child->name_, backup),
                                "TDevice.EraseChild", TDevMsgKind::Confirm))
    return;
  bool overwritten = false;
  if (DirExists(backup)) {
    if (confirm && !DeviceMessage(LoadResString("dev_OverrBackup"), "TDevice.EraseChild", TDevMsgKind::Confirm)) return;
    overwritten = true;
  }

  // The child's files are brought up to date and copied completely before anything is
  // removed; the old backup goes only when the new one is whole.
  std::function<void(TDevice*)> write_tree = [&](TDevice* node) {
    node->WriteIni();
    if (node->data_ && node->data_->Flush() != drDone) throw EDeviceError(LoadResString("dev_EraseDevFailed"));
    for (TDevice* c : node->children_) write_tree(c);
  };
  write_tree(child);
  const std::string copy = backup + "~new";
  auto fail = [&]() {
    try {
      DeleteDir(copy);
    } catch (const std::exception&) {
    }
    throw EDeviceError(LoadResString("dev_EraseDevFailed"));
  };
  bool copied = false;
  try {
    DeleteDir(copy);
    copied = CopyDir(folder, copy, false, true, true, cpAlways);
  } catch (const std::exception&) {
    copied = false;
  }
  if (!copied) fail();
  try {
    if (DirExists(backup) && !DeleteDir(backup)) fail();
  } catch (const EDeviceError&) {
    throw;
  } catch (const std::exception&) {
    fail();
  }
  if (std::rename(copy.c_str(), backup.c_str()) != 0) fail();

  const int32_t kennung = child->kennung_;
  Discard(child);
  DoTreeChange();

  bool deleted = false;
  try {
    deleted = DeleteDir(folder);
  } catch (const std::exception&) {
    deleted = false;
  }
  if (!deleted) throw EDeviceError(LoadResString("dev_EraseDevFailed"));

  std::string comment = LoadResString("audit_DevDelBackupDir") + " " + backup;
  if (overwritten) comment += " " + LoadResString("audit_BackupDirOW");
  AddAuditEvent(TDY_AuditEventKind::DeviceDeleted, std::to_string(kennung), comment);
}

void TDevice::LoadChildren() {
  FlagGuard loading(loading_);
  for (const auto& [id, name] : ListIdFolders()) {
    const std::string dir = dir_ + name + "/";
    if (IndexOfId(id) >= 0) {
      // A second spelling of an id that is loaded already (DL7 beside DL007).
      ReportError(Format(LoadResString("dat_IDAlreadyExists"), id) + " (" + dir + ")", "TDevice.LoadChildren");
      continue;
    }
    try {
      TIniFile2 ini(dir + IniFile);
      const std::string class_name = ini.ReadString(IniSection, "ClassName", "TDevice");
      const TDeviceClass* device_class = DevClassRegistry ? DevClassRegistry->FindClass(class_name) : nullptr;
      if (!device_class) continue;  // classes of other programs are left alone
      device_class->CreateFromDir(this, dir);
    } catch (const std::exception& e) {
      // One damaged folder must not stop the rest of the tree; its files stay as they are.
      ReportError(std::string(e.what()) + " (" + dir + ")", "TDevice.LoadChildren");
    }
  }
}

// --- names and files ---

void TDevice::ReportError(const std::string& text, const std::string& source) const {
  DeviceMessage(text, source, TDevMsgKind::Error);
}

int32_t TDevice::ReadIniInteger(TIniFile2& ini, const std::string& section, const std::string& key, int32_t def) const {
  if (!ini.ValueExists(section, key)) return def;
  // ReadInteger answers its default for a text that is no number; two defaults tell it apart.
  const int32_t a = ini.ReadInteger(section, key, INT32_MIN);
  if (a == ini.ReadInteger(section, key, INT32_MAX)) return a;
  ReportError(Format("%s: [%s] %s=%s", ini.FileName(), section, key, ini.ReadString(section, key, "")),
              "TDevice.ReadIni");
  return def;
}

bool TDevice::ReadIniBool(TIniFile2& ini, const std::string& section, const std::string& key, bool def) const {
  return ReadIniInteger(ini, section, key, def ? 1 : 0) != 0;
}

void TDevice::ReadIni() {
  TIniFile2 ini(GetIniName());
  if (!parent_) {
    disabled_ = ReadIniBool(ini, IniSection, "Disabled", disabled_);
  } else {
    name_ = ini.ReadString(IniSection, "Name", name_);
    edit_name_ = name_;
    sname_ = ini.ReadString(IniSection, "SName", sname_);
    edit_sname_ = sname_;
    logger_id_ = ReadIniInteger(ini, IniSection, "LoggerId", -1);
    disabled_ = ReadIniBool(ini, IniSection, "Disabled", disabled_);
    hidden_ = ReadIniBool(ini, IniSection, "Hidden", hidden_);
  }
  LoadChannels();
}

void TDevice::LoadChannels() {
  const std::string path = SpelledOnDisk(dir_, ChannelsFile);
  if (!FileExists(path)) return;
  // Read-only and without a lock: rewrites are atomic, so a reader never sees half a file.
  TFileStream2 stream(path, fmOpenRead | fmShareDenyNone);
  auto channels = std::make_unique<TChannels>();
  channels->LoadFromStream(stream);
  channels_ = std::move(channels);
}

void TDevice::SaveChannels() {
  if (!channels_) return;
  TMemoryStream2 bytes;
  channels_->SaveToStream(bytes);
  const std::string image(reinterpret_cast<const char*>(bytes.Memory()), static_cast<size_t>(bytes.Size()));
  const std::string path = SpelledOnDisk(dir_, ChannelsFile);
  // Unchanged lists are not rewritten: the whole tree is written back at every shutdown.
  if (FileExists(path)) {
    try {
      if (ReadFileBytes(path) == image) return;
    } catch (const std::exception&) {
    }
  }
  TAtomicFileStream2 out(path);
  out.WriteBuffer(image.data(), static_cast<int32_t>(image.size()));
  out.Commit();
}

void TDevice::WriteIni() {
  if (dir_.empty() || dir_ == InvalidDir || !IsFolder(WithoutSlash(dir_))) return;
  if (logger_id_ <= 0 && parent_) {
    if (parent_->kennung_ > 0)
      logger_id_ = parent_->kennung_;
    else if (kennung_ < 65535)
      logger_id_ = kennung_;
  }
  // One rewrite for all keys: a crash leaves the old file or the new one, never half of them.
  TIniFile2(GetIniName())
      .WriteValues(IniSection, {{"ClassName", class_name_.empty() ? ClassName() : class_name_},
                                {"Name", name_},
                                {"SName", sname_},
                                // INI values are read back without trailing blanks (a path text ends in one
                                // when the last name is empty); writing them so keeps an unchanged file from
                                // being rewritten every time.
                                {"TreeName", TrimRightBlanks(GetTreeName())},
                                {"TreeSName", TrimRightBlanks(GetTreeSName())},
                                {"TreeIdName", TrimRightBlanks(GetTreeIdName())},
                                {"TreeIdSName", TrimRightBlanks(GetTreeIdSName())},
                                {"Id", std::to_string(id_)},
                                {"LoggerId", std::to_string(logger_id_)},
                                {"Disabled", disabled_ ? "1" : "0"},
                                {"Layer", std::to_string(layer_)},
                                {"Hidden", hidden_ ? "1" : "0"}});
  if (channels_) SaveChannels();
}

void TDevice::SetName(const std::string& name) {
  if (!StoreChanged(name_, name)) return;
  edit_name_ = name;
  if (!is_new_) TIniFile2(GetIniName()).WriteString(IniSection, "Name", name_);
  DoChange();
  UpdateDataNames();
}

void TDevice::SetSName(const std::string& sname) {
  if (!StoreChanged(sname_, sname)) return;
  edit_sname_ = sname;
  if (!is_new_) TIniFile2(GetIniName()).WriteString(IniSection, "SName", sname_);
  DoChange();
  UpdateDataNames();
}

void TDevice::SetDisabled(bool disabled) {
  if (!StoreChanged(disabled_, disabled)) return;
  if (!is_new_) TIniFile2(GetIniName()).WriteBool(IniSection, "Disabled", disabled_);
  DoChange();
}

void TDevice::SetHidden(bool hidden) {
  if (!StoreChanged(hidden_, hidden)) return;
  if (!is_new_) TIniFile2(GetIniName()).WriteBool(IniSection, "Hidden", hidden_);
  DoTreeChange();
  UpdateDataNames();
}

void TDevice::UpdateDataNames() {
  if (auto* kw = dynamic_cast<TKwData*>(data_.get())) {
    kw->SetName(GetTreeIdName());
    kw->SetSName(GetTreeIdSName());
  }
  for (TDevice* child : children_) child->UpdateDataNames();
}

void TDevice::DoChange() {
  if (OnChange && !loading_) OnChange(this);
}

void TDevice::DoTreeChange() {
  if (OnTreeChange && !loading_) OnTreeChange(this);
}

std::string TDevice::GetIdStr() const { return id_ < 0 ? std::string() : Format("DL%.3d", id_); }

std::string TDevice::GetIdName() const {
  const std::string id = GetIdStr();
  if (name_.empty()) return id;
  return id.empty() ? name_ : id + " " + name_;
}

std::string TDevice::GetIdSName() const {
  const std::string id = GetIdStr();
  if (sname_.empty()) return id;
  return id.empty() ? sname_ : id + " " + sname_;
}

std::string TDevice::TreeText(bool use_sname, bool with_id) const {
  if (layer_ <= 0) return {};
  std::string text = layer_ > 1 && parent_ ? parent_->TreeText(use_sname, with_id) : std::string();
  std::string own;
  if (with_id && layer_ == 1)
    own = hidden_ ? GetIdStr() : (use_sname ? GetIdSName() : GetIdName());
  else if (!hidden_)
    own = use_sname ? sname_ : name_;
  else
    return text;
  if (!text.empty()) text += "\\\\ ";
  return text + own;
}

std::string TDevice::GetTreeName() const { return TreeText(false, false); }
std::string TDevice::GetTreeSName() const { return TreeText(true, false); }
std::string TDevice::GetTreeIdName() const { return TreeText(false, true); }
std::string TDevice::GetTreeIdSName() const { return TreeText(true, true); }

std::string TDevice::GetIniName() const { return dir_.empty() ? std::string() : dir_ + IniFile; }

std::string TDevice::GetParentDir() const { return parent_ ? parent_->dir_ : std::string(); }

// --- data ---

void TDevice::OpenData() {
  if (!channels_ || channels_->Count() <= 2 || channels_->ValueCount() < 1 || id_ < 0) return;
  FlushData();
  auto record = std::make_unique<TDtRecord>(channels_->ValueCount());
  auto data = std::make_unique<TKwData>(dir_, channels_.get(), record.get());
  data->LoggerId = logger_id_;
  SetData(std::move(data), std::move(record));
  UpdateDataNames();
}

void TDevice::SetData(std::unique_ptr<TData> data, std::unique_ptr<TDtRecord> record) {
  data_ = std::move(data);
  record_ = std::move(record);
}

void TDevice::FlushData() {
  if (!data_) return;
  try {
    const int32_t result = data_->Close();
    if (result != drDone) ReportError(LoadResString("dat_CannotSaveData") + " (" + dir_ + ")", "TDevice.FlushData");
  } catch (const std::exception& e) {
    ReportError(std::string(e.what()) + " (" + dir_ + ")", "TDevice.FlushData");
  }
}

void TDevice::FillUserChanList(TChanSelList* list) const {
  if (!list) throw EDeviceError("Error in TDevice.FillUserChanList: ChanSelList is nil");
  if (channels_ && data_) data_->FillChanSelList(list);
  for (TDevice* child : children_)
    if (child->hidden_) child->FillUserChanList(list);
}

void TDevice::FillTotalChanList(TChanSelList* list) const {
  if (!list) throw EDeviceError("Error in TDevice.FillTotalChanList: ChanSelList is nil");
  if (channels_ && data_) data_->FillChanSelList(list);
  for (TDevice* child : children_) child->FillTotalChanList(list);
}

bool TDevice::HasDataObject(const TData* data) const {
  if (!data) return false;
  if (data == data_.get()) return true;
  for (TDevice* child : children_)
    if (child->hidden_ && child->HasDataObject(data)) return true;
  return false;
}

// --- lists ---

void TDevice::FillDevStrings(TStringList* strings, int indent) const {
  if (!strings) throw EDeviceError("Error in TDevice.FillDevStrings: Strings is nil");
  for (TDevice* child : children_) {
    if (child->hidden_) continue;
    const int blanks = std::max(0, child->layer_ * 3 + indent - 3);
    strings->AddObject(
        std::string(static_cast<size_t>(blanks), ' ') + (child->layer_ == 1 ? child->GetIdName() : child->name_),
        child);
    child->FillDevStrings(strings, indent);
  }
}

int TDevice::GetNodeKind() const { return parent_ ? 1 : 0; }

int TDevice::CountNodesOfKind(int kind) const {
  int n = GetNodeKind() == kind ? 1 : 0;
  for (TDevice* child : children_) n += child->CountNodesOfKind(kind);
  return n;
}

std::string TDevice::GetTypeName() const { return LoadResString("dev_Device"); }

std::string TDevice::GetOutlineText(const std::string& name) const {
  if (layer_ == 0) return LoadResString("dev_OutlineRoot");
  if (layer_ == 1) {
    const std::string id = GetIdStr();
    if (name.empty()) return id;
    return id.empty() ? name : id + " " + name;
  }
  return name;
}

std::unique_ptr<TDevice> TDevice::CreateCopy(TDevice* parent) const {
  auto copy = Create<TDevice>(parent, channels_ ? channels_->Clone() : nullptr);
  copy->name_ = copy->edit_name_ = name_;
  copy->sname_ = copy->edit_sname_ = sname_;
  copy->disabled_ = disabled_;
  return copy;
}

// --- explorer element ---

void TDevice::FillOutline(TExplOutline* outline, int parent_index, TExplSelectEvent on_select) {
  if (!outline) throw EDeviceError("Error in TDevice.FillOutline: Outline is nil");
  int index = parent_index;
  if (layer_ == 0) {
    index = outline->AddChildObject(parent_index, GetOutlineText(name_), nullptr);
  } else if (!hidden_) {
    index = outline->AddChildObject(parent_index, GetOutlineText(name_), static_cast<TExplElement*>(this));
    SetOnSelect(on_select);
  }
  for (TDevice* child : children_) child->FillOutline(outline, index, on_select);
  if (channels_)
    for (int i = 0; i < channels_->ValueCount(); ++i)
      channels_->GetValueChannel(i)->FillOutline(outline, index, on_select);
}

bool TDevice::ApplyChanges() {
  if (is_new_ && parent_ && edit_id_ >= 0 && edit_id_ != id_) SetId(edit_id_);
  SetName(edit_name_);
  if (GetNodeKind() == 1 && sname_ != edit_sname_) RetitleMonitorPages();
  SetSName(edit_sname_);
  return true;
}

void TDevice::RetitleMonitorPages() {
  TMonitorBookService* book = MonitorBook;
  if (!book) return;
  try {
    const int old_index = DbShell ? DbShell->SelIndex() : -1;
    const int old_page = book->GetTabIndex();
    if (DbShell) DbShell->SelectDevice(this);
    const int count = book->GetMonitorCount();
    for (int n = 1; n <= count; ++n) {
      book->SetTabIndex(n - 1);
      book->SetSelDiagramTitle(edit_sname_ + ": #" + std::to_string(n));
    }
    if (DbShell) DbShell->SetSelIndex(old_index);
    book->SetTabIndex(old_page);
  } catch (const std::exception&) {
    // Titles are cosmetic; a failure here must not undo the accepted change.
  }
}

void TDevice::CancelChanges() {
  edit_id_ = id_;
  edit_name_ = name_;
  edit_sname_ = sname_;
}

TDevEditorCreator TDevice::GetEditorClass() const { return DevEditorCreator(); }

void TDevice::CreateEditor(TWinControl* parent, TNotifyEditorEvent on_modified, TNameChangeEvent on_name_change) {
  CloseEditor(false);
  const TDevEditorCreator creator = GetEditorClass();
  if (!creator) return;
  std::unique_ptr<TDevEditor> editor = creator(parent);
  if (!editor) return;
  editor->SetOnModified(std::move(on_modified));
  editor->SetOnNameChange(std::move(on_name_change));
  editor->OnCheckId = [this](int32_t id) { return EditorIdCheck(id); };
  editor->SetUpdating(true);
  editor->SetId(edit_id_);
  editor->SetIdReadOnly(!is_new_);
  editor->SetNameText(edit_name_);
  editor->SetSNameText(edit_sname_);
  editor->SetUpdating(false);
  SetEditor(std::move(editor));
}

bool TDevice::AcceptEditor() {
  auto* editor = static_cast<TDevEditor*>(Editor());
  if (!editor) return true;
  if (!editor->Validate()) return false;
  if (!editor->GetIdReadOnly() && editor->Id != edit_id_) {
    AddChangeDetail(LoadResString("audit_IdChange"), std::to_string(edit_id_), std::to_string(editor->Id));
    edit_id_ = editor->Id;
  }
  ChangeSubject = std::to_string(logger_id_);
  const std::string name = editor->GetNameText();
  if (name != edit_name_) {
    AddChangeDetail(LoadResString("audit_DevNameChange"), edit_name_, name);
    edit_name_ = name;
  }
  const std::string sname = editor->GetSNameText();
  if (sname != edit_sname_) {
    AddChangeDetail(LoadResString("audit_DevSNameChange"), edit_sname_, sname);
    edit_sname_ = sname;
  }
  return true;
}

bool TDevice::EditorIdCheck(int32_t id) const {
  if (id == id_) return true;
  return parent_ ? parent_->CheckNewChildId(id) : false;
}

}  // namespace qv
