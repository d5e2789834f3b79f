#include "comm/forms/phone_book.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "../support/temp_dir.h"
#include "base/app_globals.h"
#include "base/archive_hooks.h"
#include "base/ini_file.h"
#include "controls/sty_tabbed_list_box.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {
namespace {

class PhoneBookTest : public ::testing::Test {
protected:
  void SetUp() override {
    old_ini_ = IniFileName;
    IniFileName = dir_.File("quarvel.ini");
    InitializeGui();
  }
  void TearDown() override {
    IniFileName = old_ini_;
    SetMessageDlgAnswerer(nullptr);
  }
  void WriteIni(const std::string& text) { dir_.Write("quarvel.ini", text); }
  std::vector<int32_t> Ids(const TPhoneBook& book) {
    std::vector<int32_t> ids;
    for (int i = 0; i < book.Count(); ++i) ids.push_back(book.Entry(i)->Id);
    return ids;
  }

  test::TempDir dir_;
  TArchiveStandIns archive_;

private:
  std::string old_ini_;
};

TEST_F(PhoneBookTest, LoadsRepairsAndSavesTheSection) {
  WriteIni(
      "[TelBook]\r\nCount=4\r\nName0=Cellar\r\nNumber0=0761 1234\r\nId0=5\r\nName1=Attic\r\nId1=5\r\n"
      "Id2=9\r\nName3=Far\r\nId3=40000\r\nSelId=9\r\n");
  {
    TPhoneBook book;
    EXPECT_EQ(Ids(book), (std::vector<int32_t>{5, 6, 9, 10}));
    EXPECT_EQ(book.Entry(0)->Number, "0761 1234");
    EXPECT_EQ(book.Entry(1)->Name, "Attic");
    EXPECT_EQ(book.Entry(2)->Name, "unbenannt");
    EXPECT_EQ(book.SelID, 9);
    EXPECT_EQ(book.AddEntry(), 11);
    book.DeleteAt(1);  // saves
    EXPECT_EQ(book.Entry(7), nullptr);
  }
  TPhoneBook again;
  EXPECT_EQ(Ids(again), (std::vector<int32_t>{5, 9, 10, 11}));
  EXPECT_EQ(again.Entry(0)->Name, "Cellar");
  EXPECT_EQ(again.Entry(0)->Number, "0761 1234");
  EXPECT_EQ(again.SelID, 9);
  TIniFile ini(IniFileName);
  EXPECT_EQ(ini.ReadInteger("TelBook", "Count", -1), 4);
  EXPECT_EQ(ini.ReadInteger("TelBook", "Id3", -1), 11);
}

TEST_F(PhoneBookTest, CountAndSelectionOutOfRange) {
  struct TCase {
    const char* ini;
    int count;
    int32_t sel_id;
  };
  const TCase cases[] = {
      {"[TelBook]\r\nCount=-3\r\nSelId=2\r\n", 0, -1},
      {"[TelBook]\r\nCount=134217728\r\n", 0, -1},
      // A huge count is limited to the number of ids instead of looping over it.
      {"[TelBook]\r\nCount=134217727\r\n", MaxPhoneId, 0},
      // "SelIndex" holds an id, not a row.
      {"[TelBook]\r\nCount=3\r\nSelId=-5\r\nSelIndex=2\r\n", 3, 2},
      {"[TelBook]\r\nCount=3\r\nSelIndex=7\r\n", 3, 7},
      {"[TelBook]\r\nCount=3\r\nId0=10\r\nId1=20\r\nId2=30\r\nSelIndex=20\r\n", 3, 20},
      {"[TelBook]\r\nCount=3\r\nId0=10\r\nId1=20\r\nId2=30\r\nSelId=40000\r\nSelIndex=1\r\n", 3, 1},
      {"[TelBook]\r\nCount=3\r\nId0=10\r\nId1=20\r\nId2=30\r\nSelIndex=32768\r\n", 3, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.ini);
    WriteIni(c.ini);
    TPhoneBook book;
    EXPECT_EQ(book.Count(), c.count);
    EXPECT_EQ(book.SelID, c.sel_id);
  }
}

TEST_F(PhoneBookTest, NoFreeIdIsReportedAndAddsNothing) {
  WriteIni("[TelBook]\r\nCount=134217727\r\n");
  TPhoneBook book;
  ASSERT_EQ(book.Count(), MaxPhoneId);
  EXPECT_EQ(book.AddEntry(), -1);
  EXPECT_EQ(book.Count(), MaxPhoneId);
}

TEST_F(PhoneBookTest, TheDialogsShowDeleteAndSelect) {
  WriteIni("[TelBook]\r\nCount=2\r\nName0=Cellar\r\nNumber0=1\r\nId0=0\r\nName1=Attic\r\nId1=4\r\nSelId=4\r\n");
  TPhoneBook book;
  SetMessageDlgAnswerer([](const std::string&, TMsgDlgType, TMsgDlgButtons) { return mrYes; });
  TD27_EdPhoneBook dlg(nullptr, &book);
  dlg.FillGrid();
  EXPECT_EQ(dlg.TelNrGrid->Count(), 2);
  EXPECT_EQ(dlg.TelNrGrid->ItemIndex(), 1);
  dlg.d27_DeleteBtn->Click();
  EXPECT_EQ(book.SelID, 0);  // the entry above
  dlg.d27_DeleteBtn->Click();
  // Deleting the only entry leaves an empty book showing one empty row.
  EXPECT_EQ(dlg.TelNrGrid->Count(), 1);
  EXPECT_EQ(dlg.SelectedEntry(), nullptr);
  dlg.OKBtn->Click();
  EXPECT_EQ(book.SelID, -1);
  EXPECT_GT(archive_.UserActivity, 0);
  TPhoneBook stored;
  EXPECT_EQ(stored.Count(), 0);

  TD28_EditPhoneNr entry(nullptr);
  entry.SetEntry("unbenannt", "");
  EXPECT_FALSE(entry.OKBtn->Enabled());
  EXPECT_TRUE(entry.CancelBtn->Default());
  entry.NameEdit->SetText("Attic");
  EXPECT_TRUE(entry.OKBtn->Enabled());
  EXPECT_TRUE(entry.OKBtn->Default());
  entry.OKBtn->Click();
  EXPECT_EQ(entry.EnteredName, "Attic");
}

}  // namespace
}  // namespace qv
