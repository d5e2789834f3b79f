// Writes a PNG of each dialog of the base services, the device model and the archive into the
// folder given with --out, in English, with sample contents.
#include <cstring>
#include <iostream>
#include <memory>
#include <string>

#include "archive/forms/d55_edit_user.h"
#include "archive/forms/d57_logon.h"
#include "archive/forms/d66_sig_reason.h"
#include "base/app_globals.h"
#include "base/forms/d23_edit_prot_options.h"
#include "base/info_data.h"
#include "base/language_file.h"
#include "base/res_string.h"
#include "comm/forms/phone_book.h"
#include "datastore/forms/chan_frame.h"
#include "datastore/channel.h"
#include "platform/gui/forms.h"
#include "shell/d22_about_box.h"
#include "shell/d42_export.h"
#include "shell/exp_format_frm.h"
#include "shell/process_window.h"

namespace {

bool Shot(qv::TForm& form, const std::string& file) {
  form.Show();
  qv::Application->ProcessMessages();
  const bool ok = qv::SaveWindowImage(&form, file);
  std::cout << (ok ? "wrote " : "failed ") << file << "\n";
  form.Hide();
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  qv::InitializeGui(argc, argv);
  std::string out = ".";
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--out") == 0) out = argv[i + 1];
  auto texts = qv::TLanguageTexts::Load(std::string(QV_SOURCE_DIR) + "/res/quarvel.ENU");
  if (texts) qv::SetLanguageTexts(std::make_shared<const qv::TLanguageTexts>(std::move(*texts)));
  bool ok = true;

  qv::TD23_EditProtOptions prot(nullptr);
  prot.SetAutoLogFile(true);
  prot.SetMaxSizeBytes(500 * 1024);
  ok &= Shot(prot, out + "/prot_options.png");

  qv::InstallChanEditor();
  qv::TForm chan_form(nullptr);
  chan_form.SetText("Channel");
  chan_form.SetBounds(0, 0, 440, 345);
  auto channel = qv::TChannel::CreateWithType(1, 0, 12, 1, 1.0, 40, -10, 100, -40, "°C", "T1", "Temperature");
  channel->CreateEditor(&chan_form, nullptr, nullptr);
  ok &= Shot(chan_form, out + "/chan_editor.png");
  channel.reset();

  qv::IniFileName = out + "/dialog_gallery.ini";
  qv::TPhoneBook book;
  if (book.Count() == 0) {
    book.EntryById(book.AddEntry())->Name = "Cellar logger";
    book.Entry(0)->Number = "0761 123456";
    book.EntryById(book.AddEntry())->Name = "Attic logger";
    book.Entry(1)->Number = "+49 761 654321";
  }
  qv::TD27_EdPhoneBook phone(nullptr, &book);
  phone.FillGrid();
  ok &= Shot(phone, out + "/phone_book.png");
  qv::TD28_EditPhoneNr entry(nullptr);
  entry.SetEntry("Cellar logger", "0761 123456");
  ok &= Shot(entry, out + "/phone_entry.png");
  qv::TInfoData info("Quarvel V2.0.0", "1999");
  qv::InfoData = &info;
  qv::TD22_AboutBox about(nullptr);
  ok &= Shot(about, out + "/about_box.png");
  qv::InfoData = nullptr;

  // The export wizard, page by page, with sample choices.
  qv::TD42_Export wizard(nullptr);
  wizard.SetRange(qv::EncodeDate(2026, 12, 10), qv::EncodeDate(2026, 12, 10) + 86399.0 / 86400.0);
  for (const char* line : {"Cellar logger: Temperature", "Cellar logger: Humidity", "Attic logger: Temperature"})
    wizard.SourceListBox->Items().Add(line);
  wizard.SourceListBox->SyncItems();
  wizard.ChanInfoFrm->SetInfoSet(1u | (1u << 3) | (1u << 6));
  wizard.SetFileName("/home/user/.local/share/quarvel/Export3.txt");
  wizard.FormatFrm->SetBadValStr("n/a");
  for (int page = 0; page < qv::TD42_Export::PageCount; ++page) {
    wizard.ShowPage(page);
    ok &= Shot(wizard, out + "/export_wizard_" + std::to_string(page) + ".png");
  }
  // The progress window while the export file is written.
  qv::TProcessWindow progress(nullptr);
  progress.SetText1(qv::LoadResString("d42_Exporting"));
  progress.SetText2("/home/user/.local/share/quarvel/Export3.txt");
  progress.SetCancelVisible(true);
  ok &= Shot(progress, out + "/export_progress.png");

  // The archive's log-on and user dialogs.
  qv::TD57_Logon logon(nullptr);
  logon.SetUserName("admin");
  logon.PasswordEdit->SetText("secret");
  ok &= Shot(logon, out + "/logon.png");
  qv::TD55_EditUser user(nullptr);
  user.SetText(qv::LoadResString("umg_AddAdmin"));
  user.UserIDNameEdit->SetText("ann");
  user.PasswordEdit1->SetText("Secret12");
  user.PasswordEdit2->SetText("Secret12");
  user.FirstNameEdit->SetText("Ann");
  user.SurNameEdit->SetText("Lee");
  user.CompanyEdit->SetText("Cellar & Co");
  user.EmailEdit->SetText("ann@example.com");
  for (const char* group : {"Administrators", "Users", "Readers"}) user.GroupComboBox->Items().Add(group);
  user.GroupComboBox->SyncItems();
  user.GroupComboBox->SetItemIndex(0);
  ok &= Shot(user, out + "/edit_user.png");
  // The archive's choice of the reason for signing a document.
  qv::TD66_SigReason sig_reason(nullptr);
  ok &= Shot(sig_reason, out + "/sig_reason.png");
  return ok ? 0 : 1;
}
