#include "archive/dy_doc_type_info.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "archive/dy_document_file.h"
#include "archive/dy_user_manager.h"
#include "archive_test_support.h"
#include "base/ini_file2.h"
#include "base/res_string.h"
#include "platform/rtl/date_time.h"
#include "platform/rtl/file_io.h"

namespace qv {
namespace {

// Written by hand from the type file's layout: every field set apart from its default, a table
// channel that names no channel of the type, and the old spelling MeashType.
const std::string GoldenType = std::string(QV_TEST_DATA_DIR) + "/golden_type.dyt";
const std::string GoldenUsers = std::string(QV_TEST_DATA_DIR) + "/users_golden.dat";

TDateTime At(int year, int month, int day, int hour, int min, int sec, int msec) {
  return EncodeDate(year, month, day) + EncodeTime(hour, min, sec, msec);
}

class DocTypeTest : public ::testing::Test {
protected:
  DocTypeTest() {
    ArchiveIniFile = folder.File("Dossaly.ini");
    InstallAuditService(&audit);
    SetDefaultWallClock(&clock);
    std::filesystem::copy_file(GoldenUsers, folder.File("Users.dat"));
    users = std::make_unique<TDY_UserManager>(folder.File("Users.dat"));
    users->SetCurrentUser("bob");
    UserManager = users.get();
  }
  ~DocTypeTest() override {
    UserManager = nullptr;
    SetDefaultWallClock(nullptr);
    InstallAuditService(nullptr);
  }
  std::vector<TDY_AuditEventKind> Kinds() const {
    std::vector<TDY_AuditEventKind> kinds;
    for (const auto& e : audit.Events()) kinds.push_back(e.Kind);
    return kinds;
  }

  TArchiveTestFolder folder;
  TCapturedBoxes boxes;
  TRecordingAuditService audit;
  TFixedClock clock{At(2026, 5, 4, 10, 30, 0, 0)};
  std::unique_ptr<TDY_UserManager> users;
};

TEST_F(DocTypeTest, TheGoldenFileLoadsAndIsWrittenBackByteForByte) {
  TDY_DocTypeInfo type;
  ASSERT_TRUE(type.Load(GoldenType));
  EXPECT_TRUE(boxes.Texts.empty());
  EXPECT_EQ(type.ID, 3);
  EXPECT_EQ(type.Title, "Cold store Ä");
  EXPECT_EQ(type.RightMargin, 1000);
  EXPECT_EQ(type.LeftMargin, 2000);
  EXPECT_EQ(type.Version, 4);
  EXPECT_DOUBLE_EQ(type.LastData, At(2004, 3, 14, 23, 59, 59, 0));
  EXPECT_TRUE(type.TablesLandScape);
  EXPECT_TRUE(type.OneTabPerDevice);
  EXPECT_FALSE(type.ShowSigInfo);
  ASSERT_EQ(type.Channels.Count(), 2);
  EXPECT_EQ(type.Channels.Get(1)->Unit, "%rH");
  ASSERT_EQ(type.Tables.Count(), 1);
  // Table and diagram entries take their names from the type's entry of the same ids; one that
  // names no entry keeps what it had.
  const TDY_Channel& matched = *type.Tables.Get(0)->Channels.Get(0);
  EXPECT_EQ(matched.ChannelName, "Humidity");
  EXPECT_EQ(matched.Device->DeviceSName, "C1");
  EXPECT_EQ(matched.DecWidth, 5);
  EXPECT_EQ(type.Tables.Get(0)->Channels.Get(1)->ChannelName, "");
  const TDY_Channel& curve = *type.Diagrams.Get(0)->Channels.Get(0);
  EXPECT_EQ(curve.ChannelSName, "T");
  EXPECT_EQ(curve.Color, 255u);
  EXPECT_EQ(curve.LineStyle, 1);
  EXPECT_EQ(curve.PointerStyle, 1);

  std::string text;
  for (const std::string& line : type.FileLines()) text += line + "\r\n";
  EXPECT_EQ(text, ReadFileBytes(GoldenType));
}

TEST_F(DocTypeTest, SavesStampTheTypeAndRecordTheirEvents) {
  TDY_DocTypeInfo type;
  type.Name = "Cold";
  type.Title = "Cold store";
  type.Width = 100;  // the first save puts in the paper defaults
  type.LastData = 5;
  type.ShowTables = true;
  const std::string path = folder.File("Cold.dyt");
  type.Save(path);
  EXPECT_EQ(type.FileName, "Cold.dyt");
  EXPECT_EQ(type.Version, 1);
  EXPECT_EQ(type.CreateUser, "bob");
  EXPECT_EQ(type.User, "bob");
  EXPECT_EQ(type.CreationDate, clock.Now());
  EXPECT_EQ(type.LastModified, clock.Now());
  EXPECT_EQ(type.Width, 21000);
  EXPECT_EQ(type.Height, 29700);
  EXPECT_EQ(type.LeftMargin, 2500);
  EXPECT_EQ(type.LastData, 0);
  EXPECT_EQ(Kinds(), (std::vector{TDY_AuditEventKind::DocTypeCreated, TDY_AuditEventKind::DocTypeSaved}));
  EXPECT_EQ(audit.Events()[0].Subject, "Cold.dyt");

  audit.ClearEvents();
  const TDateTime created = clock.Now();
  clock.Set(created + 1);
  users->SetCurrentUser("admin");
  type.Save(path);
  EXPECT_EQ(Kinds(), (std::vector{TDY_AuditEventKind::DocTypeChanged, TDY_AuditEventKind::DocTypeSaved}));

  TDY_DocTypeInfo read;
  ASSERT_TRUE(read.Load(path));
  EXPECT_EQ(read.Version, 2);
  EXPECT_EQ(read.CreationDate, created);
  EXPECT_EQ(read.CreateUser, "bob");
  EXPECT_EQ(read.User, "admin");
  EXPECT_EQ(read.LastModified, created + 1);
  EXPECT_TRUE(read.ShowTables);
  EXPECT_EQ(read.FileLines(), type.FileLines());
}

TEST_F(DocTypeTest, NamesThatLeadOutOfTheFolderOrAreNoFileNamesAreRefused) {
  const std::string long_name(300, 'x');
  for (const std::string name : {"", "a/b", "a\\b", ".", "..", "../up", long_name.c_str()}) {
    SCOPED_TRACE(name);
    TDY_DocTypeInfo type;
    type.Name = name;
    try {
      type.Save(folder.File("T.dyt"));
      ADD_FAILURE() << "saved";
    } catch (const Exception& e) {
      EXPECT_NE(e.Message().find(name.empty() ? "DY_TypeNameEmpty" : "DY_TypeName"), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(folder.File("T.dyt")));
    EXPECT_TRUE(audit.Events().empty());
    EXPECT_TRUE(type.CreateUser.empty());
  }
  EXPECT_EQ(DocTypeNameError("a..b"), "");
}

TEST_F(DocTypeTest, ValuesTheFileCannotCarryStopTheSaveBeforeAnything) {
  for (const std::string title : {"a</Title>b", "two\r\nlines"}) {
    TDY_DocTypeInfo type;
    type.Name = "T";
    type.Title = title;
    EXPECT_THROW(type.Save(folder.File("T.dyt")), Exception);
    EXPECT_FALSE(std::filesystem::exists(folder.File("T.dyt")));
    EXPECT_TRUE(audit.Events().empty());
  }
}

TEST_F(DocTypeTest, DamagedTruncatedAndForeignFilesAreRefused) {
  const std::string good = ReadFileBytes(GoldenType);
  const TXmlLines lines = SplitDocumentLines(good);
  std::vector<std::pair<std::string, std::string>> cases = {
      {"empty", ""},
      {"no declaration", good.substr(good.find('\n') + 1)},
      {"document", ReadFileBytes(std::string(QV_TEST_DATA_DIR) + "/golden_document.xml")},
      {"bad date", std::string(good).replace(good.find("2004-03-17T14"), 4, "20x4")},
      {"bad number", std::string(good).replace(good.find("<Version>4"), 10, "<Version>x")},
      {"missing field", std::string(good).replace(good.find("    <Height>"), 24, "")},
      {"not text", std::string("\x00\x01\x02", 3)},
  };
  // Every cut, at a line end or inside a line.
  std::string prefix;
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    prefix += lines[i] + "\r\n";
    cases.push_back({"cut after line " + std::to_string(i + 1), prefix});
    cases.push_back({"cut inside line " + std::to_string(i + 2), prefix + lines[i + 1].substr(0, 5)});
  }
  for (const auto& [what, bytes] : cases) {
    SCOPED_TRACE(what);
    WriteFileAtomic(folder.File("bad.dyt"), bytes);
    boxes.Texts.clear();
    TDY_DocTypeInfo type;
    EXPECT_FALSE(type.Load(folder.File("bad.dyt")));
    ASSERT_FALSE(boxes.Texts.empty());
    EXPECT_EQ(boxes.Texts.back(), LoadResString("KD_DocTypeNotValid"));
  }
  TDY_DocTypeInfo type;
  EXPECT_FALSE(type.Load(folder.File("missing.dyt")));
}

TEST_F(DocTypeTest, AFileWithoutThePerDeviceSwitchesLoadsWithBothOff) {
  std::string text = ReadFileBytes(GoldenType);
  for (const char* tag : {"OneTabPerDevice", "OneDiaPerDevice"}) {
    const size_t at = text.find(std::string("    <") + tag);
    text.erase(at, text.find('\n', at) + 1 - at);
  }
  WriteFileAtomic(folder.File("old.dyt"), text);
  TDY_DocTypeInfo type;
  type.OneTabPerDevice = true;
  ASSERT_TRUE(type.Load(folder.File("old.dyt")));
  EXPECT_FALSE(type.OneTabPerDevice);
  EXPECT_FALSE(type.OneDiaPerDevice);
  EXPECT_EQ(type.Diagrams.Count(), 1);
}

TEST_F(DocTypeTest, SaveLastDataChangesOnlyLastDataOfTheStoredFile) {
  std::filesystem::copy_file(GoldenType, folder.File("Cold.dyt"));
  TDY_DocTypeInfo type;
  ASSERT_TRUE(type.Load(folder.File("Cold.dyt")));
  // Changes in memory the user did not save stay out of the file.
  type.Channels.Clear();
  type.Title = "changed";
  const TDateTime end = At(2004, 3, 21, 23, 59, 59, 0);
  ASSERT_TRUE(type.SaveLastData(end));
  EXPECT_EQ(type.LastData, end);
  EXPECT_TRUE(audit.Events().empty());
  std::string expected = ReadFileBytes(GoldenType);
  const std::string old_line = "<LastData>2004-03-14T23:59:59.000Z</LastData>";
  expected.replace(expected.find(old_line), old_line.size(), "<LastData>2004-03-21T23:59:59.000Z</LastData>");
  EXPECT_EQ(ReadFileBytes(folder.File("Cold.dyt")), expected);

  // A file that does not load, or a stored name that leads elsewhere, is left alone.
  WriteFileAtomic(folder.File("Cold.dyt"), "damaged");
  EXPECT_FALSE(type.SaveLastData(end));
  EXPECT_EQ(ReadFileBytes(folder.File("Cold.dyt")), "damaged");
  type.FileName = "../Cold.dyt";
  EXPECT_FALSE(type.SaveLastData(end));
}

TEST_F(DocTypeTest, TheCatalogueIsKeptInTheSettingsFile) {
  {
    TIniFile2 ini(ArchiveIniFile);
    ini.WriteString("Other", "Key", "stays");
  }
  TDY_DocTypeList list;
  for (int id : {3, 7, 5}) {
    auto t = std::make_unique<TDY_DocTypeInfo>();
    t->ID = id;
    t->Name = "T" + std::to_string(id);
    t->FileName = t->Name + ".dyt";
    list.Add(std::move(t));
  }
  EXPECT_EQ(list.NextId(), 8);
  EXPECT_EQ(list.NextId(), 9);
  list.SaveToIni();
  list.Delete(1);
  list.SaveToIni();

  TIniFile2 ini(ArchiveIniFile);
  EXPECT_FALSE(ini.SectionExists("DocType2"));
  EXPECT_EQ(ini.ReadString("DocType1", "Name", ""), "T5");
  EXPECT_EQ(ini.ReadInteger("Dossaly", "NumDocTypes", -1), 2);
  EXPECT_EQ(ini.ReadString("Other", "Key", ""), "stays");

  TDY_DocTypeList read;
  read.LoadFromIni();
  ASSERT_EQ(read.Count(), 2);
  EXPECT_EQ(read.MaxDocTypeID, 9);
  EXPECT_EQ(read.Get(1)->ID, 5);
  EXPECT_EQ(read.Get(1)->FileName, "T5.dyt");
  EXPECT_EQ(read.FindId(3), read.Get(0));
  EXPECT_EQ(read.NextId(), 10);

  // A damaged count reads the entries there are.
  ini.WriteInteger("Dossaly", "NumDocTypes", 2000000000);
  ini.WriteInteger("Dossaly", "MaxDocTypeID", 0);
  read.LoadFromIni();
  EXPECT_LE(read.Count(), 5);
  EXPECT_EQ(read.NextId(), 6);
}

}  // namespace
}  // namespace qv
