#include "archive/forms/d51_kiro_document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>

#include "archive/archive_start.h"
#include "archive/dy_crypt.h"
#include "archive/dy_data_import.h"
#include "archive/dy_document_file.h"
#include "archive/dy_user_manager.h"
#include "archive/forms/aligned_string_grid.h"
#include "archive/forms/d66_sig_reason.h"
#include "archive_test_support.h"
#include "base/app_globals.h"
#include "base/dt_stamp.h"
#include "base/res_string.h"
#include "crypto/external_tool.h"
#include "datastore/channel.h"
#include "datastore/channels.h"
#include "datastore/kw_data.h"
#include "devices/db_shell.h"
#include "devices/device.h"
#include "platform/gui/common_dialogs.h"
#include "platform/gui/menus.h"
#include "platform/gui/printers.h"
#include "platform/gui/scroll_box.h"
#include "platform/gui/std_ctrls.h"
#include "platform/gui/user_input.h"
#include "platform/rtl/file_io.h"
#include "shell/d32_insert_dt_range.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

using K = TDY_AuditEventKind;

constexpr double kMissing = -1.501e38;

std::unique_ptr<TDY_Channel> Channel(int32_t logger, int32_t id, const std::string& name, const std::string& unit,
                                     double alarm_min, double alarm_max) {
  auto c = std::make_unique<TDY_Channel>();
  c->Device->LoggerID = logger;
  c->Device->DeviceName = "Cold room " + std::to_string(logger);
  c->Device->DeviceSName = "CR" + std::to_string(logger);
  c->ChannelID = id;
  c->ChannelName = name;
  c->Unit = unit;
  c->Decimals = 1;
  c->AlarmMin = alarm_min;
  c->AlarmMax = alarm_max;
  c->ChannelMin = -40;
  c->ChannelMax = 100;
  c->Color = 0x0000FF;
  return c;
}

// A document as a new one is built: the header, two channels of logger 7, the six sections, a
// diagram and a table of both channels, and `rows` minutes of data of both.
void FillDocument(TD51_KiroDocument& w, int rows, bool landscape_tables = true) {
  TDY_DocInfo& info = w.Content->DocInfo;
  info.Title = "Cold store report";
  info.Name = "report";
  info.FileName = "report.xml";
  info.TypeName = "Weekly";
  info.CreateUser = info.User = "anna";
  info.CreationDate = EncodeDate(2024, 5, 6);
  info.Width = 21000;
  info.Height = 29700;
  info.TopMargin = info.BottomMargin = info.LeftMargin = info.RightMargin = 2000;
  w.Content->Channels.Add(Channel(7, 1, "Temperature", "C", 2, 8));
  w.Content->Channels.Add(Channel(7, 2, "Humidity", "%rH", 30, 70));
  w.AddChapter("Document", 0, false);
  w.AddDocElement(TDY_ElementKind::DocInfo, 0);
  w.AddChapter("Signatures", 0, false);
  w.AddDocElement(TDY_ElementKind::SigInfo, 0);
  w.AddChapter("Devices", 0, false);
  w.AddDocElement(TDY_ElementKind::DeviceInfo, 0);
  w.AddChapter("Audit", 0, false);
  w.AddDocElement(TDY_ElementKind::AuditLog, 0);
  w.AddChapter("Diagrams", 0, true);
  w.AddDocElement(TDY_ElementKind::Diagram, 0);
  w.AddChapter("Tables", landscape_tables ? 1 : 0, true);
  w.AddDocElement(TDY_ElementKind::Table, 0);
  auto diagram = std::make_unique<TDY_Diagram>();
  diagram->Name = "Climate";
  CopyChannelList(w.Content->Channels, diagram->Channels);
  w.Content->Diagrams.Add(std::move(diagram));
  auto table = std::make_unique<TDY_Table>();
  table->Name = "Values";
  CopyChannelList(w.Content->Channels, table->Channels);
  w.Content->Tables.Add(std::move(table));
  const TDateTime start = EncodeDate(2024, 5, 1);
  for (int i = 0; i < rows; ++i) {
    w.Content->Data.Add({7, 1, start + i / 1440.0, 4.0 + i % 5});
    w.Content->Data.Add({7, 2, start + i / 1440.0, 50.0 + i % 7});
  }
  info.DataStartDate = w.Content->Data.FirstTime();
  info.DataEndDate = w.Content->Data.LastTime();
}

std::vector<TDY_AuditEvent> TrailEvents() {
  std::vector<TDY_AuditEvent> events;
  for (const std::string& line : ReadAuditFileLines(ArchiveDataPath + "AuditLog.dat")) {
    TDY_AuditEvent event;
    if (ParseAuditLine(ArchiveCrypt().Decrypt(line), event)) events.push_back(event);
  }
  return events;
}

std::vector<int> Kinds(const std::vector<TDY_AuditEvent>& events, size_t from = 0) {
  std::vector<int> kinds;
  for (size_t i = from; i < events.size(); ++i) kinds.push_back(static_cast<int>(events[i].Kind));
  return kinds;
}

class DocumentWindow : public ::testing::Test {
protected:
  DocumentWindow() {
    InitializeGui();
    PwdOnSign = false;
    UsersFile = folder.File("Users.dat");
    AuditTrail = &trail;
    InstallAuditService(&trail);
    manager.AddDefaultGroups();
    manager.AddUser(User(1, "anna", 1));
    manager.AddUser(User(2, "rita", 3));  // a reader: no rights
    static TDY_User keys = [this] {
      TDY_User u;
      manager.GenerateKeysFor(u);
      return u;
    }();
    for (int i = 0; i < manager.UserCount(); ++i) {
      manager.User(i).RSAPrivateKey = keys.RSAPrivateKey;
      manager.User(i).RSAPublicKey = keys.RSAPublicKey;
    }
    manager.SetCurrentUser("anna");
    UserManager = &manager;
    SignerStoredPublicKey = [this](const std::string& name) {
      std::string key;
      manager.FindUserPublicKey(name, key);
      return key;
    };
    DocumentPageNumText = [this](const std::string& text) { page_num = text; };
  }
  ~DocumentWindow() override {
    DocumentPageNumText = nullptr;
    SignerStoredPublicKey = nullptr;
    UserManager = nullptr;
    InstallAuditService(nullptr);
    AuditTrail = nullptr;
    Application->OnIdle = nullptr;
  }
  static TDY_User User(int32_t id, const std::string& name, int32_t group) {
    TDY_User u;
    u.UserID = id;
    u.UserName = name;
    u.FirstName = "Anna";
    u.SurName = "Berg";
    u.Company = "Cold Co";
    u.Email = "a@b.c";
    u.GroupID = group;
    return u;
  }

  // A new document saved to file (unsigned).
  std::string SavedDocument(int rows = 20) {
    const std::string file = folder.File("report.xml");
    TD51_KiroDocument w(nullptr);
    FillDocument(w, rows);
    w.FileName = file;
    w.SetModified(true);
    w.SaveDocument();
    EXPECT_FALSE(w.Modified);
    return file;
  }

  // Signs through the reason dialog, choosing the reason item by a click.
  void Sign(TD51_KiroDocument& w, int reason) {
    bool acted = false;
    Application->OnIdle = [&](TComponent*, bool& done) {
      done = true;
      TModalWindow top;
      if (acted || !TopModalWindow(top) || !top.Form) return;
      auto* dialog = dynamic_cast<TD66_SigReason*>(top.Form);
      if (!dialog) return;
      acted = true;
      UserClick(dialog->SelectReasonRadioGroup->Button(reason));
      UserClick(dialog->OkButton);
      done = false;  // the modal loop looks at its result again before it waits
    };
    w.SignDocument();
    Application->OnIdle = nullptr;
    EXPECT_TRUE(acted);
  }

  TArchiveTestFolder folder;
  TCapturedBoxes boxes;
  TDY_AuditManager trail;
  TDY_UserManager manager;
  std::string page_num;
};

// Created, saved, opened, signed and opened again: each open verifies what the save wrote, and
// the trail holds each save and the signature, with the current user, only after the write.
TEST_F(DocumentWindow, CreateSaveSignOpenVerify) {
  const std::string file = SavedDocument();
  EXPECT_EQ(Kinds(TrailEvents()), (std::vector<int>{25}));
  EXPECT_EQ(TrailEvents()[0].UserID, 1);
  EXPECT_EQ(TrailEvents()[0].Subject, "report.xml");

  TD51_KiroDocument w(nullptr);
  ASSERT_TRUE(w.LoadDocument(file));
  EXPECT_TRUE(w.Valid);
  EXPECT_FALSE(w.Signed);
  EXPECT_FALSE(w.Modified);
  EXPECT_EQ(w.Text(), "report");
  EXPECT_EQ(w.Content->Data.Count(), 40);
  // The document lists its own save.
  ASSERT_GE(w.Content->AuditLog.Count(), 1);
  EXPECT_EQ(w.Content->AuditLog.Get(w.Content->AuditLog.Count() - 1).Kind, K::DocumentSaved);

  Sign(w, 3);
  EXPECT_TRUE(w.Signed);
  EXPECT_TRUE(w.SignatureValid);
  EXPECT_FALSE(w.Modified);
  EXPECT_TRUE(boxes.Texts.empty()) << boxes.Texts[0];
  // The second save records the change, the save and the approval, in that order.
  EXPECT_EQ(Kinds(TrailEvents(), 1), (std::vector<int>{30, 24, 25}));

  TD51_KiroDocument again(nullptr);
  ASSERT_TRUE(again.LoadDocument(file));
  EXPECT_TRUE(again.Valid);
  EXPECT_TRUE(again.Signed);
  EXPECT_TRUE(again.SignatureValid);
  EXPECT_EQ(again.Content->DocInfo.Version, 1);
  ASSERT_EQ(again.Signature->SigInfos.Count(), 1);
  EXPECT_EQ(again.Signature->SigInfos.Get(0).UserID, "anna");
  EXPECT_EQ(again.Signature->SigInfos.Get(0).Reason, LoadResString("D66_ReasonApproval"));
  EXPECT_EQ(Kinds(TrailEvents(), 4), std::vector<int>{});
}

// A signed document that was changed is saved only by signing it again.
TEST_F(DocumentWindow, ChangedSignedDocumentIsOnlySavedBySigningAgain) {
  const std::string file = SavedDocument();
  TD51_KiroDocument w(nullptr);
  ASSERT_TRUE(w.LoadDocument(file));
  Sign(w, 0);
  const std::string signed_bytes = ReadFileBytes(file);
  const size_t events = TrailEvents().size();

  w.AddComment();
  EXPECT_TRUE(w.Modified);
  w.SaveDocument();
  ASSERT_EQ(boxes.Texts.size(), 1u);
  EXPECT_EQ(boxes.Texts[0], LoadResString("DY_ChangeSignature"));
  EXPECT_EQ(ReadFileBytes(file), signed_bytes);
  EXPECT_TRUE(w.Modified);
  EXPECT_EQ(Kinds(TrailEvents(), events), (std::vector<int>{40}));

  Sign(w, 2);
  EXPECT_FALSE(w.Modified);
  TD51_KiroDocument again(nullptr);
  ASSERT_TRUE(again.LoadDocument(file));
  EXPECT_TRUE(again.SignatureValid);
  EXPECT_EQ(again.Content->DocInfo.Version, 2);
  EXPECT_EQ(again.Content->Comments.Count(), 1);
  EXPECT_EQ(again.Signature->SigInfos.Count(), 2);
}

// A write that fails (the disk is full) leaves the old file byte for byte, names the file and
// the reason, keeps the document modified, records nothing and puts back what the save changed;
// a failed signing save drops its signature entry.
TEST_F(DocumentWindow, SaveOnAFullDiskLeavesTheOldFileAndTheDocumentAsTheyWere) {
  const std::string file = SavedDocument(2000);
  const std::string old_bytes = ReadFileBytes(file);
  for (bool signing : {false, true}) {
    SCOPED_TRACE(signing);
    boxes.Texts.clear();
    TD51_KiroDocument w(nullptr);
    ASSERT_TRUE(w.LoadDocument(file));
    const TDY_DocInfo before = w.Content->DocInfo;
    auto saves = [&w] {
      int n = 0;
      for (int i = 0; i < w.Content->AuditLog.Count(); ++i) n += w.Content->AuditLog.Get(i).Kind == K::DocumentSaved;
      return n;
    };
    const int saves_before = saves();
    const size_t events = TrailEvents().size();
    w.AddComment();
    {
      test::FileSizeLimit limit(old_bytes.size() / 2);
      if (signing)
        Sign(w, 1);
      else
        w.SaveDocument();
    }
    EXPECT_EQ(ReadFileBytes(file), old_bytes);
    ASSERT_EQ(boxes.Texts.size(), 1u);
    EXPECT_NE(boxes.Texts[0].find(file), std::string::npos) << boxes.Texts[0];
    EXPECT_NE(boxes.Texts[0].find("too large"), std::string::npos) << boxes.Texts[0];
    EXPECT_TRUE(w.Modified);
    EXPECT_FALSE(w.Signed);
    EXPECT_FALSE(w.SignPending);
    EXPECT_EQ(w.Signature->SigInfos.Count(), 0);
    EXPECT_EQ(w.Content->DocInfo.LastModified, before.LastModified);
    EXPECT_EQ(w.Content->DocInfo.Version, before.Version);
    EXPECT_EQ(saves(), saves_before);
    EXPECT_EQ(Kinds(TrailEvents(), events), (std::vector<int>{40}));
    for (const auto& entry : std::filesystem::directory_iterator(folder.File("")))
      EXPECT_TRUE(entry.path().filename() == "report.xml" || entry.path().filename() == "AuditLog.dat") << entry.path();
    // With room again the same window saves.
    w.SaveDocument();
    EXPECT_FALSE(w.Modified);
    TD51_KiroDocument again(nullptr);
    ASSERT_TRUE(again.LoadDocument(file));
    EXPECT_TRUE(again.Valid);
    EXPECT_EQ(again.Content->Comments.Count(), 1);
    std::filesystem::remove(file);
    WriteFileAtomic(file, old_bytes);
  }
}

// Files that are no document, or a damaged or cut-off one, are refused with "KD_DocNotValid"; the
// open document stays as it was.
TEST_F(DocumentWindow, DamagedTruncatedAndForeignFilesAreRefused) {
  const std::string file = SavedDocument();
  const std::string good = ReadFileBytes(file);
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string bytes = good;
    const size_t at = bytes.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? bytes : bytes.replace(at, from.size(), to);
  };
  struct Case {
    const char* what;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"empty", ""},
      {"declaration spaced",
       replaced("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "<?xml version = \"1.0\" encoding=\"UTF-8\"?>")},
      {"declaration single quotes", replaced("version=\"1.0\" encoding", "version='1.0' encoding")},
      {"byte-order mark", "\xEF\xBB\xBF" + good},
      {"two lines", good.substr(0, good.find("\r\n", good.find("\r\n") + 2) + 2)},
      {"cut in the data", good.substr(0, good.find("<DataRow") + 30)},
      {"cut in the signature", good.substr(0, good.find("<DigestValue>") + 5)},
      {"no closing root", good.substr(0, good.rfind("</KiroDocument>"))},
      {"bad date", replaced("<CreationDate>2024-05-06", "<CreationDate>2024-1x-06")},
      {"foreign", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<html>\r\n<body>x</body>\r\n</html>\r\n"},
  };
  TD51_KiroDocument w(nullptr);
  ASSERT_TRUE(w.LoadDocument(file));
  const TDY_DocContent* content = w.Content.get();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    boxes.Texts.clear();
    const std::string bad = folder.File("bad.xml");
    WriteFileAtomic(bad, c.bytes);
    EXPECT_FALSE(w.LoadDocument(bad));
    // A damaged element shows its own error first.
    ASSERT_GE(boxes.Texts.size(), 1u);
    EXPECT_EQ(boxes.Texts.back(), LoadResString("KD_DocNotValid"));
    EXPECT_EQ(w.Content.get(), content);
    EXPECT_EQ(w.FileName, file);
    EXPECT_TRUE(w.Valid);
  }
  boxes.Texts.clear();
  EXPECT_FALSE(w.LoadDocument(folder.File("missing.xml")));
  EXPECT_EQ(boxes.Texts.size(), 1u);
}

// Content changed outside the program opens for viewing only and is recorded; a signature that
// no longer verifies is recorded with its status.
TEST_F(DocumentWindow, DocumentChangedOutsideOpensForViewingOnly) {
  for (bool sign : {false, true}) {
    SCOPED_TRACE(sign);
    const std::string file = SavedDocument();
    if (sign) {
      TD51_KiroDocument w(nullptr);
      ASSERT_TRUE(w.LoadDocument(file));
      Sign(w, 0);
    }
    std::string bytes = ReadFileBytes(file);
    bytes.replace(bytes.find("Temperature"), 11, "Tempera7ure");
    WriteFileAtomic(file, bytes);
    const size_t events = TrailEvents().size();
    TD51_KiroDocument w(nullptr);
    ASSERT_TRUE(w.LoadDocument(file));
    EXPECT_FALSE(w.Valid);
    EXPECT_EQ(w.Signed, sign);
    EXPECT_FALSE(w.SignatureValid);
    const std::vector<TDY_AuditEvent> trail_events = TrailEvents();
    EXPECT_EQ(Kinds(trail_events, events), sign ? (std::vector<int>{34, 35}) : (std::vector<int>{35}));
    if (sign) {
      EXPECT_EQ(trail_events[events].Comment, w.Signature->Status);
    }
    // Nothing can change it.
    w.SetModified(true);
    EXPECT_FALSE(w.Modified);
    w.SaveDocument();
    EXPECT_EQ(ReadFileBytes(file), bytes);
    ASSERT_GT(w.PageCount(), 0);
    const TDY_Page& first = *w.Pages.Get(0);
    const auto invalid = std::find_if(first.Labels.begin(), first.Labels.end(),
                                      [](const TDY_PageLabel& l) { return l.Text == LoadResString("KD_LInValid"); });
    ASSERT_NE(invalid, first.Labels.end());
    EXPECT_EQ(invalid->Color, clRed);
  }
}

// An event of the very millisecond of a save (its time stored to 15 digits reads back a hair
// later) is taken into the document by that save, which leaves the document unmodified.
TEST_F(DocumentWindow, EventsOfTheSavesMillisecondGoIntoThatSave) {
  TFixedClock clock(46367.57132666666);  // stored as 46367.5713266667
  SetDefaultWallClock(&clock);
  TDY_AuditManager fixed_trail(clock);
  AuditTrail = &fixed_trail;
  InstallAuditService(&fixed_trail);
  manager.SetCurrentUser("anna");
  const std::string file = SavedDocument();
  TD51_KiroDocument w(nullptr);
  ASSERT_TRUE(w.LoadDocument(file));
  w.AddComment();
  w.SaveDocument();
  EXPECT_FALSE(w.Modified);
  int comments = 0;
  for (int i = 0; i < w.Content->AuditLog.Count(); ++i) comments += w.Content->AuditLog.Get(i).Kind == K::Comment;
  EXPECT_EQ(comments, 1);
  InstallAuditService(&trail);
  AuditTrail = &trail;
  SetDefaultWallClock(nullptr);
}

// Saving under another name: a changed document writes the new file and keeps editing its own,
// still unsaved; an unchanged one is copied as it is.
TEST_F(DocumentWindow, SaveAsWritesTheNewFileAndKeepsTheOld) {
  const std::string file = SavedDocument();
  const std::string bytes = ReadFileBytes(file);
  TD51_KiroDocument w(nullptr);
  ASSERT_TRUE(w.LoadDocument(file));
  const size_t events = TrailEvents().size();
  w.SaveDocumentAs(folder.File("copy.xml"));
  EXPECT_EQ(ReadFileBytes(folder.File("copy.xml")), bytes);
  w.AddComment();
  w.SaveDocumentAs(folder.File("changed.xml"));
  EXPECT_EQ(w.FileName, file);
  EXPECT_TRUE(w.Modified);
  EXPECT_EQ(ReadFileBytes(file), bytes);
  TD51_KiroDocument changed(nullptr);
  ASSERT_TRUE(changed.LoadDocument(folder.File("changed.xml")));
  EXPECT_TRUE(changed.Valid);
  EXPECT_EQ(changed.Content->Comments.Count(), 1);
  const std::vector<TDY_AuditEvent> trail_events = TrailEvents();
  EXPECT_EQ(Kinds(trail_events, events), (std::vector<int>{26, 40, 26, 24, 25}));
  EXPECT_EQ(trail_events[events].Comment, folder.File("copy.xml"));
  EXPECT_EQ(trail_events[events + 2].Comment, folder.File("changed.xml"));
}

// Long tables go on over as many pages as they need, each page with its own header; rows of one
// time share a grid row; values on an alarm limit are marked; every grid fits its page.
TEST_F(DocumentWindow, LongTablesBreakOverPagesWithTheirHeader) {
  TD51_KiroDocument w(nullptr);
  FillDocument(w, 300);
  w.Content->Data.Add({7, 1, EncodeDate(2024, 5, 1) + 300 / 1440.0, 8.0});  // on AlarmMax
  w.Content->Data.Add({7, 2, EncodeDate(2024, 5, 1) + 300 / 1440.0, kMissing});
  w.BuildPages();
  int table_pages = 0, table_rows = 0;
  std::vector<std::string> times;
  for (int p = 0; p < w.PageCount(); ++p) {
    const TDY_Page& page = *w.Pages.Get(p);
    const TDY_PageLabel* num = page.FindLabel("PageNum");
    ASSERT_NE(num, nullptr);
    EXPECT_EQ(num->Text, std::to_string(p + 1));
    for (const TDY_PageGrid& g : page.Grids) {
      EXPECT_LE(g.Top + g.Height, num->Top) << "page " << p + 1;
      if (!g.TableAlignment) continue;
      ++table_pages;
      EXPECT_EQ(page.Orientation, 1);
      EXPECT_EQ(g.Cell(0, 0), LoadResString("KD_LDate"));
      EXPECT_EQ(g.Cell(1, 0), "7:1");
      EXPECT_EQ(g.Cell(2, 0), "7:2");
      for (int r = 1; r < g.RowCount; ++r) {
        times.push_back(g.Cell(0, r));
        ++table_rows;
      }
    }
  }
  EXPECT_GT(table_pages, 2);
  EXPECT_EQ(table_rows, 301);
  EXPECT_EQ(std::set<std::string>(times.begin(), times.end()).size(), 301u);
  // The last row: a value on the limit drawn red, a missing value empty.
  const TDY_PageGrid& last = w.Pages.Get(w.PageCount() - 1)->Grids.back();
  EXPECT_EQ(last.Cell(1, last.RowCount - 1), "!8.0");
  EXPECT_EQ(last.Cell(2, last.RowCount - 1), "");
  EXPECT_EQ(last.Cell(1, 1), "4.0");
}

// Diagrams: two charts on a portrait page, one on a landscape page; axes take the channels by unit
// and are widened as the documents have always widened them.
TEST_F(DocumentWindow, DiagramsPerPageAndTheirAxes) {
  for (int orientation : {0, 1}) {
    SCOPED_TRACE(orientation);
    TD51_KiroDocument w(nullptr);
    FillDocument(w, 10);
    w.Content->Chapters.Get(4)->Orientation = orientation;
    for (int i = 0; i < 2; ++i) w.Content->Diagrams.Add(w.Content->Diagrams.Get(0)->Clone());
    w.BuildPages();
    std::vector<int> per_page;
    for (int p = 0; p < w.PageCount(); ++p)
      if (!w.Pages.Get(p)->Charts.empty()) per_page.push_back(static_cast<int>(w.Pages.Get(p)->Charts.size()));
    EXPECT_EQ(per_page, orientation == 0 ? (std::vector<int>{2, 1}) : (std::vector<int>{1, 1, 1}));
  }
  struct Case {
    std::vector<double> values;
    double lower, upper;
    bool manual;
  };
  // Span 0: one either side; span up to 2: one; span above 2 and below 5: half the span; 5 or
  // more: not widened.
  for (const Case& c : {Case{{3, 3}, 2, 4, true}, Case{{1, 2.5}, 0, 3.5, true}, Case{{0, 4}, -2, 6, true},
                        Case{{0, 10}, 0, 10, false}}) {
    TD51_KiroDocument w(nullptr);
    FillDocument(w, 0);
    for (size_t i = 0; i < c.values.size(); ++i)
      w.Content->Data.Add({7, 1, EncodeDate(2024, 5, 1) + static_cast<double>(i) / 24, c.values[i]});
    w.BuildPages();
    const TDY_PageChart* chart = nullptr;
    for (int p = 0; p < w.PageCount() && !chart; ++p)
      if (!w.Pages.Get(p)->Charts.empty()) chart = &w.Pages.Get(p)->Charts[0];
    ASSERT_NE(chart, nullptr);
    const TChartAxis& left = chart->Spec.LeftAxis;
    EXPECT_EQ(left.Title, "C");
    EXPECT_EQ(!left.Automatic, c.manual) << c.values[1];
    if (c.manual) {
      EXPECT_DOUBLE_EQ(left.Minimum, c.lower);
      EXPECT_DOUBLE_EQ(left.Maximum, c.upper);
    }
    ASSERT_EQ(chart->Spec.Series.size(), 2u);
    EXPECT_EQ(chart->Spec.Series[0].Title, "7:1");
    EXPECT_EQ(chart->Spec.Series[1].VertAxis, 1);
    EXPECT_EQ(chart->Spec.RightAxis.Title, "%rH");
  }
}

// The grid draws "!" values red without the "!", the table's values right-aligned and the
// rest by the default alignment.
TEST(AlignedStringGrid, DrawsMarkedCellsRedAndAlignsByTheHandler) {
  InitializeGui();
  TAlignedStringGrid grid(nullptr);
  grid.SetColCount(2);
  grid.SetRowCount(2);
  grid.SetFixedCols(0);
  grid.SetLeftCol(0);
  grid.SetBounds(0, 0, 200, 60);
  grid.SetDefaultCellAlignment(TAlignment::taCenter);
  grid.OnGetCellAlignment = [](TComponent*, int col, int row, TGridDrawState, TAlignment& a) {
    if (row > 0 && col > 0) a = TAlignment::taRightJustify;
  };
  grid.SetCells(0, 0, "Date");
  grid.SetCells(1, 1, "!8.0");
  grid.SetCells(0, 1, "4.0");
  TBitmap bitmap;
  bitmap.SetSize(200, 60);
  bitmap.Canvas().StartRecording();
  grid.PaintOn(bitmap.Canvas(), 0, 0);
  std::map<std::string, TCanvasCall> drawn;
  for (const TCanvasCall& call : bitmap.Canvas().Calls())
    if (call.Op == "DrawText") drawn[call.Text] = call;
  ASSERT_TRUE(drawn.count("8.0") && drawn.count("4.0") && drawn.count("Date"));
  EXPECT_EQ(drawn["8.0"].FontColor, clRed);
  EXPECT_TRUE(drawn["8.0"].Flags & DT_RIGHT);
  EXPECT_EQ(drawn["4.0"].FontColor, clBlack);
  EXPECT_TRUE(drawn["4.0"].Flags & DT_CENTER);
  EXPECT_TRUE(drawn["Date"].Flags & DT_CENTER);
}

// The whole document printed to a PDF file: one page per page, each in its orientation, and
// real text that a PDF reader finds.
TEST_F(DocumentWindow, PrintsEveryPageToAPdfWithRealText) {
  if (!test::HaveTool("pdftotext") || !test::HaveTool("pdfinfo")) GTEST_SKIP() << "poppler-utils missing";
  TD51_KiroDocument w(nullptr);
  FillDocument(w, 120);
  w.BuildPages();
  const std::string pdf = folder.File("report.pdf");
  Printer().SetOutputFile(pdf);
  Printer().SetPixelsPerInch(150);
  SetCommonDialogUser([](TCommonDialog&, TCommonDialogWindow&) { return true; });
  w.PrintDoc();
  SetCommonDialogUser(nullptr);
  Printer().SetOutputFile("");
  Printer().SetPixelsPerInch(300);
  // pdfinfo's "Key: value" lines, the blanks after the colon dropped.
  auto field = [](const std::string& text, const std::string& key) {
    const size_t at = text.find(key + ":");
    if (at == std::string::npos) return std::string();
    const size_t start = text.find_first_not_of(' ', at + key.size() + 1);
    return text.substr(start, text.find('\n', start) - start);
  };
  const std::string info = test::RunTool("pdfinfo '" + pdf + "'");
  EXPECT_EQ(field(info, "Pages"), std::to_string(w.PageCount())) << info;
  const std::string text = test::RunTool("pdftotext -layout '" + pdf + "' -");
  for (const std::string& expected :
       {std::string("Cold store report"), std::string("Temperature"), std::string("1/") + std::to_string(w.PageCount()),
        std::to_string(w.PageCount()) + "/" + std::to_string(w.PageCount()), std::string("7:2"),
        std::string("Values:")})
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  // The table pages are landscape.
  const std::string sizes = test::RunTool("pdfinfo -f 1 -l " + std::to_string(w.PageCount()) + " '" + pdf + "'");
  // The width in points: 595 portrait, 842 landscape.
  auto width = [&](int page) {
    const std::string n = std::to_string(page);
    return std::atof(field(sizes, "Page " + std::string(4 - n.size(), ' ') + n + " size").c_str());
  };
  EXPECT_LT(width(1), 600) << sizes;
  EXPECT_GT(width(w.PageCount()), 800) << sizes;
}

// The printer makes no copies: the print job prints them, page by page or, collated, the whole
// range once per copy. A range of one page is offered from page 1 the next time.
TEST_F(DocumentWindow, CopiesArePrintedByTheJobAndTheRangeIsOfferedAgain) {
  if (!test::HaveTool("pdftotext") || !test::HaveTool("pdfinfo")) GTEST_SKIP() << "poppler-utils missing";
  TD51_KiroDocument w(nullptr);
  FillDocument(w, 120);
  w.BuildPages();
  const int n = w.PageCount();
  const std::string pdf = folder.File("copies.pdf");
  Printer().SetOutputFile(pdf);
  Printer().SetPixelsPerInch(100);
  // The page numbers printed on each page of the file, in order.
  auto printed = [&] {
    std::vector<std::string> numbers;
    for (int page = 1;; ++page) {
      std::string text;
      try {
        text = test::RunTool("pdftotext -f " + std::to_string(page) + " -l " + std::to_string(page) + " '" + pdf +
                             "' - 2>/dev/null");
      } catch (const std::exception&) {
        break;
      }
      const size_t slash = text.find("/" + std::to_string(n));
      if (slash == std::string::npos) break;
      numbers.push_back(
          text.substr(text.find_last_of(" \n", slash - 1) + 1, slash - text.find_last_of(" \n", slash - 1) - 1));
    }
    return numbers;
  };
  struct Case {
    int from, to;
    bool collate;
    std::vector<std::string> pages;
  };
  std::vector<std::pair<int, int>> offered;
  for (const Case& c : {Case{2, 3, false, {"2", "2", "3", "3"}}, Case{2, 3, true, {"2", "3", "2", "3"}},
                        Case{3, 3, false, {"3", "3"}}}) {
    SetCommonDialogUser([&](TCommonDialog& d, TCommonDialogWindow&) {
      auto& dialog = static_cast<TPrintDialog&>(d);
      offered.emplace_back(dialog.FromPage, dialog.ToPage);
      dialog.FromPage = c.from;
      dialog.ToPage = c.to;
      dialog.Copies = 2;
      dialog.PrintRange = TPrintRange::prPageNums;
      return true;
    });
    w.PrintCollate = c.collate;
    w.PrintDoc();
    EXPECT_EQ(printed(), c.pages) << c.from << "-" << c.to << (c.collate ? " collated" : "");
  }
  SetCommonDialogUser([&](TCommonDialog& d, TCommonDialogWindow&) {
    auto& dialog = static_cast<TPrintDialog&>(d);
    offered.emplace_back(dialog.FromPage, dialog.ToPage);
    return false;
  });
  w.PrintDoc();
  SetCommonDialogUser(nullptr);
  Printer().SetOutputFile("");
  Printer().SetPixelsPerInch(300);
  EXPECT_EQ(offered, (std::vector<std::pair<int, int>>{{1, n}, {2, 3}, {2, 3}, {1, 3}}));
}

// Page keys turn the pages and the page number follows; the last and first page keys go to the
// ends.
TEST_F(DocumentWindow, PageKeysTurnThePages) {
  TD51_KiroDocument w(nullptr);
  FillDocument(w, 200);
  w.BuildPages();
  const int n = w.PageCount();
  ASSERT_GT(n, 3);
  w.Show();
  UserClick(w.PagePanel, {5, 400});
  struct Step {
    uint16_t key;
    int page;
  };
  for (const Step& s : {Step{VK_NEXT, 2}, Step{VK_NEXT, 3}, Step{VK_PRIOR, 2}, Step{VK_END, n}, Step{VK_NEXT, n},
                        Step{VK_HOME, 1}, Step{VK_PRIOR, 1}}) {
    UserKey(s.key);
    EXPECT_EQ(w.CurrentPageNumber(), s.page) << s.key;
    EXPECT_EQ(page_num, std::to_string(s.page) + "/" + std::to_string(n));
    EXPECT_EQ(w.PagePanel->Page(), w.Pages.Get(s.page - 1));
  }
  w.GotoPageNumber(n + 1);
  EXPECT_EQ(w.CurrentPageNumber(), 1);
  // Down scrolls the page and, at its bottom, goes on at the top of the next one; Up goes back
  // to the previous page's bottom.
  for (int i = 0; i < 100 && w.CurrentPageNumber() == 1; ++i) UserKey(VK_DOWN);
  EXPECT_EQ(w.CurrentPageNumber(), 2);
  EXPECT_EQ(w.PageScroller->VertPosition(), 0);
  UserKey(VK_UP);
  EXPECT_EQ(w.CurrentPageNumber(), 1);
  EXPECT_GT(w.PageScroller->VertPosition(), 0);
  // The wheel over the page (beside its grids) does the same.
  for (int i = 0; i < 100 && w.CurrentPageNumber() == 1; ++i) UserWheel(w.PagePanel, {760, 500}, -1);
  EXPECT_EQ(w.CurrentPageNumber(), 2);
  UserWheel(w.PagePanel, {760, 500}, 1);
  EXPECT_EQ(w.CurrentPageNumber(), 1);
}

// A comment is moved and resized with the mouse, never below a size that can be grabbed, and
// deleted from its pop-up menu; each step is recorded.
TEST_F(DocumentWindow, CommentsAreMovedResizedAndDeletedWithTheMouse) {
  const std::string file = SavedDocument();
  TD51_KiroDocument w(nullptr);
  ASSERT_TRUE(w.LoadDocument(file));
  w.Show();
  w.AddComment();
  ASSERT_EQ(w.CommentPanels.size(), 1u);
  w.SaveDocument();
  ASSERT_FALSE(w.Modified);
  // The save laid the pages out anew.
  ASSERT_EQ(w.CommentPanels.size(), 1u);
  TDY_CommentPanel* panel = w.CommentPanels[0];
  const size_t events = TrailEvents().size();
  // Moved by its border.
  UserPress(panel, {1, 50});
  UserMove(panel, {31, 70});
  UserRelease(panel, {1, 50});  // the panel followed the mouse
  const TDY_Comment& c = *w.Content->Comments.Get(0);
  EXPECT_EQ(c.PosX, 180);
  EXPECT_EQ(c.PosY, 170);
  EXPECT_TRUE(w.Modified);
  // Resized from the corner, to no less than 20 pixels.
  UserPress(panel, {c.Width - 2, c.Height - 2});
  UserMove(panel, {5, 5});
  UserRelease(panel, {5, 5});
  EXPECT_EQ(c.Width, 20);
  EXPECT_EQ(c.Height, 20);
  EXPECT_EQ(Kinds(TrailEvents(), events), (std::vector<int>{41}));
  // Deleted from the menu of the right button.
  bool chosen = false;
  Application->OnIdle = [&](TComponent*, bool& done) {
    done = true;
    if (chosen) return;
    chosen = UserChoosePopupItem(LoadResString("m_DeleteComment"));
    done = !chosen;
  };
  UserRightClick(panel, {1, 5});
  Application->ProcessMessages();
  Application->OnIdle = nullptr;
  EXPECT_TRUE(chosen);
  EXPECT_EQ(w.Content->Comments.Count(), 0);
  EXPECT_TRUE(w.CommentPanels.empty());
  EXPECT_EQ(Kinds(TrailEvents(), events), (std::vector<int>{41, 42}));
  // A user without the right to edit documents gets read-only comments that no mouse moves.
  w.AddComment();
  manager.SetCurrentUser("rita");
  w.BuildPages();
  ASSERT_EQ(w.CommentPanels.size(), 1u);
  panel = w.CommentPanels[0];
  auto* memo = dynamic_cast<TMemo*>(panel->Controls(0));
  ASSERT_NE(memo, nullptr);
  EXPECT_TRUE(memo->ReadOnly());
  UserPress(panel, {1, 50});
  UserMove(panel, {31, 70});
  UserRelease(panel, {31, 70});
  EXPECT_EQ(panel->Left(), 150);
  EXPECT_EQ(w.Content->Comments.Get(0)->PosX, 150);
}

// Closing a changed document asks to save; a refused save keeps the window open.
TEST_F(DocumentWindow, ClosingAChangedDocumentAsksAndARefusedSaveKeepsItOpen) {
  const std::string file = SavedDocument();
  std::vector<std::string> asked;
  SetMessageDlgAnswerer([&](const std::string& msg, TMsgDlgType, TMsgDlgButtons) {
    asked.push_back(msg);
    return mrYes;
  });
  {
    auto* w = new TD51_KiroDocument(nullptr);
    ASSERT_TRUE(w->LoadDocument(file));
    Sign(*w, 0);
    w->Show();
    w->AddComment();
    w->Close();  // the signed document cannot be saved: stays open
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], LoadResString("KD_SaveChanges") + " [report]");
    EXPECT_TRUE(w->Visible());
    delete w;
  }
  SetMessageDlgAnswerer(nullptr);
}

// A device tree of one logger (7, "Cellar": Temperature and Humidity) with records on 2 and 3
// March 2009, and a document type of both channels with every section.
class NewDocumentTest : public DocumentWindow {
protected:
  NewDocumentTest() : old_exe_(ExePath), old_ini_(IniFileName) {
    ExePath = home.Path();
    IniFileName = home.File("quarvel.INI");
    shell = std::make_unique<TDbShell>();
    DbShell = shell.get();
    auto channels = TChannels::CreateDefault();
    channels->Add(TChannel::CreateWith(channels->NewKey(), 0, 2, 1, 30, 0, 50, -10, "C", "T", "Temperature"));
    channels->Add(TChannel::CreateWith(channels->NewKey(), 0, 2, 1, 80, 20, 100, 0, "%rH", "H", "Humidity"));
    auto node = TDevice::Create(shell->Root(), std::move(channels));
    node->SetId(1);
    node->SetLoggerId(7);
    node->SetName("Cellar");
    EXPECT_TRUE(node->SetUpDevice());
    device = node.release();
    auto* data = static_cast<TKwData*>(device->Data());
    data->OpenDT(At(1, 0), At(20, 0), NoDtStamp, NoDtStamp);
    {
      TDataLock lock(*data);
      for (int i = 0; i < 6; ++i) {
        TDtRecord r(2);
        r.Date = At(2, 0).Date + (i >= 3 ? 1 : 0);
        r.Time = (i % 3) * 3600;
        r.SetValues(0, 4 + i);
        r.SetValues(1, i == 2 ? -1.501e38 : 50 + i);
        EXPECT_EQ(data->InsertRecord(r), drDone);
      }
    }
    EXPECT_EQ(data->Flush(), drDone);
    data->FreeBuffer();

    TDY_DocTypeInfo type;
    type.Name = "Weekly";
    type.FileName = "Weekly.dyt";
    type.Title = "Cellar week";
    type.ShowDocInfo = type.ShowSigInfo = type.ShowDeviceInfo = type.ShowAuditLog = true;
    type.ShowDiagrams = type.ShowTables = type.TablesLandScape = true;
    TDY_DataImport importer;
    for (int k = 0; k < 2; ++k) {
      ChannelCell cell{device->Data(), device->Channels()->GetValueChannel(k)};
      auto channel = std::make_unique<TDY_Channel>();
      channel->ChannelID = importer.ChannelPosition(cell);
      importer.CopyChannel(&cell, channel.get());
      type.Channels.Add(std::move(channel));
    }
    auto table = std::make_unique<TDY_Table>();
    table->Name = "Values";
    CopyChannelList(type.Channels, table->Channels);
    type.Tables.Add(std::move(table));
    auto diagram = std::make_unique<TDY_Diagram>();
    diagram->Name = "Climate";
    CopyChannelList(type.Channels, diagram->Channels);
    type.Diagrams.Add(std::move(diagram));
    type.Save(ArchiveDataPath + "Weekly.dyt");
    SetMessageDlgAnswerer([this](const std::string& msg, TMsgDlgType, TMsgDlgButtons) {
      asked.push_back(msg);
      return mrNo;
    });
  }
  ~NewDocumentTest() override {
    SetMessageDlgAnswerer(nullptr);
    DbShell = nullptr;
    shell.reset();
    ExePath = old_exe_;
    IniFileName = old_ini_;
  }
  static TDtStamp At(int day, int hour) { return TDtStamp{DateToDayNo(day, 3, 2009), hour * 3600}; }

  // Creates the document, entering the range in the range dialog and confirming it.
  bool Create(TD51_KiroDocument& w, TDateTime start, TDateTime stop) {
    bool entered = false;
    Application->OnIdle = [&](TComponent*, bool& done) {
      done = true;
      if (entered || !D32_InsertDtRange || !D32_InsertDtRange->Modal()) return;
      entered = true;
      D32_InsertDtRange->SetStartDt(start);
      D32_InsertDtRange->SetStopDt(stop);
      UserClick(D32_InsertDtRange->OKBtn);
      done = false;
    };
    const bool made = w.NewDocument("Weekly.dyt", "cellar.xml");
    Application->OnIdle = nullptr;
    EXPECT_TRUE(entered);
    return made;
  }

  test::TempDir home;
  std::string old_exe_, old_ini_;
  std::unique_ptr<TDbShell> shell;
  TDevice* device = nullptr;
  std::vector<std::string> asked;
};

// A new document takes the type's channels, sections, diagram and table and the range's rows
// from the logger, is recorded and saved, and opens as written; the type remembers the data's end.
TEST_F(NewDocumentTest, ANewDocumentOfATypeIsBuiltFromTheLoggersDataAndSaved) {
  const size_t events = TrailEvents().size();
  TD51_KiroDocument w(nullptr);
  ASSERT_TRUE(Create(w, DtStampToDateTime(At(2, 1)), DtStampToDateTime(At(10, 0))));
  EXPECT_TRUE(asked.empty()) << asked[0];
  EXPECT_FALSE(w.Modified);
  EXPECT_EQ(w.Text(), "cellar");
  EXPECT_EQ(Kinds(TrailEvents(), events), (std::vector<int>{23, 25}));
  TD51_KiroDocument opened(nullptr);
  ASSERT_TRUE(opened.LoadDocument(folder.File("cellar.xml")));
  EXPECT_TRUE(opened.Valid);
  const TDY_DocContent& doc = *opened.Content;
  EXPECT_EQ(doc.DocInfo.Title, "Cellar week");
  EXPECT_EQ(doc.DocInfo.TypeName, "Weekly");
  EXPECT_EQ(doc.DocInfo.CreateUser, "anna");
  EXPECT_EQ(doc.Chapters.Count(), 6);
  EXPECT_EQ(doc.Chapters.Get(5)->Orientation, 1);
  EXPECT_EQ(doc.Tables.Count(), 1);
  EXPECT_EQ(doc.Diagrams.Count(), 1);
  // From 2 March 01:00: the 01:00 and 02:00 records of the 2nd and all of the 3rd, the missing
  // humidity left out.
  std::multiset<std::tuple<int, int, double>> rows;
  for (int i = 0; i < doc.Data.Count(); ++i)
    rows.emplace(doc.Data.Get(i)->Channel,
                 static_cast<int>(std::lround((doc.Data.Get(i)->Time - DtStampToDateTime(At(2, 0))) * 24)),
                 doc.Data.Get(i)->Value);
  const std::multiset<std::tuple<int, int, double>> expected = {
      {1, 1, 5}, {1, 2, 6}, {1, 24, 7}, {1, 25, 8}, {1, 26, 9}, {2, 1, 51}, {2, 24, 53}, {2, 25, 54}, {2, 26, 55}};
  EXPECT_EQ(rows, expected);
  EXPECT_DOUBLE_EQ(doc.DocInfo.DataEndDate, DtStampToDateTime(At(3, 2)));
  TDY_DocTypeInfo type;
  ASSERT_TRUE(type.Load(ArchiveDataPath + "Weekly.dyt"));
  EXPECT_DOUBLE_EQ(type.LastData, doc.DocInfo.DataEndDate);
}

// A range without data is reported and makes no document.
TEST_F(NewDocumentTest, ARangeWithoutDataIsReportedAndWritesNothing) {
  const size_t events = TrailEvents().size();
  TD51_KiroDocument w(nullptr);
  EXPECT_FALSE(Create(w, DtStampToDateTime(At(12, 0)), DtStampToDateTime(At(14, 0))));
  ASSERT_EQ(boxes.Texts.size(), 1u);
  EXPECT_EQ(boxes.Texts[0], LoadResString("DY_NoDataInRange"));
  EXPECT_FALSE(std::filesystem::exists(folder.File("cellar.xml")));
  EXPECT_EQ(Kinds(TrailEvents(), events), std::vector<int>{});
}

}  // namespace
}  // namespace qv
