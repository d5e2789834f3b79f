#include "archive/dy_doc_content.h"

#include <algorithm>
#include <array>

#include "archive/archive_globals.h"
#include "base/meas_types.h"
#include "base/res_string.h"

namespace qv {

namespace {

constexpr std::array<const char*, 10> ElementNames{"UnKnown", "DocInfo", "Chapter", "DeviceInfo", "AuditLog",
                                                   "Data",    "Table",   "Diagram", "Comment",    "SigInfo"};

// Limits and view ranges keep 15 significant digits.
constexpr int LimitPrecision = 15;

void ParseError(const char* suffix) { ArchiveErrorBox(LoadResString("DY_XMLParseError") + suffix); }

// Reads the value lines of one element in order; each read advances the index when it succeeds.
struct TLineReader {
  const TXmlLineViews& lines;
  int& index;

  std::string_view Line() const { return XmlLineAt(lines, index); }
  bool Open(const char* tag) { return XmlHasTag(Line(), tag, true, index); }
  bool Close(const char* tag) { return XmlHasTag(Line(), tag, false, index); }
  void Skip() { ++index; }
  bool Int(const char* tag, int32_t& v) { return XmlReadInteger(Line(), tag, index, v); }
  bool Str(const char* tag, std::string& v) { return XmlReadString(Line(), tag, index, v); }
  bool Float(const char* tag, double& v) { return XmlReadFloat(Line(), tag, index, v); }
  bool Bool(const char* tag, bool& v) { return XmlReadBoolean(Line(), tag, index, v); }
  bool Date(const char* tag, TDateTime& v) { return XmlReadDateTime(Line(), tag, index, v); }
  bool Byte(const char* tag, uint8_t& v) {
    int32_t i = 0;
    if (!Int(tag, i)) return false;
    v = static_cast<uint8_t>(i);
    return true;
  }
};

std::string Int(int32_t v) { return std::to_string(v); }
std::string Flt(double v) { return FloatToXmlText(v, LimitPrecision); }

}  // namespace

std::unique_ptr<TDY_Channel> TDY_Channel::Clone() const {
  auto copy = std::make_unique<TDY_Channel>();
  copy->ChannelID = ChannelID;
  copy->ChannelType = ChannelType;
  copy->ChannelName = ChannelName;
  copy->ChannelSName = ChannelSName;
  copy->SensorType = SensorType;
  copy->Unit = Unit;
  copy->ChannelMin = ChannelMin;
  copy->ChannelMax = ChannelMax;
  copy->AlarmMin = AlarmMin;
  copy->AlarmMax = AlarmMax;
  copy->AlarmEnabled = AlarmEnabled;
  copy->MeasType = MeasType;
  copy->CalcType = CalcType;
  copy->CellWidth = CellWidth;
  copy->ViewMin = ViewMin;
  copy->ViewMax = ViewMax;
  copy->DecWidth = DecWidth;
  copy->Decimals = Decimals;
  copy->Color = Color;
  copy->LineStyle = LineStyle;
  copy->PointerStyle = PointerStyle;
  copy->Device->LoggerID = Device->LoggerID;
  copy->Device->DeviceName = Device->DeviceName;
  copy->Device->DeviceSName = Device->DeviceSName;
  copy->Device->DeviceType = Device->DeviceType;
  return copy;
}

std::string ChannelCaption(const TDY_Channel& channel) {
  return channel.Device->DeviceName + ": " + channel.ChannelName;
}

TDY_Channel* TDY_ChannelList::Find(int32_t logger_id, int32_t channel_id) const {
  for (const auto& channel : items_)
    if (channel->Device->LoggerID == logger_id && channel->ChannelID == channel_id) return channel.get();
  return nullptr;
}

TDY_ElementKind ElementName2Element(const std::string& name) {
  for (size_t i = 1; i < ElementNames.size(); ++i)
    if (name == ElementNames[i]) return static_cast<TDY_ElementKind>(i);
  ArchiveErrorBox("ElementName2Element : unbekanntes Element !");
  return TDY_ElementKind::UnKnown;
}

std::string Element2ElementName(TDY_ElementKind kind) {
  const auto code = static_cast<size_t>(kind);
  if (code < ElementNames.size()) return ElementNames[code];
  ArchiveErrorBox("Element2ElementName : unbekanntes Element!");
  return "UnKnown";
}

std::unique_ptr<TDY_Table> TDY_Table::Clone() const {
  auto copy = std::make_unique<TDY_Table>();
  copy->Name = Name;
  CopyChannelList(Channels, copy->Channels);
  return copy;
}

std::unique_ptr<TDY_Diagram> TDY_Diagram::Clone() const {
  auto copy = std::make_unique<TDY_Diagram>();
  copy->Name = Name;
  CopyChannelList(Channels, copy->Channels);
  return copy;
}

TDateTime TDY_DataList::FirstTime() const {
  bool found = false;
  TDateTime first = 0;
  for (const TDY_Data& row : rows_) {
    if (row.Time == XmlMissingValue) continue;
    if (!found || row.Time < first) first = row.Time;
    found = true;
  }
  return found ? first : 0;
}

TDateTime TDY_DataList::LastTime() const {
  TDateTime last = 0;
  for (const TDY_Data& row : rows_)
    if (row.Time != XmlMissingValue && row.Time > last) last = row.Time;
  return last;
}

void TDY_DataList::SortByTime() {
  std::sort(rows_.begin(), rows_.end(), [](const TDY_Data& a, const TDY_Data& b) { return a.Time < b.Time; });
}

void SortDataByTime(TDY_DataList& list) { list.SortByTime(); }

void CopyChannelList(const TDY_ChannelList& source, TDY_ChannelList& target) {
  for (int i = 0; i < source.Count(); ++i) target.Add(source.Get(i)->Clone());
}

void CopyTableList(const TDY_TableList& source, TDY_TableList& target) {
  for (int i = 0; i < source.Count(); ++i) target.Add(source.Get(i)->Clone());
}

void CopyDiagramList(const TDY_DiagramList& source, TDY_DiagramList& target) {
  for (int i = 0; i < source.Count(); ++i) target.Add(source.Get(i)->Clone());
}

void BuildDeviceList(const TDY_ChannelList& channels, TDY_DeviceList& devices) {
  TDY_Device* run = nullptr;
  for (int i = 0; i < channels.Count(); ++i) {
    const TDY_Channel& channel = *channels.Get(i);
    if (!run || run->LoggerID != channel.Device->LoggerID) {
      auto device = std::make_unique<TDY_Device>();
      device->LoggerID = channel.Device->LoggerID;
      device->DeviceName = channel.Device->DeviceName;
      device->DeviceSName = channel.Device->DeviceSName;
      device->DeviceType = channel.Device->DeviceType;
      run = devices.Add(std::move(device));
    }
    ++run->ChannelCount;
    if (std::find(run->Units.begin(), run->Units.end(), channel.Unit) == run->Units.end()) {
      run->Units.push_back(channel.Unit);
      run->UnitCount = static_cast<int32_t>(run->Units.size());
    }
  }
}

// --- XML ---

void WriteDocInfoXml(const TDY_DocInfo& info, TXmlLines& lines, int level) {
  const int v = level + 1;
  lines.push_back(XmlTagOpenClose("DocInfo", true, level));
  lines.push_back(XmlTagLine("Title", info.Title, v));
  lines.push_back(XmlTagLine("Name", info.Name, v));
  lines.push_back(XmlTagLine("FileName", info.FileName, v));
  lines.push_back(XmlTagLine("TypeID", Int(info.TypeID), v));
  lines.push_back(XmlTagLine("CreationDate", DateTimeToXmlText(info.CreationDate), v));
  lines.push_back(XmlTagLine("LastModified", DateTimeToXmlText(info.LastModified), v));
  lines.push_back(XmlTagLine("CreateUser", info.CreateUser, v));
  lines.push_back(XmlTagLine("TypeName", info.TypeName, v));
  lines.push_back(XmlTagLine("TypeVersion", Int(info.TypeVersion), v));
  lines.push_back(XmlTagLine("NumVersions", Int(info.NumVersions), v));
  lines.push_back(XmlTagLine("Version", Int(info.Version), v));
  lines.push_back(XmlTagLine("VersionDate", DateTimeToXmlText(info.VersionDate), v));
  lines.push_back(XmlTagLine("Language", Int(info.Language), v));
  lines.push_back(XmlTagLine("User", info.User, v));
  lines.push_back(XmlTagLine("Width", Int(info.Width), v));
  lines.push_back(XmlTagLine("Height", Int(info.Height), v));
  lines.push_back(XmlTagLine("TopMargin", Int(info.TopMargin), v));
  lines.push_back(XmlTagLine("BottomMargin", Int(info.BottomMargin), v));
  lines.push_back(XmlTagLine("RightMargin", Int(info.RightMargin), v));
  lines.push_back(XmlTagLine("LeftMargin", Int(info.LeftMargin), v));
  lines.push_back(XmlTagLine("DataStartDate", DateTimeToXmlText(info.DataStartDate), v));
  lines.push_back(XmlTagLine("DataEndDate", DateTimeToXmlText(info.DataEndDate), v));
  lines.push_back(XmlTagOpenClose("DocInfo", false, level));
}

bool ReadDocInfoXml(TDY_DocInfo& info, const TXmlLineViews& lines, int& index) {
  TLineReader r{lines, index};
  const bool ok = r.Open("DocInfo") && r.Str("Title", info.Title) && r.Str("Name", info.Name) &&
                  r.Str("FileName", info.FileName) && r.Int("TypeID", info.TypeID) &&
                  r.Date("CreationDate", info.CreationDate) && r.Date("LastModified", info.LastModified) &&
                  r.Str("CreateUser", info.CreateUser) && r.Str("TypeName", info.TypeName) &&
                  r.Int("TypeVersion", info.TypeVersion) && r.Int("NumVersions", info.NumVersions) &&
                  r.Int("Version", info.Version) && r.Date("VersionDate", info.VersionDate) &&
                  r.Int("Language", info.Language) && r.Str("User", info.User) && r.Int("Width", info.Width) &&
                  r.Int("Height", info.Height) && r.Int("TopMargin", info.TopMargin) &&
                  r.Int("BottomMargin", info.BottomMargin) && r.Int("RightMargin", info.RightMargin) &&
                  r.Int("LeftMargin", info.LeftMargin) && r.Date("DataStartDate", info.DataStartDate) &&
                  r.Date("DataEndDate", info.DataEndDate);
  if (!ok) {
    const int close = FindLineContaining(lines, "</DocInfo>", index);
    if (close >= 0) index = close + 1;
    ParseError(" [DocInfo]");
    return false;
  }
  r.Skip();
  return true;
}

void WriteChannelsXml(const TDY_ChannelList& channels, TXmlLines& lines, int level, bool diagram_form,
                      bool table_form) {
  const int v = level + 2;
  lines.push_back(XmlTagOpenClose("Channels", true, level));
  for (int i = 0; i < channels.Count(); ++i) {
    const TDY_Channel& c = *channels.Get(i);
    lines.push_back(XmlTagOpenClose("ChannelItem", true, level + 1));
    lines.push_back(XmlTagLine("ChannelID", Int(c.ChannelID), v));
    lines.push_back(XmlTagLine("LoggerID", Int(c.Device->LoggerID), v));
    if (table_form) {
      lines.push_back(XmlTagLine("DecWidth", Int(c.DecWidth), v));
      lines.push_back(XmlTagLine("Decimals", Int(c.Decimals), v));
    } else if (diagram_form) {
      lines.push_back(XmlTagLine("Color", std::to_string(c.Color), v));
      lines.push_back(XmlTagLine("LineStyle", PenStyleToName(c.LineStyle), v));
      lines.push_back(XmlTagLine("PointerStyle", PointerStyleToName(c.PointerStyle), v));
    } else {
      lines.push_back(XmlTagLine("DeviceName", c.Device->DeviceName, v));
      lines.push_back(XmlTagLine("DeviceSName", c.Device->DeviceSName, v));
      lines.push_back(XmlTagLine("DeviceType", Int(c.Device->DeviceType), v));
      lines.push_back(XmlTagLine("ChannelType", Int(c.ChannelType), v));
      lines.push_back(XmlTagLine("ChannelName", c.ChannelName, v));
      lines.push_back(XmlTagLine("ChannelSName", c.ChannelSName, v));
      lines.push_back(XmlTagLine("SensorType", Int(c.SensorType), v));
      lines.push_back(XmlTagLine("Unit", c.Unit, v));
      lines.push_back(XmlTagLine("ChannelMin", Flt(c.ChannelMin), v));
      lines.push_back(XmlTagLine("ChannelMax", Flt(c.ChannelMax), v));
      lines.push_back(XmlTagLine("AlarmMin", Flt(c.AlarmMin), v));
      lines.push_back(XmlTagLine("AlarmMax", Flt(c.AlarmMax), v));
      lines.push_back(XmlTagLine("AlarmEnabled", BoolToXmlText(c.AlarmEnabled), v));
      lines.push_back(XmlTagLine("MeashType", MeasTypeName(c.MeasType), v));
      lines.push_back(XmlTagLine("CalcType", CalcTypeName(c.CalcType), v));
      lines.push_back(XmlTagLine("CellWidth", Int(c.CellWidth), v));
      lines.push_back(XmlTagLine("ViewMin", Flt(c.ViewMin), v));
      lines.push_back(XmlTagLine("ViewMax", Flt(c.ViewMax), v));
      lines.push_back(XmlTagLine("DecWidth", Int(c.DecWidth), v));
      lines.push_back(XmlTagLine("Decimals", Int(c.Decimals), v));
    }
    lines.push_back(XmlTagOpenClose("ChannelItem", false, level + 1));
  }
  lines.push_back(XmlTagOpenClose("Channels", false, level));
}

bool ReadChannelsXml(TDY_ChannelList& channels, const TXmlLineViews& lines, int& index, bool diagram_form,
                     bool table_form) {
  TLineReader r{lines, index};
  if (!r.Open("Channels")) {
    ParseError(" [Channel]");
    return false;
  }
  while (r.Line().find("<ChannelItem") != std::string::npos) {
    r.Skip();
    auto c = std::make_unique<TDY_Channel>();
    c->ChannelID = -1;
    c->Device->LoggerID = -1;
    c->ChannelType = -1;
    c->SensorType = -1;
    bool ok = r.Int("ChannelID", c->ChannelID) && r.Int("LoggerID", c->Device->LoggerID);
    if (table_form) {
      ok = ok && r.Int("DecWidth", c->DecWidth) && r.Int("Decimals", c->Decimals);
    } else if (diagram_form) {
      int32_t color = 0;
      std::string line_style, pointer_style;
      ok = ok && r.Int("Color", color) && r.Str("LineStyle", line_style) && r.Str("PointerStyle", pointer_style);
      c->Color = static_cast<TColor>(color);
      c->LineStyle = static_cast<uint8_t>(NameToPenStyle(line_style));
      c->PointerStyle = static_cast<uint8_t>(NameToPointerStyle(pointer_style));
    } else {
      std::string meas, calc;
      ok = ok && r.Str("DeviceName", c->Device->DeviceName) && r.Str("DeviceSName", c->Device->DeviceSName) &&
           r.Int("DeviceType", c->Device->DeviceType) && r.Int("ChannelType", c->ChannelType) &&
           r.Str("ChannelName", c->ChannelName) && r.Str("ChannelSName", c->ChannelSName) &&
           r.Int("SensorType", c->SensorType) && r.Str("Unit", c->Unit) && r.Float("ChannelMin", c->ChannelMin) &&
           r.Float("ChannelMax", c->ChannelMax) && r.Float("AlarmMin", c->AlarmMin) &&
           r.Float("AlarmMax", c->AlarmMax) && r.Bool("AlarmEnabled", c->AlarmEnabled) && r.Str("MeashType", meas) &&
           r.Str("CalcType", calc) && r.Int("CellWidth", c->CellWidth) && r.Float("ViewMin", c->ViewMin) &&
           r.Float("ViewMax", c->ViewMax) && r.Int("DecWidth", c->DecWidth) && r.Int("Decimals", c->Decimals);
      c->MeasType = MeasTypeFromName(meas);
      c->CalcType = CalcTypeFromName(calc);
    }
    if (!ok) {
      ParseError(" [Channel]");
      return false;
    }
    channels.Add(std::move(c));
    r.Skip();
  }
  r.Skip();
  return true;
}

void WriteDocElementsXml(const TDY_DocElementList& elements, TXmlLines& lines, int level) {
  lines.push_back(XmlTagOpenClose("DocElements", true, level));
  for (int i = 0; i < elements.Count(); ++i) {
    const TDY_DocElement& e = *elements.Get(i);
    lines.push_back(XmlTagOpenClose("DocElementItem", true, level + 1));
    lines.push_back(XmlTagLine("ElementType", Element2ElementName(e.Kind), level + 2));
    lines.push_back(XmlTagLine("ElementIndex", Int(e.Index), level + 2));
    lines.push_back(XmlTagLine("CanDeleteElement", BoolToXmlText(e.CanDelete), level + 2));
    lines.push_back(XmlTagOpenClose("DocElementItem", false, level + 1));
  }
  lines.push_back(XmlTagOpenClose("DocElements", false, level));
}

bool ReadDocElementsXml(TDY_DocElementList& elements, const TXmlLineViews& lines, int& index) {
  TLineReader r{lines, index};
  if (!r.Open("DocElements")) {
    ParseError(" [DocElement]");
    return false;
  }
  while (r.Line().find("<DocElementItem") != std::string::npos) {
    r.Skip();
    auto e = std::make_unique<TDY_DocElement>();
    std::string name;
    if (!r.Str("ElementType", name)) {
      ParseError(" [DocElement]");
      return false;
    }
    e->Kind = ElementName2Element(name);
    r.Int("ElementIndex", e->Index);
    r.Bool("CanDeleteElement", e->CanDelete);
    elements.Add(std::move(e));
    r.Skip();
  }
  r.Skip();
  return true;
}

void WriteChaptersXml(const TDY_ChapterList& chapters, TXmlLines& lines, int level) {
  lines.push_back(XmlTagOpenClose("Chapters", true, level));
  for (int i = 0; i < chapters.Count(); ++i) {
    const TDY_Chapter& c = *chapters.Get(i);
    lines.push_back(XmlTagOpenClose("ChapterItem", true, level + 1));
    lines.push_back(XmlTagLine("Title", c.Title, level + 2));
    lines.push_back(XmlTagLine("Orientation", Int(c.Orientation), level + 2));
    lines.push_back(XmlTagLine("NewPage", BoolToXmlText(c.NewPage), level + 2));
    lines.push_back(XmlTagOpenClose("ChapterItem", false, level + 1));
  }
  lines.push_back(XmlTagOpenClose("Chapters", false, level));
}

bool ReadChaptersXml(TDY_ChapterList& chapters, const TXmlLineViews& lines, int& index) {
  TLineReader r{lines, index};
  if (!r.Open("Chapters")) {
    ParseError(" [Chapter]");
    return false;
  }
  while (r.Line().find("<ChapterItem") != std::string::npos) {
    r.Skip();
    auto c = std::make_unique<TDY_Chapter>();
    if (!(r.Str("Title", c->Title) && r.Int("Orientation", c->Orientation) && r.Bool("NewPage", c->NewPage))) {
      ParseError(" [Chapter]");
      return false;
    }
    chapters.Add(std::move(c));
    r.Skip();
  }
  r.Skip();
  return true;
}

void WriteCommentsXml(const TDY_CommentList& comments, TXmlLines& lines, int level) {
  lines.push_back(XmlTagOpenClose("Comments", true, level));
  for (int i = 0; i < comments.Count(); ++i) {
    const TDY_Comment& c = *comments.Get(i);
    lines.push_back(XmlTagOpenClose("CommentItem", true, level + 1));
    // Written unchanged: a text of several lines goes on over the following file lines.
    lines.push_back(XmlTagLine("Text", c.Text, level + 2));
    lines.push_back(XmlTagLine("Page", Int(c.Page), level + 2));
    lines.push_back(XmlTagLine("PosX", Int(c.PosX), level + 2));
    lines.push_back(XmlTagLine("PosY", Int(c.PosY), level + 2));
    lines.push_back(XmlTagLine("Width", Int(c.Width), level + 2));
    lines.push_back(XmlTagLine("Height", Int(c.Height), level + 2));
    lines.push_back(XmlTagOpenClose("CommentItem", false, level + 1));
  }
  lines.push_back(XmlTagOpenClose("Comments", false, level));
}

bool ReadCommentsXml(TDY_CommentList& comments, const TXmlLineViews& lines, int& index) {
  TLineReader r{lines, index};
  if (!r.Open("Comments")) {
    ParseError(" [Comments]");
    return false;
  }
  while (r.Line().find("<CommentItem") != std::string::npos) {
    r.Skip();
    auto c = std::make_unique<TDY_Comment>();
    if (!(XmlReadMultiLineString(lines, "Text", index, c->Text) && r.Int("Page", c->Page) && r.Int("PosX", c->PosX) &&
          r.Int("PosY", c->PosY) && r.Int("Width", c->Width) && r.Int("Height", c->Height))) {
      ParseError(" [Comments]");
      return false;
    }
    comments.Add(std::move(c));
    r.Skip();
  }
  r.Skip();
  return true;
}

namespace {

template <class TItem, class TList>
void WriteNamedChannelLists(const TList& list, TXmlLines& lines, int level, const char* list_tag, const char* item_tag,
                            bool diagram_form) {
  lines.push_back(XmlTagOpenClose(list_tag, true, level));
  for (int i = 0; i < list.Count(); ++i) {
    const TItem& item = *list.Get(i);
    lines.push_back(XmlTagOpenClose(item_tag, true, level + 1));
    lines.push_back(XmlTagLine("Name", item.Name, level + 2));
    WriteChannelsXml(item.Channels, lines, level + 2, diagram_form, !diagram_form);
    lines.push_back(XmlTagOpenClose(item_tag, false, level + 1));
  }
  lines.push_back(XmlTagOpenClose(list_tag, false, level));
}

template <class TItem, class TList>
bool ReadNamedChannelLists(TList& list, const TXmlLineViews& lines, int& index, const char* list_tag,
                           const char* item_tag, bool diagram_form, const char* suffix) {
  TLineReader r{lines, index};
  if (!r.Open(list_tag)) {
    ParseError(suffix);
    return false;
  }
  const std::string item_open = std::string("<") + item_tag;
  while (r.Line().find(item_open) != std::string::npos) {
    r.Skip();
    auto item = std::make_unique<TItem>();
    if (!r.Str("Name", item->Name)) {
      ParseError(suffix);
      return false;
    }
    if (!ReadChannelsXml(item->Channels, lines, index, diagram_form, !diagram_form)) {
      ParseError(suffix);
      return false;
    }
    list.Add(std::move(item));
    r.Skip();
  }
  r.Skip();
  return true;
}

}  // namespace

void WriteTablesXml(const TDY_TableList& tables, TXmlLines& lines, int level) {
  WriteNamedChannelLists<TDY_Table>(tables, lines, level, "Tables", "TableItem", false);
}

bool ReadTablesXml(TDY_TableList& tables, const TXmlLineViews& lines, int& index) {
  return ReadNamedChannelLists<TDY_Table>(tables, lines, index, "Tables", "TableItem", false, " [Tables]");
}

void WriteDiagramsXml(const TDY_DiagramList& diagrams, TXmlLines& lines, int level) {
  WriteNamedChannelLists<TDY_Diagram>(diagrams, lines, level, "Diagrams", "DiagramItem", true);
}

bool ReadDiagramsXml(TDY_DiagramList& diagrams, const TXmlLineViews& lines, int& index) {
  return ReadNamedChannelLists<TDY_Diagram>(diagrams, lines, index, "Diagrams", "DiagramItem", true, " [Diagrams]");
}

void WriteDataXml(const TDY_DataList& data, TXmlLines& lines, int level) {
  lines.push_back(XmlTagOpenClose("Data", true, level));
  for (int i = 0; i < data.Count(); ++i) {
    const TDY_Data& row = *data.Get(i);
    lines.push_back(XmlDataRowLine(row.Logger, row.Channel, level + 1, row.Value, row.Time));
  }
  lines.push_back(XmlTagOpenClose("Data", false, level));
}

bool ReadDataXml(TDY_DataList& data, const TXmlLineViews& lines, int& index) {
  TLineReader r{lines, index};
  if (!r.Open("Data")) {
    ParseError(" [Data]");
    return false;
  }
  TDY_Data row;
  // At most one row per remaining line: room for them all at once.
  data.Reserve(static_cast<size_t>(data.Count()) +
               (lines.size() > static_cast<size_t>(index) ? lines.size() - index : 0));
  while (XmlReadDataRow(r.Line(), index, row.Time, row.Logger, row.Channel, row.Value)) data.Add(row);
  // Only the closing line may end the rows: a damaged row would otherwise silently drop every
  // row after it from a document that could then be saved over the original.
  if (!r.Close("Data")) {
    ParseError(" [Data]");
    return false;
  }
  return true;
}

namespace {

// Every line of the content before its Data element.
void WriteDocContentHead(const TDY_DocContent& content, TXmlLines& lines, int level) {
  lines.push_back(XmlTagOpenClose("DocContent Id=\"DocContent\"", true, level));
  WriteDocInfoXml(content.DocInfo, lines, level + 1);
  WriteChannelsXml(content.Channels, lines, level + 1, false, false);
  WriteDocElementsXml(content.DocElements, lines, level + 1);
  WriteChaptersXml(content.Chapters, lines, level + 1);
  WriteCommentsXml(content.Comments, lines, level + 1);
  content.AuditLog.WriteXml(lines, level + 1);
  WriteTablesXml(content.Tables, lines, level + 1);
  WriteDiagramsXml(content.Diagrams, lines, level + 1);
}

void AppendLine(std::string& text, std::string_view line) {
  text += line;
  text += "\r\n";
}

}  // namespace

void WriteDocContentXml(const TDY_DocContent& content, TXmlLines& lines, int level) {
  WriteDocContentHead(content, lines, level);
  WriteDataXml(content.Data, lines, level + 1);
  lines.push_back(XmlTagOpenClose("DocContent", false, level));
}

void AppendDocContentText(const TDY_DocContent& content, std::string& text, int level) {
  TXmlLines head;
  WriteDocContentHead(content, head, level);
  for (const std::string& line : head) AppendLine(text, line);
  AppendLine(text, XmlTagOpenClose("Data", true, level + 1));
  for (int i = 0; i < content.Data.Count(); ++i) {
    const TDY_Data& row = *content.Data.Get(i);
    AppendDataRowLine(text, row.Logger, row.Channel, level + 2, row.Value, row.Time);
    text += "\r\n";
  }
  AppendLine(text, XmlTagOpenClose("Data", false, level + 1));
  AppendLine(text, XmlTagOpenClose("DocContent", false, level));
}

namespace {

// The audit list's reader answers false without a word when its element is missing.
bool ReadAuditLogXml(TDY_AuditEventList& list, const TXmlLineViews& lines, int& index) {
  int probe = index;
  if (!XmlHasTag(XmlLineAt(lines, index), "AuditLog", true, probe)) {
    ParseError(" [AuditLog]");
    return false;
  }
  return list.ReadXml(lines, index);
}

}  // namespace

bool ReadDocContentXml(TDY_DocContent& content, const TXmlLineViews& lines, int& index) {
  if (XmlLineAt(lines, index).find("<DocContent Id=\"DocContent\"") == std::string::npos) return false;
  ++index;
  const bool ok = ReadDocInfoXml(content.DocInfo, lines, index) &&
                  ReadChannelsXml(content.Channels, lines, index, false, false) &&
                  ReadDocElementsXml(content.DocElements, lines, index) &&
                  ReadChaptersXml(content.Chapters, lines, index) && ReadCommentsXml(content.Comments, lines, index) &&
                  ReadAuditLogXml(content.AuditLog, lines, index) && ReadTablesXml(content.Tables, lines, index) &&
                  ReadDiagramsXml(content.Diagrams, lines, index) && ReadDataXml(content.Data, lines, index);
  if (ok) ++index;
  return ok;
}

}  // namespace qv
