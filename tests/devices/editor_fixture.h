#pragma once
// The explorer's side of the device editors: a form to hold the frame, the editors installed,
// and the dialogs they show recorded.
#include <memory>
#include <string>
#include <vector>

#include "device_fixture.h"
#include "devices/forms/device_editors.h"
#include "devices/tv10_modul.h"
#include "platform/gui/forms.h"
#include "tv10_golden_blocks.h"

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

// The same with the logger classes and a logger read from its golden block.
class LoggerEditorFixture : public EditorFixture {
protected:
  LoggerEditorFixture() { DevClassRegistry = &registry10; }

  // A kind-5 logger read from its golden block: slot 1 °C with alarm 0..30, hysteresis 1 and
  // offset -0.5; slot 2 % with alarm 20..80.
  TTv10Modul* ReadLogger(TDevice* root, uint8_t kind = 5, const Bytes& block = kKind5) {
    auto module = TDevice::Create<TTv10Modul>(root);
    module->SetTavraTyp(kind);
    module->SetKennung(42);
    module->SetId(root->FindNextId(1, TDevice::MaxId));
    EXPECT_TRUE(module->SetUpDevice());
    TTv10Modul* m = module.release();
    TMemoryStream2 s;
    Fill(s, AsString(block));
    bool changed = false;
    m->ReadEEPar(&s, changed, 0, kind);
    return m;
  }
  static TTv10SubModul* Slot(TTv10Modul* m, int slot) { return static_cast<TTv10SubModul*>(m->GetSubModul(slot)); }

  TTv10DevClassReg registry10;
};

}  // namespace qv::test
