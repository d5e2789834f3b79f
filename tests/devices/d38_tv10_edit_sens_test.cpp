#include "devices/forms/d38_tv10_edit_sens.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "devices/tv10_sub_mod_ed0.h"
#include "editor_fixture.h"

namespace qv::test {
namespace {

using ChangeSensors = LoggerEditorFixture;

// Types the board offers for a slot, in list order.
std::vector<uint8_t> Offered(int slot, uint8_t board) {
  std::vector<uint8_t> types;
  const auto offered = Tv10SensorSelection(slot, board);
  for (int i = 0; i < Tv10SensorCount; ++i)
    if (offered.test(static_cast<size_t>(i))) {
      TTv10SensorInfo info;
      if (FindSensorInfo(board, Tv10SensorRows[static_cast<size_t>(i)].SensorType, 0, info))
        types.push_back(info.SensorType);
    }
  return types;
}

// Runs the dialog; `user` acts on it once it is shown modally.
bool RunDialog(uint8_t kind, uint8_t board, std::array<uint8_t, 4>& types,
               const std::function<void(TD38_Tv10EditSens&)>& user) {
  bool acted = false;
  Application->OnIdle = [&](TComponent*, bool& done) {
    done = true;
    if (acted || !D38_Tv10EditSens || !D38_Tv10EditSens->Modal()) return;
    acted = true;
    user(*D38_Tv10EditSens);
  };
  const bool ok = RunChangeSensorsDialog(kind, board, 0, types);
  Application->OnIdle = nullptr;
  return ok;
}

void Pick(TComboBox* combo, int index) {
  combo->SetItemIndex(index);
  combo->OnChange(combo);
}

TEST_F(ChangeSensors, DialogOffersTheBoardsSensorsAndRefusesEqualOnes) {
  const std::vector<uint8_t> slot1 = Offered(1, 0), slot2 = Offered(2, 0);
  ASSERT_GE(slot1.size(), 2u);
  std::array<uint8_t, 4> types{slot1[0], slot2[0], 0, 0};
  const bool ok = RunDialog(5, 0, types, [&](TD38_Tv10EditSens& dlg) {
    EXPECT_FALSE(dlg.ChanGrBox[2]->Visible());
    EXPECT_FALSE(dlg.OKBtn->Enabled());
    EXPECT_TRUE(dlg.CancelBtn->Default());
    EXPECT_EQ(dlg.SelChanCombo[0]->ItemIndex(), 0);
    // The same sensor on both inputs is refused, and the dialog stays.
    const auto same = std::find(slot2.begin(), slot2.end(), slot1[0]);
    if (same != slot2.end()) {
      Pick(dlg.SelChanCombo[1], static_cast<int>(same - slot2.begin()));
      EXPECT_TRUE(dlg.OKBtn->Enabled());
      dlg.OKBtn->Click();
      ASSERT_EQ(dialogs.size(), 1u);
      EXPECT_EQ(dialogs[0], "deh_InvSensorComb");
      EXPECT_FALSE(dlg.OKBtn->Enabled());
      Pick(dlg.SelChanCombo[1], 0);
    }
    Pick(dlg.SelChanCombo[0], 1);
    dlg.OKBtn->Click();
  });
  ASSERT_TRUE(ok);
  EXPECT_EQ(types[0], slot1[1]);
  EXPECT_EQ(types[1], slot2[0]);
  EXPECT_EQ(D38_Tv10EditSens, nullptr);

  std::array<uint8_t, 4> unchanged = types;
  EXPECT_FALSE(RunDialog(6, 2, unchanged, [](TD38_Tv10EditSens& dlg) {
    EXPECT_TRUE(dlg.ChanGrBox[3]->Visible());
    dlg.CancelBtn->Click();
  }));
  EXPECT_EQ(unchanged, types);
  TD38_Tv10EditSens dlg(nullptr);
  EXPECT_THROW(dlg.SetKind(4), Exception);
}

TEST_F(ChangeSensors, NewSensorTakesTheSlotAndTheOldOneKeepsItsData) {
  auto root = LoadRoot();
  TTv10Modul* logger = ReadLogger(root.get());
  auto* old_slot1 = static_cast<TTv10SubModul*>(logger->GetSubModul(1));
  const uint8_t old_type = old_slot1->SensorType;
  const std::vector<uint8_t> slot1 = Offered(1, logger->SensorPcb.Value);
  const auto other = std::find_if(slot1.begin(), slot1.end(), [&](uint8_t t) { return t != old_type; });
  ASSERT_NE(other, slot1.end());
  std::array<uint8_t, 4> asked{};
  std::array<uint8_t, 4> answer{};
  bool answer_ok = true;
  SetChangeSensorsDlgProc([&](uint8_t kind, uint8_t, uint8_t, std::array<uint8_t, 4>& types) {
    EXPECT_EQ(kind, 5);
    asked = types;
    types = answer;
    return answer_ok;
  });
  TExplElement* selected = nullptr;
  logger->SetOnSelect([&](TExplElement*, TExplElement* element, bool) { selected = element; });
  Open<TTv10ModEditor0>(logger);

  // Cancel: nothing changes.
  answer_ok = false;
  ChangeDetails.clear();
  logger->ChangeSensors();
  EXPECT_EQ(asked[0], old_type);
  EXPECT_TRUE(ChangeDetails.empty());
  EXPECT_FALSE(logger->SensorsChanged);

  answer_ok = true;
  answer = asked;
  answer[0] = *other;
  logger->ChangeSensors();
  EXPECT_NE(ChangeDetails.find("audit_Sens1Change"), std::string::npos);
  EXPECT_EQ(ChangeDetails.find("audit_Sens2Change"), std::string::npos);
  EXPECT_TRUE(logger->SensorsChanged);
  EXPECT_EQ(old_slot1->NewChanNum, 0);
  auto* holder = dynamic_cast<TTv10SubModul*>(logger->FindSubModul(1));
  ASSERT_NE(holder, nullptr);
  EXPECT_NE(holder, old_slot1);
  EXPECT_EQ(holder->SensorType, *other);
  EXPECT_EQ(logger->Detached().size(), 1u);
  EXPECT_EQ(selected, holder);
  EXPECT_EQ(logger->GetSubModul(1), old_slot1);  // the tree changes only with the transmission

  // And back: the former holder of slot 1 takes it again.
  answer[0] = old_type;
  logger->ChangeSensors();
  EXPECT_EQ(logger->FindSubModul(1), old_slot1);
  EXPECT_EQ(old_slot1->NewChanNum, 1);
  EXPECT_EQ(holder->NewChanNum, 0);
  SetChangeSensorsDlgProc(nullptr);
}

TEST_F(ChangeSensors, ASensorHoldingAnotherSlotStaysThere) {
  auto root = LoadRoot();
  TTv10Modul* logger = ReadLogger(root.get(), 6, kKind6);
  // The first two sensors were swapped between slots 1 and 3 on the logger.
  TTv10SubModul* first = Slot(logger, 1);
  TTv10SubModul* third = Slot(logger, 3);
  ASSERT_EQ(first->Id(), 1);
  ASSERT_NE(first->SensorType, third->SensorType);
  first->NewChanNum = 3;
  third->NewChanNum = 1;
  SetChangeSensorsDlgProc([&](uint8_t, uint8_t, uint8_t, std::array<uint8_t, 4>& types) {
    types[0] = first->SensorType;  // slot 1 takes the type slot 3 keeps
    return true;
  });
  Open<TTv10ModEditor0>(logger);
  logger->ChangeSensors();
  EXPECT_EQ(logger->FindSubModul(3), first);
  TTavra2GSubMod* holder = logger->FindSubModul(1);
  ASSERT_NE(holder, nullptr);
  EXPECT_NE(holder, first);
  EXPECT_EQ(static_cast<TTv10SubModul*>(holder)->SensorType, first->SensorType);
  EXPECT_EQ(third->NewChanNum, 0);
  for (int slot = 1; slot <= 4; ++slot) EXPECT_NE(logger->FindSubModul(slot), nullptr) << slot;
  SetChangeSensorsDlgProc(nullptr);
}

}  // namespace
}  // namespace qv::test
