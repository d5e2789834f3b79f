#include "archive/forms/d54_edit_document_type.h"
#include "archive/forms/d61_select_doc_type.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "archive/dy_user_manager.h"
#include "archive_test_support.h"
#include "base/res_string.h"
#include "modal_driver.h"
#include "platform/gui/controls.h"
#include "platform/gui/user_input.h"
#include "platform/rtl/date_time.h"

namespace qv {
namespace {

const std::string GoldenUsers = std::string(QV_TEST_DATA_DIR) + "/users_golden.dat";

struct TChan {
  int32_t logger;
  const char* device;
  int32_t id;
  const char* name;
  const char* unit;
};

void AddChannels(TDY_ChannelList& list, const std::vector<TChan>& channels) {
  for (const TChan& c : channels) {
    auto channel = std::make_unique<TDY_Channel>();
    channel->Device->LoggerID = c.logger;
    channel->Device->DeviceName = c.device;
    channel->ChannelID = c.id;
    channel->ChannelName = c.name;
    channel->Unit = c.unit;
    list.Add(std::move(channel));
  }
}

std::vector<int> TableSizes(const TDY_DocTypeInfo& type) {
  std::vector<int> sizes;
  for (int i = 0; i < type.Tables.Count(); ++i) sizes.push_back(type.Tables.Get(i)->Channels.Count());
  return sizes;
}
std::vector<int> DiagramSizes(const TDY_DocTypeInfo& type) {
  std::vector<int> sizes;
  for (int i = 0; i < type.Diagrams.Count(); ++i) sizes.push_back(type.Diagrams.Get(i)->Channels.Count());
  return sizes;
}

TEST(TypeLayout, TablesFollowTheLimitAndTheDevices) {
  TDY_DocTypeInfo type;
  std::vector<TChan> channels;
  for (int i = 0; i < 8; ++i) channels.push_back({7, "North", i + 1, "T", "C"});
  for (int i = 0; i < 3; ++i) channels.push_back({9, "South", i + 1, "T", "C"});
  AddChannels(type.Channels, channels);
  const std::string prefix = LoadResString("tvo_TitPrefix");
  struct Case {
    bool landscape, one_per_device, numbered;
    std::vector<int> sizes;
    std::vector<std::string> names;
  };
  for (const Case& c : {Case{false, false, true, {6, 5}, {prefix + "1", prefix + "2"}},
                        Case{false, true, false, {6, 2, 3}, {"North", "North", "South"}},
                        Case{true, false, true, {11}, {prefix + "1"}}, Case{true, true, true, {8, 3}, {}}}) {
    GenerateTables(type, c.landscape, c.one_per_device, c.numbered);
    EXPECT_EQ(TableSizes(type), c.sizes);
    for (size_t i = 0; i < c.names.size(); ++i) EXPECT_EQ(type.Tables.Get(static_cast<int>(i))->Name, c.names[i]);
  }
  // No channels: no table, and none made up.
  TDY_DocTypeInfo empty;
  GenerateTables(empty, false, false, true);
  GenerateDiagrams(empty, false, true);
  EXPECT_EQ(empty.Tables.Count(), 0);
  EXPECT_EQ(empty.Diagrams.Count(), 0);
}

TEST(TypeLayout, AUnitTakesAnEmptyAxisAndAThirdIsRefused) {
  struct Case {
    std::string left, right, unit;
    bool fits;
    std::string left_after, right_after;
  };
  for (const Case& c :
       {Case{"", "", "", true, "", ""}, Case{"", "", "C", true, "C", ""}, Case{"C", "", "C", true, "C", ""},
        Case{"C", "", "%", true, "C", "%"}, Case{"C", "%", "%", true, "C", "%"}, Case{"C", "%", "hPa", false, "C", "%"},
        Case{"C", "%", "", true, "C", "%"}}) {
    std::string left = c.left, right = c.right;
    EXPECT_EQ(AcceptUnit(left, right, c.unit), c.fits) << c.unit;
    EXPECT_EQ(left, c.left_after);
    EXPECT_EQ(right, c.right_after);
  }
}

TEST(TypeLayout, DiagramsHoldTwoUnitsAndTheSplittingChannelSettlesTheNextOne) {
  TDY_DocTypeInfo type;
  AddChannels(
      type.Channels,
      {{7, "North", 1, "T1", "C"}, {7, "North", 2, "H", "%"}, {7, "North", 3, "T2", "C"}, {7, "North", 4, "P", "hPa"}});
  GenerateDiagrams(type, false, true);
  EXPECT_EQ(DiagramSizes(type), (std::vector<int>{3, 1}));
  EXPECT_EQ(type.Diagrams.Get(1)->Channels.Get(0)->Unit, "hPa");
  // Colours and markers apart within a diagram, handed out afresh in the next one.
  EXPECT_NE(type.Diagrams.Get(0)->Channels.Get(0)->Color, type.Diagrams.Get(0)->Channels.Get(1)->Color);
  EXPECT_NE(type.Diagrams.Get(0)->Channels.Get(0)->PointerStyle, type.Diagrams.Get(0)->Channels.Get(1)->PointerStyle);
  EXPECT_EQ(type.Diagrams.Get(1)->Channels.Get(0)->Color, type.Diagrams.Get(0)->Channels.Get(0)->Color);

  // hPa splits; it is the new diagram's first unit, so "%" takes the second axis and "C" no
  // longer fits: three units never share a diagram.
  TDY_DocTypeInfo split;
  AddChannels(split.Channels, {{7, "N", 1, "a", "C"},
                               {7, "N", 2, "b", "%"},
                               {7, "N", 3, "c", "hPa"},
                               {7, "N", 4, "d", "%"},
                               {7, "N", 5, "e", "C"}});
  split.Channels.Get(4)->LineStyle = 3;
  GenerateDiagrams(split, false, false);
  EXPECT_EQ(DiagramSizes(split), (std::vector<int>{2, 2, 1}));
  EXPECT_EQ(split.Diagrams.Get(2)->Channels.Get(0)->LineStyle, 0);
  EXPECT_EQ(split.Diagrams.Get(2)->Name, "N");

  // Seven channels of one unit: six a diagram; one per device starts anew at the second device.
  TDY_DocTypeInfo many;
  std::vector<TChan> channels;
  for (int i = 0; i < 7; ++i) channels.push_back({7, "N", i + 1, "x", "C"});
  channels.push_back({9, "S", 1, "y", "C"});
  AddChannels(many.Channels, channels);
  GenerateDiagrams(many, false, true);
  EXPECT_EQ(DiagramSizes(many), (std::vector<int>{6, 2}));
  GenerateDiagrams(many, true, false);
  EXPECT_EQ(DiagramSizes(many), (std::vector<int>{6, 1, 1}));
}

class TypeEditorTest : public ::testing::Test {
protected:
  TypeEditorTest() {
    InitializeGui();
    ArchiveIniFile = folder.File("Dossaly.ini");
    InstallAuditService(&audit);
    std::filesystem::copy_file(GoldenUsers, folder.File("Users.dat"));
    users = std::make_unique<TDY_UserManager>(folder.File("Users.dat"));
    users->SetCurrentUser("bob");
    UserManager = users.get();
    // A stored type: two channels that look alike (same device and channel name), and a humidity.
    TDY_DocTypeInfo type;
    type.Name = "Cold";
    type.Title = "Cold store";
    type.ShowSigInfo = true;
    type.ShowTables = type.ShowDiagrams = true;
    AddChannels(type.Channels, {{7, "North", 1, "T", "C"}, {7, "North", 2, "T", "C"}, {7, "North", 3, "H", "%"}});
    GenerateTables(type, false, false, true);
    GenerateDiagrams(type, false, true);
    type.Save(folder.File("Cold.dyt"));
    catalogue.Add(std::make_unique<TDY_DocTypeInfo>())->Name = "Cold";
    catalogue.Add(std::make_unique<TDY_DocTypeInfo>())->Name = "Warm";
  }
  ~TypeEditorTest() override {
    UserManager = nullptr;
    InstallAuditService(nullptr);
  }

  TArchiveTestFolder folder;
  TCapturedBoxes boxes;
  TRecordingAuditService audit;
  std::unique_ptr<TDY_UserManager> users;
  TDY_DocTypeList catalogue;
};

// A click that opens another modal window, made from the main loop rather than from inside the
// driver's idle pass, as a user's click arrives.
void ClickOpening(TButton* button) {
  PostDeferredCall([button] { UserClick(button); });
}

template <class T>
T& As(TForm& form) {
  auto* f = dynamic_cast<T*>(&form);
  if (!f) throw std::runtime_error("another window is on top: " + form.ClassName());
  return *f;
}

TEST_F(TypeEditorTest, EditedTablesDiagramsAndChannelsReachTheTypeFile) {
  test::TModalDriver driver({
      [](TForm& f) {
        auto& d = As<TD54_EditDocumentType>(f);
        EXPECT_EQ(d.DocTypeNameEdit->Text(), "Cold");
        EXPECT_FALSE(d.OkButton->Enabled());
        UserRetype(d.DocTypeTitleEdit, "Cold room");
        ClickOpening(d.AddTableButton);
      },
      [](TForm& f) {
        auto& d = As<TD62_EditTable>(f);
        UserRetype(d.TableNameEdit, "Extra");
        ClickOpening(d.EditChannelsButton);
      },
      [](TForm& f) {
        // The second of the two look-alike channels is the one chosen.
        auto& d = As<TD63_EditDYChannels>(f);
        ASSERT_EQ(d.AvailChannelsListBox->Count(), 3);
        EXPECT_EQ(d.AvailChannelsListBox->Items()[1], "North: T");
        // Reaching the second line clicks the first one on the way: a second click takes it back.
        UserClickListItem(d.AvailChannelsListBox, 1);
        UserClick(d.AvailChannelsListBox, TPoint{10, 6});
        ASSERT_FALSE(d.AvailChannelsListBox->Selected(0));
        ASSERT_TRUE(d.AvailChannelsListBox->Selected(1));
        UserClick(d.SelectChanBtn);
        EXPECT_EQ(d.SelectedChannelsListBox->Count(), 1);
        UserClick(d.OkButton);
      },
      [](TForm& f) { UserClick(As<TD62_EditTable>(f).OkButton); },
      [](TForm& f) {
        auto& d = As<TD54_EditDocumentType>(f);
        EXPECT_EQ(d.TablesListBox->Count(), 2);
        ClickOpening(d.EditDiagramButton);
      },
      [](TForm& f) {
        auto& d = As<TD64_EditDiagram>(f);
        UserClickListItem(d.ChannelsListBox, 1);
        d.PenStyleComboBox->SetFocus();
        UserKey(VK_DOWN);
        UserRetype(d.DiagramNameEdit, "Curves");
        UserClick(d.OkButton);
      },
      [](TForm& f) {
        auto& d = As<TD54_EditDocumentType>(f);
        UserClick(d.DeleteTableButton);  // the first, automatic table
        UserClick(d.ShowSigInfoCheckBox);
        UserClick(d.OkButton);
      },
  });
  auto type = RunEditDocumentType(folder.File("Cold.dyt"), catalogue);
  EXPECT_EQ(driver.Done(), driver.Count());
  ASSERT_TRUE(type);
  type->Save(ArchiveDataPath + type->FileName);

  TDY_DocTypeInfo read;
  ASSERT_TRUE(read.Load(folder.File("Cold.dyt")));
  EXPECT_EQ(read.Title, "Cold room");
  EXPECT_EQ(read.Version, 2);
  EXPECT_FALSE(read.ShowSigInfo);
  ASSERT_EQ(read.Tables.Count(), 1);
  EXPECT_EQ(read.Tables.Get(0)->Name, "Extra");
  ASSERT_EQ(read.Tables.Get(0)->Channels.Count(), 1);
  EXPECT_EQ(read.Tables.Get(0)->Channels.Get(0)->ChannelID, 2);
  ASSERT_EQ(read.Diagrams.Count(), 1);
  EXPECT_EQ(read.Diagrams.Get(0)->Name, "Curves");
  EXPECT_EQ(read.Diagrams.Get(0)->Channels.Get(1)->LineStyle, 1);
  EXPECT_EQ(read.Diagrams.Get(0)->Channels.Get(0)->LineStyle, 0);
  EXPECT_TRUE(boxes.Texts.empty());
}

TEST_F(TypeEditorTest, CancelInTheDiagramEditorKeepsTheDiagram) {
  test::TModalDriver driver({
      [](TForm& f) { ClickOpening(As<TD54_EditDocumentType>(f).EditDiagramButton); },
      [](TForm& f) {
        auto& d = As<TD64_EditDiagram>(f);
        d.PenStyleComboBox->SetFocus();
        UserKey(VK_DOWN);
        EXPECT_TRUE(d.Changed());
        UserClick(d.CancelButton);
      },
      [](TForm& f) {
        auto& d = As<TD54_EditDocumentType>(f);
        EXPECT_FALSE(d.Changed());
        UserRetype(d.DocTypeTitleEdit, "Other");
        UserClick(d.OkButton);
      },
  });
  auto type = RunEditDocumentType(folder.File("Cold.dyt"), catalogue);
  EXPECT_EQ(driver.Done(), driver.Count());
  ASSERT_TRUE(type);
  EXPECT_EQ(type->Diagrams.Get(0)->Channels.Get(0)->LineStyle, 0);
}

TEST_F(TypeEditorTest, ANewTypeNeedsAFreeNameThatStaysInTheFolder) {
  std::vector<test::TModalDriver::TStep> steps;
  for (const char* bad : {"", "a/b", "a\\b", "..", "cOLD"}) {
    steps.push_back([bad](TForm& f) {
      auto& d = As<TD54_EditDocumentType>(f);
      UserRetype(d.DocTypeNameEdit, std::string(bad) + "x");
      UserKey(VK_BACK);
      UserClick(d.OkButton);
      EXPECT_EQ(f.ModalResult(), mrNone) << bad;
      EXPECT_FALSE(d.OkButton->Enabled()) << bad;
      EXPECT_TRUE(d.DocTypeNameEdit->Focused()) << bad;
    });
  }
  steps.push_back([](TForm& f) {
    auto& d = As<TD54_EditDocumentType>(f);
    EXPECT_FALSE(d.ShowDocInfoCheckBox->Enabled());
    EXPECT_FALSE(d.EditTableButton->Enabled());
    UserRetype(d.DocTypeNameEdit, "Fresh");
    UserClick(d.OneTabPerDevCheckBox);
    EXPECT_FALSE(d.MaxChanPerTableCheckBox->Checked());
    UserClick(d.OkButton);
  });
  test::TModalDriver driver(std::move(steps));
  auto type = RunEditDocumentType("", catalogue);
  EXPECT_EQ(driver.Done(), driver.Count());
  ASSERT_TRUE(type);
  EXPECT_EQ(type->Name, "Fresh");
  EXPECT_EQ(type->FileName, "Fresh.dyt");
  EXPECT_TRUE(type->ShowDocInfo && type->ShowAuditLog && type->ShowSigInfo && type->ShowDeviceInfo);
  EXPECT_TRUE(type->OneTabPerDevice);
  EXPECT_FALSE(type->OneDiaPerDevice || type->TablesLandScape);
  EXPECT_TRUE(boxes.Texts.empty());
}

TEST_F(TypeEditorTest, AFileNameIsTakenOnlyFromOkAndOnlyWhenItStaysInTheFolder) {
  std::vector<test::TModalDriver::TStep> steps;
  for (const char* bad : {"..", "a/b", "a\\b"}) {
    steps.push_back([bad](TForm& f) {
      auto& d = As<TD67_EnterFileName>(f);
      UserRetype(d.FileNameEdit, bad);
      UserClick(d.OkButton);
      EXPECT_EQ(f.ModalResult(), mrNone) << bad;
      EXPECT_TRUE(d.FileNameEdit->Focused()) << bad;
    });
  }
  steps.push_back([](TForm& f) {
    auto& d = As<TD67_EnterFileName>(f);
    UserRetype(d.FileNameEdit, "Week 12");
    UserClick(d.OkButton);
  });
  std::string name = "Proposed";
  {
    test::TModalDriver driver(std::move(steps));
    EXPECT_TRUE(RunEnterFileName(ArchiveDataPath, name));
    EXPECT_EQ(driver.Done(), driver.Count());
  }
  EXPECT_EQ(name, "Week 12");

  // Typed, then the window closed without OK: the proposal stays.
  test::TModalDriver driver({[](TForm& f) { UserRetype(As<TD67_EnterFileName>(f).FileNameEdit, ".."); }});
  name = "Proposed";
  EXPECT_FALSE(RunEnterFileName(ArchiveDataPath, name));
  EXPECT_EQ(name, "Proposed");
}

TEST_F(TypeEditorTest, TheTypeChoiceAnswersTheButtonAndTheLine) {
  struct Case {
    const char* button;
    int result;
  };
  for (const Case& c : {Case{"OK", SelectDocTypeOk}, Case{"Cancel", SelectDocTypeCancel},
                        Case{nullptr, SelectDocTypeDelete}, Case{nullptr, SelectDocTypeNew}}) {
    test::TModalDriver driver({[&c](TForm& f) {
      auto& d = As<TD61_SelectDocType>(f);
      UserClickListItem(d.DocTypeListBox, 1);
      if (c.result == SelectDocTypeDelete)
        UserClick(d.DeleteDocTypeButton);
      else if (c.result == SelectDocTypeNew)
        UserClick(d.NewDocTypeButton);
      else
        UserClickDialogButton(c.button);
    }});
    int index = 0;
    EXPECT_EQ(RunSelectDocType({"Cold", "Warm", "Dry"}, index), c.result);
    EXPECT_EQ(index, 1);
  }
}

}  // namespace
}  // namespace qv
