#include "platform/gui/menus.h"

#include <gtest/gtest.h>

#include "platform/gui/forms.h"
#include "platform/gui/user_input.h"
#include "platform/os/message_queue.h"

namespace qv {
namespace {

TEST(Menus, ItemsAreFoundByNameAndRadioItemsExcludeEachOther) {
  TForm form(nullptr);
  auto* menu = new TMainMenu(&form);
  auto* file = new TMenuItem(&form);
  file->SetCaption("&File");
  menu->Items()->Add(file);
  auto* a = new TMenuItem(&form);
  a->SetName("IMenComm");
  a->SetCaption("Communication");
  file->Add(a);
  auto* r1 = new TMenuItem(&form);
  auto* r2 = new TMenuItem(&form);
  for (auto* r : {r1, r2}) {
    r->SetRadioItem(true);
    file->Add(r);
  }
  EXPECT_EQ(menu->FindItemByName("imencomm"), a);
  EXPECT_EQ(menu->Items()->Find("File"), file);
  EXPECT_EQ(a->Menu(), menu);
  r1->SetChecked(true);
  r2->SetChecked(true);
  EXPECT_FALSE(r1->Checked());
  int clicks = 0;
  a->OnClick = [&](TComponent*) { ++clicks; };
  a->Click();
  a->SetEnabled(false);
  a->Click();
  EXPECT_EQ(clicks, 1);
  // The menu bar takes the top of the form's window.
  int before = form.ClientHeight();
  form.SetMenu(menu);
  EXPECT_LT(form.ClientHeight(), before);
  delete a;
  EXPECT_EQ(file->Count(), 2);
}

// A menu command that runs a modal window, or waits in a loop of its own (for the logger), during
// which the program changes the menus (a device change rebuilds them): the menu that was clicked
// lives until the command returns, and the new menus work afterwards.
TEST(Menus, AMenuRebuiltWhileItsCommandRunsLivesUntilTheCommandReturns) {
  for (const bool modal : {true, false}) {
    SCOPED_TRACE(modal ? "modal window" : "wait loop");
    TForm form(nullptr);
    form.SetBounds(50, 50, 300, 200);
    auto* menu = new TMainMenu(&form);
    const auto add = [&](TMenuItem* parent, const std::string& caption) {
      auto* item = new TMenuItem(&form);
      item->SetCaption(caption);
      parent->Add(item);
      return item;
    };
    TMenuItem* device = add(menu->Items(), "&Device");
    TMenuItem* read = add(device, "&Read");
    TMenuItem* other = add(device, "&Other");
    form.SetMenu(menu);
    form.Show();
    int others = 0;
    other->OnClick = [&](TComponent*) { ++others; };
    read->OnClick = [&](TComponent*) {
      TForm note(nullptr);
      TTimer tick(nullptr);
      tick.SetInterval(10);
      int ticks = 0;
      bool done = false;
      tick.OnTimer = [&](TComponent*) {
        // The rebuild, then a few more passes of the loop before it ends.
        if (++ticks == 1) other->SetCaption("&Other logger");
        if (ticks == 5) {
          done = true;
          if (modal) note.SetModalResult(mrOk);
        }
      };
      if (modal) {
        note.ShowModal();
      } else {
        while (!done) {
          Application->ProcessMessages();
          WaitAndProcessMessages(5);
        }
      }
      EXPECT_TRUE(ClickedMenuAlive());
    };
    EXPECT_TRUE(UserChooseMenu(read));
    Application->ProcessMessages();
    EXPECT_TRUE(UserChooseMenu(other));
    EXPECT_EQ(others, 1);
  }
}

TEST(Menus, PopupGoesThroughTheTestHook) {
  TPopupMenu menu(nullptr);
  auto* item = new TMenuItem(&menu);
  item->SetCaption("Item");
  menu.Items()->Add(item);
  int popups = 0, clicked = 0;
  item->OnClick = [&](TComponent*) { ++clicked; };
  menu.OnPopup = [&](TComponent*) { ++popups; };
  SetPopupMenuHook([](TPopupMenu* m, int x, int y) {
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 20);
    m->Items()->Items(0)->Click();
  });
  menu.Popup(10, 20);
  SetPopupMenuHook(nullptr);
  EXPECT_EQ(popups, 1);
  EXPECT_EQ(clicked, 1);
}

QV_DECLARE_EXCEPTION(EAbort, Exception);

TEST(ApplicationExceptions, SilentAbortShowsNothing) {
  InitializeGui();
  int dialogs = 0;
  SetMessageDlgAnswerer([&](const std::string&, TMsgDlgType, TMsgDlgButtons) { return ++dialogs, mrOk; });
  try {
    throw EAbort("");
  } catch (...) {
    Application->HandleException();
  }
  EXPECT_EQ(dialogs, 0);
  SetMessageDlgAnswerer(nullptr);
}

}  // namespace
}  // namespace qv
