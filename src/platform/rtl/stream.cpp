#include "platform/rtl/stream.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <utility>

namespace qv {

int64_t TStream::Size() {
  int64_t pos = Seek(0, TSeekOrigin::soCurrent);
  int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(pos, TSeekOrigin::soBeginning);
  return size;
}

void TStream::ReadBuffer(void* buffer, int32_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int32_t count) {
  if (count == 0) return;
  errno = 0;
  if (Write(buffer, count) == count) return;
  const int err = errno;
  const std::string file = ErrorFileName();
  if (file.empty()) throw EWriteError("Stream write error");
  if (err == 0) throw EWriteError("Stream write error: \"" + file + "\"");
  throw EWriteError("Stream write error: \"" + file + "\": " + std::strerror(err), Win32ErrorOfErrno(err, file),
                    std::strerror(err));
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  int64_t result = count;
  uint8_t buf[65536];
  while (count > 0) {
    int32_t n = static_cast<int32_t>(std::min<int64_t>(count, sizeof buf));
    source.ReadBuffer(buf, n);
    WriteBuffer(buf, n);
    count -= n;
  }
  return result;
}

// ---- memory stream ----

int32_t TMemoryStream::Read(void* buffer, int32_t count) {
  if (count <= 0 || position_ < 0 || position_ >= size_) return 0;
  int32_t n = static_cast<int32_t>(std::min<int64_t>(count, size_ - position_));
  std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int32_t TMemoryStream::Write(const void* buffer, int32_t count) {
  if (count <= 0 || position_ < 0) return 0;
  // No stream grows beyond 32-bit sizes; checked first so the sum below cannot overflow.
  if (position_ > INT32_MAX) throw EStreamError("Out of memory while expanding memory stream");
  int64_t end = position_ + count;
  if (end > size_) {
    if (end > static_cast<int64_t>(data_.size())) SetCapacity(end);
    // A gap between the end and the position reads as zeros.
    if (position_ > size_) std::memset(data_.data() + size_, 0, static_cast<size_t>(position_ - size_));
    size_ = end;
  }
  std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case TSeekOrigin::soBeginning: position_ = offset; break;
    case TSeekOrigin::soCurrent: position_ += offset; break;
    case TSeekOrigin::soEnd: position_ = size_ + offset; break;
  }
  return position_;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0) size = 0;
  SetCapacity(size);
  if (size > size_) std::memset(data_.data() + size_, 0, static_cast<size_t>(size - size_));
  size_ = size;
  if (position_ > size) position_ = size;
}

void TMemoryStream::SetCapacity(int64_t capacity) {
  // Grow in steps, as the runtime does, so byte-wise writes stay cheap.
  // The step never pushes a size that fits the stream's 32-bit counts beyond them.
  int64_t cap =
      capacity <= static_cast<int64_t>(data_.size())
          ? capacity
          : std::max<int64_t>(capacity, std::min<int64_t>(static_cast<int64_t>(data_.size()) * 3 / 2, INT32_MAX));
  try {
    if (cap > INT32_MAX) throw std::bad_alloc();
    if (cap > static_cast<int64_t>(data_.size())) {
      // A new buffer takes the stream's bytes in one copy: the vector's own growth would move
      // them one by one through the allocator, and would move the unused rest as well.
      std::vector<uint8_t, NoInitAlloc> bigger;
      bigger.resize(static_cast<size_t>(cap));
      if (size_ > 0) std::memcpy(bigger.data(), data_.data(), static_cast<size_t>(size_));
      data_.swap(bigger);
    } else {
      data_.resize(static_cast<size_t>(cap));
    }
  } catch (const std::bad_alloc&) {
    throw EStreamError("Out of memory while expanding memory stream");
  }
}

void TMemoryStream::Reserve(int64_t capacity) {
  if (capacity > static_cast<int64_t>(data_.size())) SetCapacity(capacity);
}

void TMemoryStream::WriteFrom(TStream& source, int32_t count) {
  if (count <= 0 || position_ < 0) return;
  if (position_ > INT32_MAX) throw EStreamError("Out of memory while expanding memory stream");
  const int64_t end = position_ + count;
  if (end > static_cast<int64_t>(data_.size())) SetCapacity(end);
  // A gap between the end and the position reads as zeros, as with Write.
  if (position_ > size_) std::memset(data_.data() + size_, 0, static_cast<size_t>(position_ - size_));
  source.ReadBuffer(data_.data() + position_, count);
  if (end > size_) size_ = end;
  position_ = end;
}

void TMemoryStream::Clear() {
  data_.clear();
  size_ = position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
  stream.SetPosition(0);
  int64_t n = stream.Size();
  SetSize(n);
  if (n > 0) stream.ReadBuffer(data_.data(), static_cast<int32_t>(n));
  position_ = 0;
}

void TMemoryStream::SaveToStream(TStream& stream) {
  if (size_ > 0) stream.WriteBuffer(data_.data(), static_cast<int32_t>(size_));
}

// ---- errors ----

uint32_t Win32ErrorOfErrno(int err, const std::string& path) {
  switch (err) {
    case ENOENT: {
      if (path.empty()) return ERROR_FILE_NOT_FOUND;
      std::filesystem::path parent = std::filesystem::path(path).parent_path();
      std::error_code ec;
      if (!parent.empty() && !std::filesystem::is_directory(parent, ec)) return ERROR_PATH_NOT_FOUND;
      return ERROR_FILE_NOT_FOUND;
    }
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case ENOSPC: return ERROR_DISK_FULL;
    default: return ERROR_GEN_FAILURE;
  }
}

// ---- file stream ----

namespace {

constexpr uint16_t kAccessRead = 1;
constexpr uint16_t kAccessWrite = 2;

// The program's open files by device and inode, with their access and share flags, so that
// opens within the program follow the platform's sharing rules.
struct ShareEntry {
  uint16_t access;
  uint16_t share;
};
struct ShareTable {
  std::mutex mutex;  // protects `open`; a leaf lock, nothing is called while it is held
  std::map<std::pair<uint64_t, uint64_t>, std::vector<ShareEntry>> open;
};
ShareTable& Shares() {
  static ShareTable table;
  return table;
}

uint16_t ShareFlags(uint16_t mode) {
  switch (mode & 0x70) {
    case fmShareDenyWrite: return kAccessRead;
    case fmShareDenyRead: return kAccessWrite;
    case fmShareDenyNone: return kAccessRead | kAccessWrite;
    default: return 0;  // compatible and exclusive both lock others out
  }
}

bool Conflicts(const ShareEntry& a, const ShareEntry& b) {
  return ((a.access & ~b.share) != 0) || ((b.access & ~a.share) != 0);
}

}  // namespace

TFileStream::TFileStream(const std::string& file_name, uint16_t mode) : file_name_(file_name) {
  bool create = mode == fmCreate;
  int flags = O_CLOEXEC;
  if (create) {
    flags |= O_RDWR | O_CREAT;
    access_ = kAccessRead | kAccessWrite;
    share_ = 0;
  } else {
    switch (mode & 3) {
      case fmOpenWrite:
        flags |= O_WRONLY;
        access_ = kAccessWrite;
        break;
      case fmOpenReadWrite:
        flags |= O_RDWR;
        access_ = kAccessRead | kAccessWrite;
        break;
      default:
        flags |= O_RDONLY;
        access_ = kAccessRead;
        break;
    }
    share_ = ShareFlags(mode);
  }
  auto fail = [&](uint32_t code, std::string why) {
    if (create) throw EFCreateError("Cannot create file \"" + file_name + "\". " + why, code, why);
    throw EFOpenError("Cannot open file \"" + file_name + "\". " + why, code, why);
  };
  fd_ = ::open(file_name.c_str(), flags, 0666);
  if (fd_ < 0) {
    const int err = errno;
    fail(Win32ErrorOfErrno(err, file_name), std::strerror(err));
  }
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
    const int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd_);
    fd_ = -1;
    fail(Win32ErrorOfErrno(err, file_name), std::strerror(err));
  }
  share_key_dev_ = st.st_dev;
  share_key_ino_ = st.st_ino;
  {
    ShareTable& t = Shares();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto& list = t.open[{share_key_dev_, share_key_ino_}];
    ShareEntry me{access_, share_};
    for (const ShareEntry& e : list) {
      if (Conflicts(me, e)) {
        ::close(fd_);
        fd_ = -1;
        if (list.empty()) t.open.erase({share_key_dev_, share_key_ino_});
        fail(ERROR_SHARING_VIOLATION, SharingViolationText);
      }
    }
    list.push_back(me);
  }
  // Truncate only once the sharing check has let us in, so a refused create loses nothing.
  if (create && ::ftruncate(fd_, 0) != 0) {
    const int err = errno;
    Close();
    fail(Win32ErrorOfErrno(err, file_name), std::strerror(err));
  }
}

TFileStream::~TFileStream() { Close(); }

void TFileStream::Close() {
  if (fd_ < 0) return;
  {
    ShareTable& t = Shares();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto it = t.open.find({share_key_dev_, share_key_ino_});
    if (it != t.open.end()) {
      auto& list = it->second;
      for (auto e = list.begin(); e != list.end(); ++e) {
        if (e->access == access_ && e->share == share_) {
          list.erase(e);
          break;
        }
      }
      if (list.empty()) t.open.erase(it);
    }
  }
  ::close(fd_);
  fd_ = -1;
}

int32_t TFileStream::Read(void* buffer, int32_t count) {
  int32_t done = 0;
  while (done < count) {
    ssize_t n = ::read(fd_, static_cast<char*>(buffer) + done, static_cast<size_t>(count - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? done : -1;
    }
    if (n == 0) break;
    done += static_cast<int32_t>(n);
  }
  return done;
}

int32_t TFileStream::Write(const void* buffer, int32_t count) {
  int32_t done = 0;
  while (done < count) {
    ssize_t n = ::write(fd_, static_cast<const char*>(buffer) + done, static_cast<size_t>(count - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? done : -1;
    }
    done += static_cast<int32_t>(n);
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET : origin == TSeekOrigin::soCurrent ? SEEK_CUR : SEEK_END;
  return ::lseek(fd_, offset, whence);
}

void TFileStream::SetSize(int64_t size) {
  if (::ftruncate(fd_, size) != 0) {
    const int err = errno;
    throw EStreamError("Stream write error: \"" + file_name_ + "\": " + std::strerror(err),
                       Win32ErrorOfErrno(err, file_name_), std::strerror(err));
  }
  if (Position() > size) Seek(size, TSeekOrigin::soBeginning);
}

// ---- atomic rewrite ----

namespace {

// The temporary files of this process's rewrites in progress, which a cleanup must spare.
struct LiveTemps {
  std::mutex mutex;  // protects `names`; a leaf lock, nothing is called while it is held
  std::set<std::string> names;
};
LiveTemps& Live() {
  static LiveTemps live;
  return live;
}

void SetLive(const std::string& path, bool live) {
  LiveTemps& l = Live();
  std::lock_guard<std::mutex> lock(l.mutex);
  if (live)
    l.names.insert(path);
  else
    l.names.erase(path);
}

bool IsLive(const std::string& path) {
  LiveTemps& l = Live();
  std::lock_guard<std::mutex> lock(l.mutex);
  return l.names.count(path) != 0;
}

std::string RandomHex() {
  uint8_t bytes[8];
  if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
    // Without the system's generator any spread-out value does: a taken name is drawn again.
    static std::atomic<uint64_t> counter{0};
    uint64_t x = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                 (counter++ * 0x9E3779B97F4A7C15ull) ^ (static_cast<uint64_t>(::getpid()) << 32);
    std::memcpy(bytes, &x, sizeof bytes);
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) {
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

bool AllOf(const std::string& s, size_t from, size_t to, const char* chars) {
  if (from >= to) return false;
  for (size_t i = from; i < to; ++i)
    if (std::strchr(chars, s[i]) == nullptr) return false;
  return true;
}

void SyncFolder(const std::string& folder) {
  int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

// Removes the leftovers of crashed rewrites in folder ("" for the current one).
void RemoveStaleTemps(const std::string& folder) {
  DIR* d = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!d) return;
  const time_t now = ::time(nullptr);
  while (dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (!TAtomicFileStream::IsTempFileName(name)) continue;
    const std::string path = folder + name;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (now - st.st_mtime < TAtomicFileStream::StaleTempSeconds || IsLive(path)) continue;
    ::unlink(path.c_str());
  }
  ::closedir(d);
}

}  // namespace

bool TAtomicFileStream::IsTempFileName(const std::string& name) {
  const std::string prefix = TempFilePrefix, suffix = TempFileSuffix;
  if (name.size() == prefix.size() + 16 + suffix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
      name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
    return AllOf(name, prefix.size(), prefix.size() + 16, "0123456789abcdef");
  // The older form: the target's name, ".", the process id, "-", a counter, ".tmp~".
  const std::string old_suffix = ".tmp~";
  if (name.size() <= old_suffix.size() ||
      name.compare(name.size() - old_suffix.size(), old_suffix.size(), old_suffix) != 0)
    return false;
  const size_t end = name.size() - old_suffix.size();
  const size_t dash = name.rfind('-', end - 1);
  if (dash == std::string::npos || dash == 0) return false;
  const size_t dot = name.rfind('.', dash - 1);
  if (dot == std::string::npos || dot == 0) return false;
  return AllOf(name, dash + 1, end, "0123456789") && AllOf(name, dot + 1, dash, "0123456789");
}

TAtomicFileStream::TAtomicFileStream(const std::string& target) : target_(target) {
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  TAtomicWriteBatch* batch = TAtomicWriteBatch::Current();
  if (!batch) {
    RemoveStaleTemps(folder);
  } else if (std::find(batch->cleaned_.begin(), batch->cleaned_.end(), folder) == batch->cleaned_.end()) {
    RemoveStaleTemps(folder);
    batch->cleaned_.push_back(folder);
  }
  try {
    // The temporary file is made exclusively, so a leftover file or a planted link of that
    // name is never written through; a taken name is simply drawn again.
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
      temp_ = folder + TempFilePrefix + RandomHex() + TempFileSuffix;
      fd = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
      if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
      int err = errno;
      throw EFCreateError("Cannot create file \"" + target + "\". " + std::strerror(err), Win32ErrorOfErrno(err, temp_),
                          std::strerror(err));
    }
    SetLive(temp_, true);
    ::close(fd);
    file_ = std::make_unique<TFileStream>(temp_, fmCreate);
  } catch (const EStreamError& e) {
    if (!file_ && IsLive(temp_)) Discard();
    errno = 0;
    std::string message = e.Message();
    if (message.find(target) == std::string::npos) {
      message = "Cannot create file \"" + target + "\"";
      if (!e.Reason().empty()) message += ". " + e.Reason();
    }
    throw EFCreateError(message, e.OsError(), e.Reason());
  }
  // A rewritten file keeps its mode, so a private file does not become readable by others.
  struct stat old_stat;
  if (::stat(target.c_str(), &old_stat) == 0) ::fchmod(file_->Handle(), old_stat.st_mode & 07777);
}

TAtomicFileStream::~TAtomicFileStream() {
  if (file_) Discard();
}

void TAtomicFileStream::Discard() {
  file_.reset();
  ::unlink(temp_.c_str());
  SetLive(temp_, false);
}

void TAtomicFileStream::Commit() {
  if (!file_) return;
  int err = 0;
  if (::fsync(file_->Handle()) != 0) err = errno;
  file_.reset();
  if (err == 0 && ::rename(temp_.c_str(), target_.c_str()) != 0) err = errno;
  if (err != 0) {
    Discard();
    throw EWriteError("Cannot write file \"" + target_ + "\". " + std::strerror(err), Win32ErrorOfErrno(err, target_),
                      std::strerror(err));
  }
  SetLive(temp_, false);
  // Make the rename itself durable, now or at the end of the batch.
  std::string folder = std::filesystem::path(target_).parent_path().string();
  if (folder.empty()) folder = ".";
  if (TAtomicWriteBatch* batch = TAtomicWriteBatch::Current()) {
    if (std::find(batch->synced_.begin(), batch->synced_.end(), folder) == batch->synced_.end())
      batch->synced_.push_back(folder);
    return;
  }
  SyncFolder(folder);
}

namespace {
thread_local TAtomicWriteBatch* current_batch = nullptr;
}  // namespace

TAtomicWriteBatch::TAtomicWriteBatch() {
  if (current_batch) return;
  current_batch = this;
  outermost_ = true;
}

TAtomicWriteBatch::~TAtomicWriteBatch() {
  if (!outermost_) return;
  SyncFolders();
  current_batch = nullptr;
}

TAtomicWriteBatch* TAtomicWriteBatch::Current() { return current_batch; }

void TAtomicWriteBatch::SyncFolders() {
  for (const std::string& folder : synced_) SyncFolder(folder);
  synced_.clear();
}

}  // namespace qv
