#pragma once
// The explorer's side of the device editors: a form to hold the frame, the editors installed,
// and the dialogs they show recorded.
#include <memory>
#include <string>
#include <vector>

#include "device_fixture.h"
#include "devices/device_editors.h"
#include "platform/gui/forms.h"

namespace qv::test {

// The explorer's side: a form with the frame's parent panel, and the dialogs the editors show.
class EditorFixture : public DeviceFixture {
protected:
  EditorFixture() {
    InitializeGui();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 520, 420);
    SetMessageDlgAnswerer([this](const std::string& msg, TMsgDlgType, TMsgDlgButtons) {
      dialogs.push_back(msg);
      return mrOk;
    });
    InstallDeviceEditors();
  }
  ~EditorFixture() override {
    SetMessageDlgAnswerer(nullptr);
    SetDevEditorCreator(nullptr);
    RegisterDevEditorClass("TTv10SubModEd", nullptr);
    RegisterDevEditorClass("TTv10ModEditor", nullptr);
  }

  // Opens the node's editor with recorded events.
  template <class E>
  E* Open(TDevice* node) {
    node->CreateEditor(
        form.get(), [this](TExplEditor*) { ++modified_events; },
        [this](TExplEditor*, const std::string& text) { renames.push_back(text); });
    auto* editor = dynamic_cast<E*>(node->Editor());
    EXPECT_NE(editor, nullptr);
    return editor;
  }

  std::unique_ptr<TForm> form;
  std::vector<std::string> dialogs;
  int modified_events = 0;
  std::vector<std::string> renames;
};

}  // namespace qv::test
