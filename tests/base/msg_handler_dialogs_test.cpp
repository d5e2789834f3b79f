#include "base/forms/msg_handler_dialogs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/msg_handler.h"
#include "platform/gui/forms.h"
#include "platform/rtl/exception.h"

namespace qv {
namespace {

TEST(MsgHandlerDialogs, DialogsAndExceptionsReachTheGuiLayer) {
  InitializeGui();
  InstallMsgHandlerDialogs();
  std::vector<std::string> asked;
  SetMessageDlgAnswerer([&](const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons) {
    asked.push_back(msg);
    EXPECT_EQ(type, TMsgDlgType::mtConfirmation);
    EXPECT_EQ(buttons, mbYes | mbCancel);
    return mrYes;
  });
  std::vector<std::string> shown;
  Application->OnException = [&](TComponent*, const std::exception& e) { shown.push_back(e.what()); };

  ASSERT_TRUE(MsgDialogProc);
  EXPECT_EQ(MsgDialogProc("Go on?", TMsgDlgType::mtConfirmation, mbYes | mbCancel, 0), mrYes);
  EXPECT_EQ(asked, std::vector<std::string>{"Go on?"});
  try {
    throw Exception("disk full");
  } catch (...) {
    EXPECT_TRUE(ExceptionReportProc(nullptr));
  }
  EXPECT_EQ(shown, std::vector<std::string>{"disk full"});

  SetMessageDlgAnswerer(nullptr);
  Application->OnException = nullptr;
  MsgDialogProc = nullptr;
  ExceptionReportProc = nullptr;
}

}  // namespace
}  // namespace qv
