#pragma once
// Printing a visual object through its print menu command as a user does: the print dialog's
// destination is set to a PDF file and the dialog is accepted with its own button; the progress
// window is a stand-in that runs the job at once.
#include <gtest/gtest.h>

#include <string>

#include "comm/process_window_service.h"
#include "platform/gui/common_dialogs.h"
#include "platform/gui/menus.h"
#include "visual/vis_obj.h"
#include "visual/visual_services.h"

namespace qv::test {

class ImmediateProcessWindow : public TProcessWindowService {
public:
  bool Visible() const override { return visible_; }
  bool GetCancelVisible() const override { return false; }
  void SetCancelVisible(bool) override {}
  void SetText1(const std::string&) override {}
  void SetText2(const std::string&) override {}
  void SetText3(const std::string&) override {}
  void Finish(int result) override { result_ = result; }
  int ShowModal() override {
    visible_ = true;
    if (auto process = std::move(OnProcess)) process(this);
    visible_ = false;
    return result_;
  }
  void Free() override { delete this; }

private:
  bool visible_ = false;
  int result_ = 0;
};

// What the print dialog showed when it opened, and whether it accepted.
struct PrintDialogSeen {
  std::string offered_file;  // "" when it offered a printer
  bool accepted = false;
};

inline PrintDialogSeen PrintToPdfThroughDialog(TVisObj* vo, const std::string& file) {
  PrintDialogSeen seen;
  SetCommonDialogUser([&](TCommonDialog&, TCommonDialogWindow& window) {
    seen.offered_file = window.PrintFile();
    EXPECT_TRUE(window.SetPrintFile(file));
    seen.accepted = window.PressOk();
    return seen.accepted;
  });
  auto saved_factory = ProcessWindowFactory;
  auto saved_select = PrintSelectDlgProc;
  ProcessWindowFactory = [] { return static_cast<TProcessWindowService*>(new ImmediateProcessWindow); };
  PrintSelectDlgProc = [](int32_t& selection) {
    selection = 0;  // the object alone
    return static_cast<int>(mrOk);
  };
  TMenuItem print_item(nullptr);
  try {
    vo->PrintBtnMenuClick(&print_item);
  } catch (const std::exception& e) {
    ADD_FAILURE() << e.what();
  }
  PrintSelectDlgProc = saved_select;
  ProcessWindowFactory = saved_factory;
  SetCommonDialogUser(nullptr);
  return seen;
}

}  // namespace qv::test
