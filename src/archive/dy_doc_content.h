#pragma once
// The archive document: header, channels, sections, chapters, comments, an extract of the audit
// trail, tables, diagrams and data rows, and its XML, written and read line by line. Document
// types and the data import share its channel, table and diagram elements.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/dy_audit_manager.h"
#include "archive/used_colors.h"
#include "archive/xml_lines.h"
#include "platform/rtl/date_time.h"

namespace qv {

// A list that owns its items.
template <class T>
class TDY_OwnedList {
public:
  T* Add(std::unique_ptr<T> item) {
    items_.push_back(std::move(item));
    return items_.back().get();
  }
  T* Get(int index) const { return items_.at(static_cast<size_t>(index)).get(); }
  int Count() const { return static_cast<int>(items_.size()); }
  void Clear() { items_.clear(); }
  // Removes and frees the item.
  void Delete(int index) { items_.erase(items_.begin() + index); }

protected:
  std::vector<std::unique_ptr<T>> items_;
};

struct TDY_DocInfo {
  std::string Title;
  std::string Name;
  std::string FileName;
  int32_t TypeID = 0;
  TDateTime CreationDate = 0;
  TDateTime LastModified = 0;
  std::string CreateUser;
  std::string TypeName;
  int32_t TypeVersion = 0;
  int32_t NumVersions = 0;
  int32_t Version = 0;
  TDateTime VersionDate = 0;
  int32_t Language = 0;
  std::string User;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t TopMargin = 0;
  int32_t BottomMargin = 0;
  int32_t RightMargin = 0;
  int32_t LeftMargin = 0;
  TDateTime DataStartDate = 0;
  TDateTime DataEndDate = 0;
  // The archive window's document list only; never in the document file.
  bool DocOpen = false;
  bool Listed = false;
};

struct TDY_Device {
  int32_t LoggerID = 0;
  std::string DeviceName;
  std::string DeviceSName;
  int32_t DeviceType = 0;
  // Filled only by BuildDeviceList.
  int32_t ChannelCount = 0;
  int32_t UnitCount = 0;
  std::vector<std::string> Units;
};

class TDY_DeviceList : public TDY_OwnedList<TDY_Device> {};

struct TDY_Channel {
  TDY_Channel() : Device(std::make_unique<TDY_Device>()) {}
  // Every field, and the device's identity (not its BuildDeviceList counts).
  std::unique_ptr<TDY_Channel> Clone() const;

  int32_t ChannelID = 0;
  int32_t ChannelType = 0;
  std::string ChannelName;
  std::string ChannelSName;
  int32_t SensorType = 0;
  std::string Unit;
  double ChannelMin = 0, ChannelMax = 0;
  double AlarmMin = 0, AlarmMax = 0;
  bool AlarmEnabled = false;
  uint8_t MeasType = 0;
  uint8_t CalcType = 0;
  int32_t CellWidth = 0;
  double ViewMin = 0, ViewMax = 0;
  int32_t DecWidth = 0;
  int32_t Decimals = 0;
  TColor Color = 0;
  uint8_t LineStyle = 0;
  uint8_t PointerStyle = 0;
  std::unique_ptr<TDY_Device> Device;
};

std::string ChannelCaption(const TDY_Channel& channel);

class TDY_ChannelList : public TDY_OwnedList<TDY_Channel> {
public:
  // The first channel of that logger and channel id, or null.
  TDY_Channel* Find(int32_t logger_id, int32_t channel_id) const;
};

enum class TDY_ElementKind : uint8_t {
  UnKnown,
  DocInfo,
  Chapter,
  DeviceInfo,
  AuditLog,
  Data,
  Table,
  Diagram,
  Comment,
  SigInfo
};
TDY_ElementKind ElementName2Element(const std::string& name);
std::string Element2ElementName(TDY_ElementKind kind);

struct TDY_DocElement {
  TDY_ElementKind Kind = TDY_ElementKind::UnKnown;
  int32_t Index = -1;
  bool CanDelete = false;
};
class TDY_DocElementList : public TDY_OwnedList<TDY_DocElement> {};

struct TDY_Chapter {
  std::string Title;
  int32_t Orientation = 0;
  bool NewPage = false;
};
class TDY_ChapterList : public TDY_OwnedList<TDY_Chapter> {};

struct TDY_Comment {
  std::string Text;  // lines separated by CR LF
  int32_t Page = 0;
  int32_t PosX = 0, PosY = 0, Width = 0, Height = 0;
};
class TDY_CommentList : public TDY_OwnedList<TDY_Comment> {};

// A table or a diagram: a name and its channels (only their identity and presentation).
struct TDY_Table {
  std::unique_ptr<TDY_Table> Clone() const;
  std::string Name;
  TDY_ChannelList Channels;
};
struct TDY_Diagram {
  std::unique_ptr<TDY_Diagram> Clone() const;
  std::string Name;
  TDY_ChannelList Channels;
};
class TDY_TableList : public TDY_OwnedList<TDY_Table> {};
class TDY_DiagramList : public TDY_OwnedList<TDY_Diagram> {};

struct TDY_Data {
  int32_t Logger = 0;
  int32_t Channel = 0;
  TDateTime Time = 0;
  double Value = 0;  // XmlMissingValue when missing
};

// Rows are kept by value: a document holds them by the hundred thousand. A pointer from Get is
// valid until the next Add.
class TDY_DataList {
public:
  TDY_Data* Add(const TDY_Data& row) {
    rows_.push_back(row);
    return &rows_.back();
  }
  TDY_Data* Get(int index) { return &rows_.at(static_cast<size_t>(index)); }
  const TDY_Data* Get(int index) const { return &rows_.at(static_cast<size_t>(index)); }
  int Count() const { return static_cast<int>(rows_.size()); }
  void Clear() { rows_.clear(); }
  // The earliest Time of the rows whose Time is not the missing-value marker; 0 without one.
  TDateTime FirstTime() const;
  // The latest Time above 0 of those rows; 0 without one.
  TDateTime LastTime() const;
  void Reserve(size_t count) { rows_.reserve(count); }
  void SortByTime();

private:
  std::vector<TDY_Data> rows_;
};

void SortDataByTime(TDY_DataList& list);
void CopyChannelList(const TDY_ChannelList& source, TDY_ChannelList& target);
void CopyTableList(const TDY_TableList& source, TDY_TableList& target);
void CopyDiagramList(const TDY_DiagramList& source, TDY_DiagramList& target);
// One record per run of consecutive channels of the same logger.
void BuildDeviceList(const TDY_ChannelList& channels, TDY_DeviceList& devices);

class TDY_DocContent {
public:
  TDY_DocInfo DocInfo;
  TDY_ChannelList Channels;
  TDY_ChapterList Chapters;
  TDY_CommentList Comments;
  TDY_AuditEventList AuditLog;
  TDY_DataList Data;
  TDY_TableList Tables;
  TDY_DiagramList Diagrams;
  TDY_DocElementList DocElements;
};

// Writers append lines at the level given; readers start at index, advance it past what they read
// and append to the lists they are given. A failing reader shows its element's error and answers
// false; a float or date-time text that does not convert raises EConvertError.
void WriteDocContentXml(const TDY_DocContent& content, TXmlLines& lines, int level);
// The same lines joined, each followed by CR LF; the data rows go straight into the text.
void AppendDocContentText(const TDY_DocContent& content, std::string& text, int level);
bool ReadDocContentXml(TDY_DocContent& content, const TXmlLineViews& lines, int& index);
void WriteDocInfoXml(const TDY_DocInfo& info, TXmlLines& lines, int level);
bool ReadDocInfoXml(TDY_DocInfo& info, const TXmlLineViews& lines, int& index);
void WriteChannelsXml(const TDY_ChannelList& channels, TXmlLines& lines, int level, bool diagram_form, bool table_form);
bool ReadChannelsXml(TDY_ChannelList& channels, const TXmlLineViews& lines, int& index, bool diagram_form,
                     bool table_form);
void WriteDocElementsXml(const TDY_DocElementList& elements, TXmlLines& lines, int level);
bool ReadDocElementsXml(TDY_DocElementList& elements, const TXmlLineViews& lines, int& index);
void WriteChaptersXml(const TDY_ChapterList& chapters, TXmlLines& lines, int level);
bool ReadChaptersXml(TDY_ChapterList& chapters, const TXmlLineViews& lines, int& index);
void WriteCommentsXml(const TDY_CommentList& comments, TXmlLines& lines, int level);
bool ReadCommentsXml(TDY_CommentList& comments, const TXmlLineViews& lines, int& index);
void WriteTablesXml(const TDY_TableList& tables, TXmlLines& lines, int level);
bool ReadTablesXml(TDY_TableList& tables, const TXmlLineViews& lines, int& index);
void WriteDiagramsXml(const TDY_DiagramList& diagrams, TXmlLines& lines, int level);
bool ReadDiagramsXml(TDY_DiagramList& diagrams, const TXmlLineViews& lines, int& index);
void WriteDataXml(const TDY_DataList& data, TXmlLines& lines, int level);
bool ReadDataXml(TDY_DataList& data, const TXmlLineViews& lines, int& index);

}  // namespace qv
