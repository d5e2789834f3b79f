#include "serial/forms/com_select_form.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/serial/com_port_map.h"
#include "serial/pty_pair.h"
#include "serial/ser_custom_com_port.h"
#include "serial/serial_exception.h"

namespace qv {
namespace {

constexpr int kFirst = 4, kSecond = 9;

// Two ports exist (4 and 9); every other number names no device.
class ComSelect : public ::testing::Test {
protected:
  void SetUp() override {
    InitializeGui();
    SetComPortMapHook([this](int n) {
      if (n == kFirst) return first.SlavePath();
      if (n == kSecond) return second.SlavePath();
      return "/nonexistent/ttyQV" + std::to_string(n);
    });
    InstallComSelectForm();
  }
  void TearDown() override {
    Application->OnIdle = nullptr;
    SetComSelectHook(nullptr);
    SetComPortMapHook(nullptr);
  }

  // Opens a port without a number; `user` acts on the shown form from the main loop.
  void OpenAsking(TSerComPort& port, const std::function<void(TComSelectForm&)>& user) {
    bool acted = false;
    Application->OnIdle = [&](TComponent*, bool& done) {
      done = true;
      for (int i = 0; i < Screen->FormCount() && !acted; ++i) {
        auto* form = dynamic_cast<TComSelectForm*>(Screen->Forms(i));
        if (!form || !form->Modal()) continue;
        acted = true;
        user(*form);
      }
    };
    port.SetOpen(true);
    EXPECT_TRUE(acted);
  }

  test::PtyPair first, second;
};

TEST_F(ComSelect, ThePortChosenInTheFormIsOpened) {
  TSerComPort port;
  OpenAsking(port, [](TComSelectForm& form) {
    EXPECT_EQ(form.Text(), "Select Port");
    EXPECT_EQ(form.Label1->Text(), "The configured serial port is not valid.");
    EXPECT_EQ(form.Label2->Text(), "Please choose another port.");
    EXPECT_EQ(form.OKBtn->Text(), "OK");
    EXPECT_EQ(form.CancelBtn->Text(), "Cancel");
    EXPECT_EQ(form.PortsComboBox->ItemIndex(), 0);  // the first one is chosen
    EXPECT_EQ(form.ChosenPort(), kFirst);
    ASSERT_EQ(form.PortsComboBox->Items().Strings(), (std::vector<std::string>{"COM4", "COM9"}));
    form.PortsComboBox->SetItemIndex(1);
    form.OKBtn->Click();
  });
  EXPECT_TRUE(port.Open());
  EXPECT_EQ(port.ComNumber(), kSecond);
  port.PutString("hi");
  EXPECT_EQ(second.Read(2), "hi");
}

TEST_F(ComSelect, CancelOrNoPromptLeavesThePortClosed) {
  TSerComPort port;
  EXPECT_THROW(OpenAsking(port, [](TComSelectForm& form) { form.CancelBtn->Click(); }), ENoPortSelected);
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(port.ComNumber(), 0);
  port.PromptForPort = false;
  bool asked = false;
  Application->OnIdle = [&](TComponent*, bool& done) {
    done = true;
    asked = asked || Screen->FormCount() > 0;
  };
  EXPECT_THROW(port.SetOpen(true), ENoPortSelected);
  EXPECT_FALSE(asked);
  EXPECT_FALSE(port.Open());
}

}  // namespace
}  // namespace qv
