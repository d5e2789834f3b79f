// Writes a picture of each device editor and of the explorer with the information sheet of its
// logger, filled from a small device tree in a temporary
// program folder, with the English texts.
// Usage: editor_gallery OUTPUT_FOLDER
#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "base/app_globals.h"
#include "base/language_file.h"
#include "base/res_string.h"
#include "devices/forms/d38_tv10_edit_sens.h"
#include "devices/dev_class_registry.h"
#include "devices/device.h"
#include "devices/forms/device_editors.h"
#include "devices/forms/tv10_mod_editor.h"
#include "devices/tv10_modul.h"
#include "devices/forms/tv10_sub_mod_ed.h"
#include "shell/d12_enter_string.h"
#include "platform/gui/forms.h"
#include "platform/gui/rich_edit.h"
#include "platform/rtl/string_list.h"
#include "shell/d31_explorer.h"
#include "shell/d71_print_info.h"
#include "sim_config.h"

namespace qv {
namespace {

struct Shot {
  std::string file;
  std::function<TDevice*(TDevice* root)> pick;  // the node whose editor is shown
  int page = 0;                                 // the sheet shown, for editors with sheets
};

TDevice* AddNode(TDevice* parent, int32_t id, const std::string& name, const std::string& sname) {
  auto node = TDevice::Create(parent);
  node->SetId(id);
  node->SetName(name);
  node->SetSName(sname);
  node->SetUpDevice();
  return node.release();
}

// A two-input logger as read from the logger simulator.
TTv10Modul* AddLogger(TDevice* root, int32_t id) {
  auto module = TDevice::Create<TTv10Modul>(root);
  module->SetTavraTyp(5);
  module->SetKennung(42);
  module->SetId(id);
  module->SetName("Greenhouse logger");
  module->SetUpDevice();
  TTv10Modul* m = module.release();
  sim::SimConfig config;  // the simulator's logger: a temperature and a humidity sensor
  config.ApplySetting("kind", "5");
  const sim::Bytes block = config.BuildImage();
  TMemoryStream2 stream;
  stream.WriteBuffer(block.data(), static_cast<int32_t>(block.size()));
  stream.SetPosition(0);
  bool changed = false;
  m->ReadEEPar(&stream, changed, 0, 5);
  return m;
}

bool Capture(TDevice* node, int page, const std::string& file) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 520, 420);
  node->CreateEditor(&form, nullptr, nullptr);
  if (auto* slot = dynamic_cast<TTv10SubModEd*>(node->Editor())) slot->SubModFrame()->PageControl->SetActivePage(page);
  if (auto* module = dynamic_cast<TTv10ModEditor*>(node->Editor()))
    module->ModFrame()->PageControl->SetActivePage(page);
  form.Show();
  for (int i = 0; i < 5; ++i) Application->ProcessMessages();
  const bool ok = SaveWindowImage(&form, file);
  node->CloseEditor(false);
  return ok;
}

}  // namespace
}  // namespace qv

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: editor_gallery OUTPUT_FOLDER\n";
    return 2;
  }
  const std::string out = argv[1];
  qv::InitializeGui(argc, argv);
  std::string pattern = std::filesystem::temp_directory_path().string() + "/editor_gallery_XXXXXX";
  if (!mkdtemp(pattern.data())) return 1;
  qv::ExePath = pattern + "/";
  if (auto texts = qv::TLanguageTexts::Load(std::string(QV_SOURCE_DIR) + "/res/quarvel.ENU"))
    qv::SetLanguageTexts(std::make_shared<const qv::TLanguageTexts>(std::move(*texts)));
  qv::TTv10DevClassReg registry;
  qv::DevClassRegistry = &registry;
  qv::InstallDeviceEditors();
  int status = 0;
  {
    std::unique_ptr<qv::TDevice> root(qv::TDevice::CreateFromDir(nullptr, qv::ExePath));
    qv::AddNode(root.get(), 3, "Cellar north wall", "Cellar");
    qv::TTv10Modul* logger = qv::AddLogger(root.get(), 4);
    const std::vector<qv::Shot> shots = {
        {"device_editor.png", [](qv::TDevice* r) { return r->GetChild(0); }},
        {"logger_editor.png", [logger](qv::TDevice*) { return logger; }},
        {"logger_editor_logging.png", [logger](qv::TDevice*) { return logger; }, 1},
        {"logger_editor_preselect.png", [logger](qv::TDevice*) { return logger; }, 2},
        {"logger_editor_sensors.png", [logger](qv::TDevice*) { return logger; }, 3},
        {"sensor_slot_editor.png", [logger](qv::TDevice*) { return logger->GetSubModul(1); }},
        {"sensor_slot_editor_alarm.png", [logger](qv::TDevice*) { return logger->GetSubModul(1); }, 1},
        {"sensor_slot_editor_display.png", [logger](qv::TDevice*) { return logger->GetSubModul(2); }, 2},
    };
    for (const auto& shot : shots) {
      const std::string file = out + "/" + shot.file;
      if (!qv::Capture(shot.pick(root.get()), shot.page, file)) {
        std::cerr << "editor_gallery: cannot write " << file << "\n";
        status = 1;
      }
    }
    // The explorer over the whole tree with a sensor slot's editor open, and the sheet of its logger.
    {
      qv::TD31_Explorer explorer(nullptr, root.get());
      explorer.SelectElement(logger->GetSubModul(1));
      explorer.Show();
      for (int i = 0; i < 5; ++i) qv::Application->ProcessMessages();
      if (!qv::SaveWindowImage(&explorer, out + "/explorer.png")) status = 1;
      qv::TD71_PrintInfo sheet(nullptr);
      std::string title;
      qv::Application->OnIdle = [](qv::TComponent*, bool& done) {
        done = true;
        if (qv::D12_EnterString && qv::D12_EnterString->Modal()) qv::D12_EnterString->CancelBtn->Click();
      };
      if (explorer.BuildInfoSheet(sheet.RichEdit->Lines(), title)) {
        sheet.SetText(title);
        sheet.SetBounds(0, 0, 420, 560);
        sheet.Show();
        for (int i = 0; i < 5; ++i) qv::Application->ProcessMessages();
        if (!qv::SaveWindowImage(&sheet, out + "/device_info_sheet.png")) status = 1;
      } else {
        status = 1;
      }
      qv::Application->OnIdle = nullptr;
    }
  }
  {
    // The change-of-sensors dialog of a four-input logger on the two-sensor board.
    qv::TD38_Tv10EditSens dialog(nullptr);
    dialog.SetKind(6);
    dialog.SetBoard(2);
    dialog.FormShow();
    dialog.SetSlotType(1, 1);
    dialog.SetSlotType(2, 3);
    dialog.Show();
    for (int i = 0; i < 5; ++i) qv::Application->ProcessMessages();
    if (!qv::SaveWindowImage(&dialog, out + "/change_sensors_dialog.png")) status = 1;
  }
  std::filesystem::remove_all(pattern);
  return status;
}
