#include "archive/dy_doc_content.h"

#include <gtest/gtest.h>

#include <fstream>

#include "archive/dy_document_file.h"
#include "archive_test_support.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/file_io.h"

namespace qv {
namespace {

const std::string GoldenFile = std::string(QV_TEST_DATA_DIR) + "/golden_document.xml";

TDateTime Stamp(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  return EncodeDate(y, mo, d) + EncodeTime(h, mi, s, ms);
}

std::unique_ptr<TDY_Channel> MakeChannel(int32_t logger, int32_t id, const std::string& unit = "") {
  auto c = std::make_unique<TDY_Channel>();
  c->Device->LoggerID = logger;
  c->ChannelID = id;
  c->Unit = unit;
  return c;
}

// The model the hand-written golden file describes.
void FillGoldenModel(TDY_DocContent& doc) {
  TDY_DocInfo& i = doc.DocInfo;
  i.Title = "Cold store \xC3\x84";
  i.Name = "report";
  i.FileName = "Cold/report.xml";
  i.TypeID = 3;
  i.CreationDate = Stamp(2004, 3, 17, 14, 5, 9, 250);
  i.LastModified = i.VersionDate = Stamp(2004, 3, 18, 8);
  i.CreateUser = i.User = "anna";
  i.TypeName = "Cold";
  i.Version = 1;
  i.Language = 1033;
  i.Width = 21000;
  i.Height = 29700;
  i.TopMargin = i.BottomMargin = 1500;
  i.RightMargin = 1000;
  i.LeftMargin = 2000;
  i.DataStartDate = Stamp(2004, 3, 16);
  i.DataEndDate = Stamp(2004, 3, 17);

  auto c = MakeChannel(7, 1,
                       "\xC2\xB0"
                       "C");
  c->Device->DeviceName = "Cellar";
  c->Device->DeviceSName = "C1";
  c->Device->DeviceType = 2;
  c->ChannelName = "Temperature";
  c->ChannelSName = "T";
  c->SensorType = 5;
  c->ChannelMin = -40;
  c->ChannelMax = 85;
  c->AlarmMin = 2.5;
  c->AlarmMax = 8;
  c->AlarmEnabled = true;
  c->MeasType = 2;
  c->CellWidth = 60;
  c->ViewMin = -10;
  c->ViewMax = 30.1;
  c->DecWidth = 6;
  c->Decimals = 1;
  doc.Channels.Add(std::move(c));

  doc.DocElements.Add(std::make_unique<TDY_DocElement>(TDY_DocElement{TDY_ElementKind::DocInfo, -1, false}));
  doc.DocElements.Add(std::make_unique<TDY_DocElement>(TDY_DocElement{TDY_ElementKind::Diagram, 0, true}));
  doc.Chapters.Add(std::make_unique<TDY_Chapter>(TDY_Chapter{"Summary", 1, true}));
  doc.Comments.Add(std::make_unique<TDY_Comment>(TDY_Comment{"Door open\r\nchecked by Bob\r\nok", 1, 10, 20, 200, 50}));
  doc.AuditLog.Add(
      TDY_AuditEvent(TAuditKind::DocumentCreated, Stamp(2004, 3, 17, 14, 5, 9, 250), "Cold/report.xml", "", 2, "anna"));

  auto table = std::make_unique<TDY_Table>();
  table->Name = "Values";
  auto tc = MakeChannel(7, 1);
  tc->DecWidth = 6;
  tc->Decimals = 1;
  table->Channels.Add(std::move(tc));
  doc.Tables.Add(std::move(table));

  auto diagram = std::make_unique<TDY_Diagram>();
  diagram->Name = "Curve";
  auto dc = MakeChannel(7, 1);
  dc->Color = 0x008000;
  dc->LineStyle = 1;
  dc->PointerStyle = 1;
  diagram->Channels.Add(std::move(dc));
  doc.Diagrams.Add(std::move(diagram));

  doc.Data.Add(TDY_Data{7, 1, Stamp(2004, 3, 16), 4.25});
  doc.Data.Add(TDY_Data{7, 1, Stamp(2004, 3, 16, 0, 15), XmlMissingValue});
  doc.Data.Add(TDY_Data{7, 1, Stamp(2004, 3, 17), 123457});
}

std::string FileBytes(const TDY_DocContent& doc) {
  std::string bytes;
  for (const std::string& line : DocumentFileLines(doc)) bytes += line + "\r\n";
  return bytes;
}

class DocumentTest : public ::testing::Test {
protected:
  TArchiveTestFolder folder;
  TCapturedBoxes boxes;

  // Reads a document written from lines; the content must stay untouched on failure.
  bool ReadLines(const TXmlLines& lines, TDY_DocContent& doc, std::string& error) {
    std::string bytes;
    for (const std::string& line : lines) bytes += line + "\r\n";
    WriteFileAtomic(folder.File("doc.xml"), bytes);
    return ReadDocumentFile(folder.File("doc.xml"), doc, error);
  }
};

TEST_F(DocumentTest, WritesTheHandWrittenGoldenFileByteForByte) {
  TDY_DocContent doc;
  FillGoldenModel(doc);
  EXPECT_EQ(FileBytes(doc), ReadFileBytes(GoldenFile));
  WriteDocumentFile(folder.File("golden.xml"), doc);
  EXPECT_EQ(ReadFileBytes(folder.File("golden.xml")), ReadFileBytes(GoldenFile));
}

TEST_F(DocumentTest, ReadsTheGoldenFileIntoTheModel) {
  TDY_DocContent doc;
  std::string error;
  TXmlLines signature;
  ASSERT_TRUE(ReadDocumentFile(GoldenFile, doc, error, &signature)) << error;
  EXPECT_TRUE(boxes.Texts.empty());
  EXPECT_TRUE(signature.empty());
  // Written back, it gives the same file, so every field came back.
  EXPECT_EQ(FileBytes(doc), ReadFileBytes(GoldenFile));
  EXPECT_EQ(doc.DocInfo.Title, "Cold store \xC3\x84");
  EXPECT_EQ(doc.Comments.Get(0)->Text, "Door open\r\nchecked by Bob\r\nok");
  EXPECT_EQ(doc.Data.Get(1)->Value, -1.501e38);
  EXPECT_EQ(doc.Data.FirstTime(), Stamp(2004, 3, 16));
  EXPECT_EQ(doc.Data.LastTime(), Stamp(2004, 3, 17));
  // Diagram and table channels carry only their identity; the rest is found in the document.
  const TDY_Channel* dc = doc.Diagrams.Get(0)->Channels.Get(0);
  EXPECT_EQ(dc->ChannelType, -1);
  EXPECT_EQ(dc->SensorType, -1);
  EXPECT_EQ(dc->ChannelName, "");
  EXPECT_EQ(dc->Color, 0x008000u);
  EXPECT_EQ(ChannelCaption(*doc.Channels.Find(dc->Device->LoggerID, dc->ChannelID)), "Cellar: Temperature");
  EXPECT_EQ(doc.Channels.Find(7, 2), nullptr);
}

TEST_F(DocumentTest, AnEmptyDocumentRoundTrips) {
  TDY_DocContent doc;
  WriteDocumentFile(folder.File("empty.xml"), doc);
  const TXmlLines lines = SplitDocumentLines(ReadFileBytes(folder.File("empty.xml")));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "    <Channels>"), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "    </Data>"), 1);
  TDY_DocContent read;
  std::string error;
  ASSERT_TRUE(ReadDocumentFile(folder.File("empty.xml"), read, error)) << error;
  EXPECT_EQ(FileBytes(read), FileBytes(doc));
}

TEST_F(DocumentTest, OptionalElementLinesAndLenientLineBreaks) {
  TXmlLines lines = SplitDocumentLines(ReadFileBytes(GoldenFile));
  // A section without ElementIndex and CanDeleteElement lines, and lone LF line ends.
  lines.erase(std::find(lines.begin(), lines.end(), "        <ElementIndex>-1</ElementIndex>"));
  lines.erase(std::find(lines.begin(), lines.end(), "        <CanDeleteElement>False</CanDeleteElement>"));
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\n";
  WriteFileAtomic(folder.File("lf.xml"), bytes);
  TDY_DocContent doc;
  std::string error;
  ASSERT_TRUE(ReadDocumentFile(folder.File("lf.xml"), doc, error)) << error;
  ASSERT_EQ(doc.DocElements.Count(), 2);
  EXPECT_EQ(doc.DocElements.Get(0)->Index, -1);
  EXPECT_FALSE(doc.DocElements.Get(0)->CanDelete);
  EXPECT_TRUE(doc.DocElements.Get(1)->CanDelete);
}

TEST_F(DocumentTest, DamagedFilesAreRefusedAndTheDocumentIsLeftAlone) {
  const TXmlLines golden = SplitDocumentLines(ReadFileBytes(GoldenFile));
  auto replaced = [&](const std::string& from, const std::string& to) {
    TXmlLines lines = golden;
    *std::find(lines.begin(), lines.end(), from) = to;
    return lines;
  };
  struct Case {
    const char* name;
    TXmlLines lines;
    const char* box;  // the element's error, or "" when the file is not a document at all
  } cases[] = {
      {"byte-order mark", replaced(golden[0], "\xEF\xBB\xBF" + golden[0]), ""},
      {"blank before the declaration", replaced(golden[0], " " + golden[0]), ""},
      {"no content", TXmlLines(golden.begin(), golden.begin() + 2), ""},
      {"bad integer", replaced("      <TypeID>3</TypeID>", "      <TypeID>3x</TypeID>"), "DY_XMLParseError [DocInfo]"},
      {"missing channel line",
       replaced("        <Unit>\xC2\xB0"
                "C</Unit>",
                ""),
       "DY_XMLParseError [Channel]"},
      {"line break in a title", replaced("        <Title>Summary</Title>", "        <Title>Sum"),
       "DY_XMLParseError [Chapter]"},
      {"audit entry cut", replaced("        <Comment></Comment>", "        <Comment>"), "DY_XMLParseError [AuditLog]"},
      {"damaged data row",
       replaced("      <DataRow Time=\"2004-03-16T00:15:00.000Z\" Logger=\"7\" Channel=\"1\" Value=\"-1.501E+038\" />",
                "      <DataRow Time=\"2004-03-16T00:15:00.000Z\" Logger=\"7\" Channel=\"1\" Value=\"x\" />"),
       "DY_XMLParseError [Data]"},
      {"bad float", replaced("        <AlarmMax>8</AlarmMax>", "        <AlarmMax>8,0.0</AlarmMax>"), ""},
      {"bad time",
       replaced("      <DataRow Time=\"2004-03-16T00:00:00.000Z\" Logger=\"7\" Channel=\"1\" Value=\"4.25\" />",
                "      <DataRow Time=\"16.03.2004\" Logger=\"7\" Channel=\"1\" Value=\"4.25\" />"),
       ""},
      {"no closing root", TXmlLines(golden.begin(), golden.end() - 1), ""},
  };
  for (const Case& c : cases) {
    boxes.Texts.clear();
    TDY_DocContent doc;
    doc.DocInfo.Title = "kept";
    std::string error;
    EXPECT_FALSE(ReadLines(c.lines, doc, error)) << c.name;
    EXPECT_EQ(error.substr(0, 14), "KD_DocNotValid") << c.name;
    EXPECT_EQ(doc.DocInfo.Title, "kept") << c.name;
    EXPECT_EQ(doc.Channels.Count(), 0) << c.name;
    if (*c.box) {
      EXPECT_NE(std::find(boxes.Texts.begin(), boxes.Texts.end(), c.box), boxes.Texts.end()) << c.name;
    }
  }
}

TEST_F(DocumentTest, EveryTruncationIsRefused) {
  // Cut after every line and inside the last data row: never a shorter document.
  const std::string golden = ReadFileBytes(GoldenFile);
  const size_t close = golden.rfind("</KiroDocument>");
  for (size_t cut = 0; cut < close; cut += (cut < close - 300 ? 37 : 1)) {
    WriteFileAtomic(folder.File("cut.xml"), golden.substr(0, cut));
    TDY_DocContent doc;
    std::string error;
    EXPECT_FALSE(ReadDocumentFile(folder.File("cut.xml"), doc, error)) << cut;
  }
}

TEST_F(DocumentTest, ValuesThatCannotReadBackUnchangedStopTheSave) {
  TDY_DocContent doc;
  FillGoldenModel(doc);
  WriteDocumentFile(folder.File("doc.xml"), doc);
  const std::string stored = ReadFileBytes(folder.File("doc.xml"));
  struct Case {
    const char* name;
    std::function<void(TDY_DocContent&)> spoil;
  } cases[] = {
      {"closing tag in a title", [](TDY_DocContent& d) { d.DocInfo.Title = "a</Title>b"; }},
      {"line break in a channel name", [](TDY_DocContent& d) { d.Channels.Get(0)->ChannelName = "a\r\nb"; }},
      {"content end in a comment", [](TDY_DocContent& d) { d.Comments.Get(0)->Text = "x\r\n  </docContent>\r\ny"; }},
      {"closing tag in a comment", [](TDY_DocContent& d) { d.Comments.Get(0)->Text = "x</Text>"; }},
      {"line break in a table name", [](TDY_DocContent& d) { d.Tables.Get(0)->Name = "a\nb"; }},
  };
  for (const Case& c : cases) {
    TDY_DocContent spoilt;
    FillGoldenModel(spoilt);
    c.spoil(spoilt);
    EXPECT_THROW(WriteDocumentFile(folder.File("doc.xml"), spoilt), Exception) << c.name;
    EXPECT_EQ(ReadFileBytes(folder.File("doc.xml")), stored) << c.name;
  }
  // "<", "&" and quotes are stored raw and come back unchanged.
  doc.DocInfo.Title = "a < b & \"c\" > d";
  doc.Comments.Get(0)->Text = "one\r\n\r\nthree <Text>";
  WriteDocumentFile(folder.File("doc.xml"), doc);
  TDY_DocContent read;
  std::string error;
  ASSERT_TRUE(ReadDocumentFile(folder.File("doc.xml"), read, error)) << error;
  EXPECT_EQ(read.DocInfo.Title, doc.DocInfo.Title);
  EXPECT_EQ(read.Comments.Get(0)->Text, doc.Comments.Get(0)->Text);
}

TEST(DocModel, DeviceListsFollowRunsOfLoggers) {
  TDY_ChannelList channels;
  channels.Add(MakeChannel(7, 1,
                           "\xC2\xB0"
                           "C"));
  channels.Add(MakeChannel(7, 2, "%"));
  channels.Add(MakeChannel(9, 1, "hPa"));
  channels.Add(MakeChannel(7, 3, "%"));
  channels.Get(1)->Unit =
      "\xC2\xB0"
      "c";  // units compare case-sensitively
  TDY_DeviceList devices;
  BuildDeviceList(channels, devices);
  ASSERT_EQ(devices.Count(), 3);
  EXPECT_EQ(devices.Get(0)->LoggerID, 7);
  EXPECT_EQ(devices.Get(0)->ChannelCount, 2);
  EXPECT_EQ(devices.Get(0)->UnitCount, 2);
  EXPECT_EQ(devices.Get(1)->LoggerID, 9);
  EXPECT_EQ(devices.Get(2)->LoggerID, 7);
  EXPECT_EQ(devices.Get(2)->ChannelCount, 1);
}

TEST(DocModel, CopiesAreDeepAndTimesSkipMissingRows) {
  TDY_DocContent doc;
  FillGoldenModel(doc);
  TDY_DiagramList diagrams;
  CopyDiagramList(doc.Diagrams, diagrams);
  doc.Diagrams.Get(0)->Channels.Get(0)->Color = 1;
  EXPECT_EQ(diagrams.Get(0)->Channels.Get(0)->Color, 0x008000u);
  TDY_ChannelList channels;
  CopyChannelList(doc.Channels, channels);
  EXPECT_EQ(channels.Get(0)->Device->DeviceName, "Cellar");
  EXPECT_NE(channels.Get(0)->Device.get(), doc.Channels.Get(0)->Device.get());

  TDY_DataList data;
  EXPECT_EQ(data.FirstTime(), 0);
  data.Add(TDY_Data{7, 1, XmlMissingValue, 1});
  data.Add(TDY_Data{7, 1, 5.5, 1});
  data.Add(TDY_Data{7, 1, 2.5, 1});
  EXPECT_EQ(data.FirstTime(), 2.5);
  EXPECT_EQ(data.LastTime(), 5.5);
  SortDataByTime(data);
  EXPECT_EQ(data.Get(0)->Time, XmlMissingValue);
  EXPECT_EQ(data.Get(2)->Time, 5.5);
}

TEST(DocModel, ElementKindsByName) {
  TCapturedBoxes boxes;
  for (int kind = 1; kind <= 9; ++kind)
    EXPECT_EQ(ElementName2Element(Element2ElementName(static_cast<TDY_ElementKind>(kind))),
              static_cast<TDY_ElementKind>(kind));
  EXPECT_TRUE(boxes.Texts.empty());
  EXPECT_EQ(ElementName2Element("UnKnown"), TDY_ElementKind::UnKnown);
  EXPECT_EQ(Element2ElementName(static_cast<TDY_ElementKind>(10)), "UnKnown");
  EXPECT_EQ(boxes.Texts, (std::vector<std::string>{"ElementName2Element : unbekanntes Element !",
                                                   "Element2ElementName : unbekanntes Element!"}));
}

}  // namespace
}  // namespace qv
