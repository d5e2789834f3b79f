// Writes a PNG of each shared dialog and of the common dialogs, for
// looking at them. Usage: dialog_showcase OUTPUT_FOLDER [LOCALE]   (LOCALE e.g. 1031 for German)
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>

#include "base/res_string.h"
#include "base/resource_locale.h"
#include "platform/gui/forms.h"
#include "platform/gui/printers.h"
#include "platform/os/home_folder.h"
#include "platform/rtl/date_time.h"
#include "shell/d12_enter_string.h"
#include "shell/d20_select_dlg.h"
#include "shell/d21_edit_title.h"
#include "shell/d32_insert_dt_range.h"
#include "shell/d43_print_select.h"
#include "shell/d70_sel_date_time.h"
#include "shell/d72_sel_start_date_time.h"
#include "shell/std_dialog_form.h"

namespace qv {
namespace {

int failures = 0;

void Save(TForm* form, const std::string& file) {
  form->Show();
  Application->ProcessMessages();
  if (!SaveWindowImage(form, file)) {
    std::cerr << "cannot write " << file << "\n";
    ++failures;
  } else {
    std::cout << file << "\n";
  }
  form->Hide();
}

void SaveCommon(TCommonDialog* dialog, const std::string& file) {
  SetCommonDialogUser([&](TCommonDialog&, const TCommonDialogWindow& w) {
    if (!w.SaveImage(file)) {
      std::cerr << "cannot write " << file << "\n";
      ++failures;
    } else {
      std::cout << file << "\n";
    }
    return false;
  });
  dialog->Execute();
  SetCommonDialogUser(nullptr);
}

int Run(const std::string& out, uint32_t locale) {
  std::filesystem::create_directories(out);
  TResourceLanguageSetup setup = DefaultResourceLanguageSetup();
  setup.ModuleFile = ShippedResourceFolder() + "/quarvel";
  SetResourceLanguageSetup(setup);
  if (!SetResourceLocale(locale, true)) std::cerr << "no language file for " << locale << "\n";
  InstallCommonDialogTexts();
  const std::string dir = out + "/";

  TD20_SelectDlg d20(nullptr);
  TStringList devices;
  for (const char* t : {"DL001 Cellar", "DL002 Attic", "DL003 Greenhouse north"}) devices.Add(t);
  d20.SetStyle(1);
  d20.SetItems(&devices);
  d20.SetSelIndex(1);
  Save(&d20, dir + "d20_select.png");

  TD21_EditTitle d21(nullptr);
  d21.SetStandardTitle("DL001 Cellar: Temperature");
  d21.SetCustomTitle("Cellar, winter");
  Save(&d21, dir + "d21_edit_title.png");

  TFixedClock clock(EncodeDate(2026, 12, 10) + EncodeTime(15, 30, 45, 0));
  TD32_InsertDtRange d32(nullptr, &clock);
  Save(&d32, dir + "d32_insert_dt_range.png");

  TD70_SelDateTime d70(nullptr, &clock);
  Save(&d70, dir + "d70_sel_date_time.png");

  TD72_SelStartDateTime d72(nullptr, &clock);
  d72.SelGroup->SetText("");
  d72.SetDateTime(EncodeDate(2026, 12, 7));
  Save(&d72, dir + "d72_sel_start_date_time.png");

  TD12_EnterString d12(nullptr);
  d12.SetText(LoadResString("d12_EnterStringCaption"));
  d12.SetMaxLength(20);
  d12.SetEditText("Calibrated 2026-11");
  Save(&d12, dir + "d12_enter_string.png");

  Save(PrintSelectDialog(), dir + "d43_print_select.png");
  delete d43_PrintSelect;

  TStdDialogForm holder(nullptr);
  holder.OpenDialog->InitialDir = dir;
  holder.OpenDialog->Filter = "Data files (*.QVR)|*.qvr|All files|*";
  SaveCommon(holder.OpenDialog, dir + "common_open.png");
  holder.SaveDialog->InitialDir = dir;
  holder.SaveDialog->FileName = "Export1.txt";
  SaveCommon(holder.SaveDialog, dir + "common_save.png");
  SaveCommon(holder.OpenPictureDialog, dir + "common_open_picture.png");
  Printer().FileTitle = "Hall temperature";  // what a plot of that title prints
  SaveCommon(holder.PrintDialog, dir + "common_print.png");
  Printer().FileTitle.clear();
  SaveCommon(holder.PrinterSetupDialog, dir + "common_printer_setup.png");
  SaveCommon(holder.FontDialog, dir + "common_font.png");
  SaveCommon(holder.ColorDialog, dir + "common_color.png");
  return failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace qv

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: dialog_showcase OUTPUT_FOLDER [LOCALE]\n";
    return 2;
  }
  qv::InitializeGui(argc, argv);
  const uint32_t locale = argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 0x0409;
  return qv::Run(argv[1], locale);
}
