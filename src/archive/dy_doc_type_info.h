#pragma once
// Document types: the template from which documents are built (title, paper, sections, the
// logger channels reported and the tables and diagrams that show them), each kept as one ".dyt"
// XML file in the archive data folder, and the catalogue of the types (id, name, file name) in
// the archive's settings file.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "archive/dy_doc_content.h"
#include "archive/xml_lines.h"
#include "base/ini_file.h"
#include "platform/rtl/date_time.h"

namespace qv {

inline constexpr const char* DocTypeRootOpenLine = "<KiroDocumentType version=\"1.0\">";
inline constexpr const char* DocTypeRootCloseLine = "</KiroDocumentType>";
inline constexpr const char* DocTypeFileExt = ".dyt";

// Empty when name can serve as a type's name (its folder under the data folder and, with
// ".dyt", its file), else the text that says why not: an empty name, one holding "/" or "\",
// "." or "..", or one no file can be created under in the data folder.
std::string DocTypeNameError(const std::string& name);

class TDY_DocTypeInfo {
public:
  TDY_DocTypeInfo();
  ~TDY_DocTypeInfo();
  TDY_DocTypeInfo(const TDY_DocTypeInfo&) = delete;
  TDY_DocTypeInfo& operator=(const TDY_DocTypeInfo&) = delete;

  // Stamps the type (the first save also sets the paper defaults), records its audit events and
  // writes it to file_name (a full path) atomically. Raises with a clear text, before any event
  // and without writing, when Name is no valid type name or a value cannot be stored; a write
  // error raises with the file's name and the reason, after the first events.
  void Save(const std::string& file_name);
  // Sets LastData and stores it in the type file ArchiveDataPath + FileName: the file is read
  // afresh and only its LastData changes, with no event and no version change. A file that does
  // not load is left as it is (answer false).
  bool SaveLastData(TDateTime last_data);
  // Reads the type file (a full path); false after the error box "KD_DocTypeNotValid" when it
  // cannot be read or is no valid type file. The fields read so far stay.
  bool Load(const std::string& file_name);

  // The DocTypeInfo element.
  void WriteXml(TXmlLines& lines, int level) const;
  // Raises EConvertError on a number or date that does not convert.
  bool ReadXml(const TXmlLineViews& lines, int& index);
  // The whole file's lines.
  TXmlLines FileLines() const;

  int32_t ID = 0;
  std::string Name;
  std::string FileName;  // without folder
  std::string Title;
  TDateTime CreationDate = 0;
  std::string CreateUser;  // empty: never saved
  TDateTime LastModified = 0;
  std::string User;
  int32_t Version = 0;
  int32_t Width = 0;  // hundredths of a millimetre
  int32_t Height = 0;
  int32_t TopMargin = 0;
  int32_t BottomMargin = 0;
  int32_t LeftMargin = 0;
  int32_t RightMargin = 0;
  TDateTime LastData = 0;
  bool ShowDocInfo = false;
  bool ShowSigInfo = false;
  bool ShowDeviceInfo = false;
  bool ShowAuditLog = false;
  bool ShowDiagrams = false;
  bool ShowTables = false;
  bool TablesLandScape = false;
  bool DiagsLandScape = false;
  bool OneTabPerDevice = false;
  bool OneDiaPerDevice = false;
  TDY_ChannelList Channels;
  TDY_TableList Tables;
  TDY_DiagramList Diagrams;
};

// The catalogue: entries carry ID, Name and FileName only.
class TDY_DocTypeList : public TDY_OwnedList<TDY_DocTypeInfo> {
public:
  // Through ArchiveIniFile: [Dossaly] NumDocTypes, MaxDocTypeID, then [DocType<i>] DocTypeID,
  // Name and FileName per entry; saving first erases the sections of the stored count.
  void SaveToIni();
  void LoadFromIni();
  // What SaveToIni writes, for a caller that rewrites the file once with more of its own: the
  // stored sections to erase, the [Dossaly] keys and the entries' sections.
  void IniContent(const TIniFile& ini, std::vector<std::string>& erase, TIniFile::TKeyValues& main_keys,
                  std::vector<std::pair<std::string, TIniFile::TKeyValues>>& sections) const;
  // Hands out the next id and keeps it as MaxDocTypeID.
  int32_t NextId();
  // The highest id of the entries, 0 when empty.
  int32_t MaxId() const;
  // Removes and frees the entry.
  void Delete(int index);
  // The first entry with that id, or null.
  TDY_DocTypeInfo* FindId(int32_t id) const;

  int32_t MaxDocTypeID = 0;
};

}  // namespace qv
