#include "archive/dy_doc_type_info.h"

#include <algorithm>
#include <utility>

#include "archive/archive_globals.h"
#include "archive/dy_document_file.h"
#include "archive/dy_user_manager.h"
#include "base/ini_file2.h"
#include "base/res_string.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/file_io.h"
#include "platform/rtl/text_utils.h"

namespace qv {

namespace {

constexpr const char* CatalogueSection = "Dossaly";
constexpr const char* TypeSectionPrefix = "DocType";

std::string Int(int32_t v) { return std::to_string(v); }

// A name that stays inside the folder meant for it.
bool IsPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\") == std::string::npos;
}

// A value the line format cannot carry would read back cut or shifted: refused before anything
// is written.
void CheckValue(const char* tag, const std::string& value, const char* element) {
  if (value.find(std::string("</") + tag + ">") != std::string::npos ||
      value.find_first_of("\r\n") != std::string::npos)
    throw Exception(LoadResString("DY_XMLValueError") + " [" + element + "] " + tag);
}

void CheckChannels(const TDY_ChannelList& channels, const char* element) {
  for (int i = 0; i < channels.Count(); ++i) {
    const TDY_Channel& c = *channels.Get(i);
    CheckValue("DeviceName", c.Device->DeviceName, element);
    CheckValue("DeviceSName", c.Device->DeviceSName, element);
    CheckValue("ChannelName", c.ChannelName, element);
    CheckValue("ChannelSName", c.ChannelSName, element);
    CheckValue("Unit", c.Unit, element);
  }
}

void CheckTypeValues(const TDY_DocTypeInfo& type) {
  for (const auto& [tag, value] : {std::pair<const char*, const std::string*>{"Name", &type.Name},
                                   {"FileName", &type.FileName},
                                   {"Title", &type.Title},
                                   {"CreateUser", &type.CreateUser},
                                   {"User", &type.User}})
    CheckValue(tag, *value, "DocTypeInfo");
  CheckChannels(type.Channels, "Channel");
  for (int i = 0; i < type.Tables.Count(); ++i) CheckValue("Name", type.Tables.Get(i)->Name, "Tables");
  for (int i = 0; i < type.Diagrams.Count(); ++i) CheckValue("Name", type.Diagrams.Get(i)->Name, "Diagrams");
}

std::string FileNameOfPath(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Table and diagram entries carry only the identity of their channel: the names come from the
// type's own entry of the same logger and channel id.
void TakeNamesFrom(const TDY_ChannelList& channels, TDY_ChannelList& list) {
  for (int i = 0; i < list.Count(); ++i) {
    TDY_Channel& c = *list.Get(i);
    const TDY_Channel* full = channels.Find(c.Device->LoggerID, c.ChannelID);
    if (!full) continue;
    c.Device->DeviceName = full->Device->DeviceName;
    c.Device->DeviceSName = full->Device->DeviceSName;
    c.ChannelName = full->ChannelName;
    c.ChannelSName = full->ChannelSName;
  }
}

std::string FileText(const TXmlLines& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

}  // namespace

std::string DocTypeNameError(const std::string& name) {
  if (name.empty()) return LoadResString("DY_TypeNameEmpty");
  if (!IsPlainFileName(name)) return LoadResString("DY_TypeNameInvalid") + " [" + name + "]";
  if (!IsCreatableFileName(ArchiveDataPath, name + DocTypeFileExt))
    return LoadResString("DY_TypeNameNoFile") + " [" + name + "]";
  return std::string();
}

TDY_DocTypeInfo::TDY_DocTypeInfo() = default;

TDY_DocTypeInfo::~TDY_DocTypeInfo() {
  try {
    NoteUserActivity();
  } catch (...) {
    // Nothing leaves a destructor; the activity hook only restarts a timer.
  }
}

void TDY_DocTypeInfo::Save(const std::string& file_name) {
  NoteUserActivity();
  // Checked first: a refused save records nothing and writes nothing.
  const std::string name_error = DocTypeNameError(Name);
  if (!name_error.empty()) throw Exception(name_error);
  const std::string file = FileNameOfPath(file_name);
  CheckTypeValues(*this);
  CheckValue("FileName", file, "DocTypeInfo");
  const std::string user = UserManager ? UserManager->CurrentUserName() : std::string();
  CheckValue("User", user, "DocTypeInfo");

  NoteUserActivity();
  if (!CreateUser.empty()) {
    AddAuditEvent(TDY_AuditEventKind::DocTypeChanged, file);
  } else {
    AddAuditEvent(TDY_AuditEventKind::DocTypeCreated, file);
    CreateUser = user;
    CreationDate = Now();
    Version = 0;
    Width = 21000;
    Height = 29700;
    TopMargin = BottomMargin = RightMargin = LeftMargin = 2500;
    LastData = 0;
  }
  NoteUserActivity();
  LastModified = Now();
  User = user;
  ++Version;
  NoteUserActivity();
  FileName = file;
  NoteUserActivity();
  WriteFileAtomic(file_name, FileText(FileLines()));
  NoteUserActivity();
  AddAuditEvent(TDY_AuditEventKind::DocTypeSaved, FileName);
}

bool TDY_DocTypeInfo::SaveLastData(TDateTime last_data) {
  LastData = last_data;
  // The type as stored, not as this object holds it: the channels brought in line with the
  // device tree here are kept only when the user chose to save them.
  if (!IsPlainFileName(FileName)) {
    ArchiveErrorBox(LoadResString("KD_DocTypeNotValid") + " [" + FileName + "]");
    return false;
  }
  const std::string path = ArchiveDataPath + FileName;
  TDY_DocTypeInfo stored;
  if (!stored.Load(path)) return false;
  stored.LastData = last_data;
  try {
    CheckTypeValues(stored);
    WriteFileAtomic(path, FileText(stored.FileLines()));
  } catch (const Exception& e) {
    ArchiveErrorBox(e.Message());
    return false;
  }
  return true;
}

bool TDY_DocTypeInfo::Load(const std::string& file_name) {
  NoteUserActivity();
  bool ok = false;
  try {
    const std::string bytes = ReadFileBytes(file_name);
    const TXmlLineViews lines = SplitDocumentLineViews(bytes);
    if (lines.size() > 2 && lines[0] == XmlDeclarationLine) {
      int index = 2;
      // The element's and the file's closing lines must follow what was read: a file cut off
      // after a complete entry would otherwise load as a smaller type.
      ok = ReadXml(lines, index) && Trim(XmlLineAt(lines, index)) == "</DocTypeInfo>";
      int last = static_cast<int>(lines.size()) - 1;
      while (last > index && Trim(lines[static_cast<size_t>(last)]).empty()) --last;
      ok = ok && last > index && Trim(lines[static_cast<size_t>(last)]) == DocTypeRootCloseLine;
    }
  } catch (const std::exception&) {
    ok = false;
  }
  if (!ok) ArchiveErrorBox(LoadResString("KD_DocTypeNotValid"));
  return ok;
}

void TDY_DocTypeInfo::WriteXml(TXmlLines& lines, int level) const {
  const int v = level + 1;
  lines.push_back(XmlTagOpenClose("DocTypeInfo", true, level));
  lines.push_back(XmlTagLine("ID", Int(ID), v));
  lines.push_back(XmlTagLine("Name", Name, v));
  lines.push_back(XmlTagLine("FileName", FileName, v));
  lines.push_back(XmlTagLine("Title", Title, v));
  lines.push_back(XmlTagLine("CreationDate", DateTimeToXmlText(CreationDate), v));
  lines.push_back(XmlTagLine("CreateUser", CreateUser, v));
  lines.push_back(XmlTagLine("LastModified", DateTimeToXmlText(LastModified), v));
  lines.push_back(XmlTagLine("User", User, v));
  lines.push_back(XmlTagLine("Version", Int(Version), v));
  lines.push_back(XmlTagLine("Width", Int(Width), v));
  lines.push_back(XmlTagLine("Height", Int(Height), v));
  lines.push_back(XmlTagLine("TopMargin", Int(TopMargin), v));
  lines.push_back(XmlTagLine("BottomMargin", Int(BottomMargin), v));
  lines.push_back(XmlTagLine("RightMargin", Int(RightMargin), v));
  lines.push_back(XmlTagLine("LeftMargin", Int(LeftMargin), v));
  lines.push_back(XmlTagLine("LastData", DateTimeToXmlText(LastData), v));
  for (const auto& [tag, value] : {std::pair<const char*, bool>{"ShowDocInfo", ShowDocInfo},
                                   {"ShowSigInfo", ShowSigInfo},
                                   {"ShowDeviceInfo", ShowDeviceInfo},
                                   {"ShowAuditLog", ShowAuditLog},
                                   {"ShowDiagrams", ShowDiagrams},
                                   {"ShowTables", ShowTables},
                                   {"TablesLandScape", TablesLandScape},
                                   {"DiagsLandScape", DiagsLandScape},
                                   {"OneTabPerDevice", OneTabPerDevice},
                                   {"OneDiaPerDevice", OneDiaPerDevice}})
    lines.push_back(XmlTagLine(tag, BoolToXmlText(value), v));
  WriteChannelsXml(Channels, lines, v, false, false);
  WriteTablesXml(Tables, lines, v);
  WriteDiagramsXml(Diagrams, lines, v);
  lines.push_back(XmlTagOpenClose("DocTypeInfo", false, level));
}

bool TDY_DocTypeInfo::ReadXml(const TXmlLineViews& lines, int& index) {
  auto line = [&] { return XmlLineAt(lines, index); };
  auto str = [&](const char* tag, std::string& v) { return XmlReadString(line(), tag, index, v); };
  auto num = [&](const char* tag, int32_t& v) { return XmlReadInteger(line(), tag, index, v); };
  auto date = [&](const char* tag, TDateTime& v) { return XmlReadDateTime(line(), tag, index, v); };
  auto flag = [&](const char* tag, bool& v) { return XmlReadBoolean(line(), tag, index, v); };
  bool ok = XmlHasTag(line(), "DocTypeInfo", true, index) && num("ID", ID) && str("Name", Name) &&
            str("FileName", FileName) && str("Title", Title) && date("CreationDate", CreationDate) &&
            str("CreateUser", CreateUser) && date("LastModified", LastModified) && str("User", User) &&
            num("Version", Version) && num("Width", Width) && num("Height", Height) && num("TopMargin", TopMargin) &&
            num("BottomMargin", BottomMargin) && num("RightMargin", RightMargin) && num("LeftMargin", LeftMargin) &&
            date("LastData", LastData) && flag("ShowDocInfo", ShowDocInfo) && flag("ShowSigInfo", ShowSigInfo) &&
            flag("ShowDeviceInfo", ShowDeviceInfo) && flag("ShowAuditLog", ShowAuditLog) &&
            flag("ShowDiagrams", ShowDiagrams) && flag("ShowTables", ShowTables) &&
            flag("TablesLandScape", TablesLandScape) && flag("DiagsLandScape", DiagsLandScape);
  if (!ok) return false;
  // Files of older types end their switches here.
  OneTabPerDevice = false;
  OneDiaPerDevice = false;
  flag("OneTabPerDevice", OneTabPerDevice);
  flag("OneDiaPerDevice", OneDiaPerDevice);
  Channels.Clear();
  Tables.Clear();
  Diagrams.Clear();
  if (!ReadChannelsXml(Channels, lines, index, false, false) || !ReadTablesXml(Tables, lines, index) ||
      !ReadDiagramsXml(Diagrams, lines, index))
    return false;
  for (int i = 0; i < Tables.Count(); ++i) TakeNamesFrom(Channels, Tables.Get(i)->Channels);
  for (int i = 0; i < Diagrams.Count(); ++i) TakeNamesFrom(Channels, Diagrams.Get(i)->Channels);
  return true;
}

TXmlLines TDY_DocTypeInfo::FileLines() const {
  TXmlLines lines{XmlDeclarationLine, DocTypeRootOpenLine};
  WriteXml(lines, 1);
  lines.push_back(DocTypeRootCloseLine);
  return lines;
}

// ---- catalogue ----

void TDY_DocTypeList::IniContent(const TIniFile& ini, std::vector<std::string>& erase, TIniFile::TKeyValues& main_keys,
                                 std::vector<std::pair<std::string, TIniFile::TKeyValues>>& sections) const {
  const int32_t old_count = ini.ReadInteger(CatalogueSection, "NumDocTypes", 0);
  for (int32_t i = 0; i < old_count; ++i) erase.push_back(TypeSectionPrefix + Int(i));
  main_keys.push_back({"NumDocTypes", Int(Count())});
  main_keys.push_back({"MaxDocTypeID", Int(MaxDocTypeID)});
  for (int i = 0; i < Count(); ++i) {
    const TDY_DocTypeInfo& t = *Get(i);
    sections.push_back(
        {TypeSectionPrefix + Int(i), {{"DocTypeID", Int(t.ID)}, {"Name", t.Name}, {"FileName", t.FileName}}});
  }
}

void TDY_DocTypeList::SaveToIni() {
  TIniFile2 ini(ArchiveIniFile);
  std::vector<std::string> erase;
  TIniFile::TKeyValues main_keys;
  std::vector<std::pair<std::string, TIniFile::TKeyValues>> sections;
  IniContent(ini, erase, main_keys, sections);
  std::vector<std::pair<std::string, TIniFile::TKeyValues>> write;
  write.push_back({CatalogueSection, main_keys});
  for (auto& s : sections) write.push_back(std::move(s));
  ini.ReplaceSections(erase, write);
}

void TDY_DocTypeList::LoadFromIni() {
  Clear();
  TIniFile2 ini(ArchiveIniFile);
  // A count beyond the sections the file holds is damage: the entries that exist are read.
  const auto count = static_cast<int32_t>(std::min<int64_t>(ini.ReadInteger(CatalogueSection, "NumDocTypes", 0),
                                                            static_cast<int64_t>(ini.ReadAllSections().size())));
  MaxDocTypeID = ini.ReadInteger(CatalogueSection, "MaxDocTypeID", 0);
  for (int32_t i = 0; i < count; ++i) {
    const std::string section = TypeSectionPrefix + Int(i);
    auto entry = std::make_unique<TDY_DocTypeInfo>();
    entry->ID = ini.ReadInteger(section, "DocTypeID", 0);
    entry->Name = ini.ReadString(section, "Name", "");
    entry->FileName = ini.ReadString(section, "FileName", "");
    Add(std::move(entry));
  }
}

int32_t TDY_DocTypeList::NextId() {
  MaxDocTypeID = MaxDocTypeID == 0 ? MaxId() + 1 : MaxDocTypeID + 1;
  return MaxDocTypeID;
}

int32_t TDY_DocTypeList::MaxId() const {
  int32_t max = 0;
  for (const auto& t : items_) max = std::max(max, t->ID);
  return max;
}

void TDY_DocTypeList::Delete(int index) {
  items_.at(static_cast<size_t>(index));  // raises outside the list
  items_.erase(items_.begin() + index);
}

TDY_DocTypeInfo* TDY_DocTypeList::FindId(int32_t id) const {
  for (const auto& t : items_)
    if (t->ID == id) return t.get();
  return nullptr;
}

}  // namespace qv
