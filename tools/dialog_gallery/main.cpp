// Writes a PNG of each dialog of the base services, the device model and the archive into the
// folder given with --out, in English, with sample contents.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <string>

#include "archive/archive_globals.h"
#include "archive/archive_start.h"
#include "archive/dy_user_manager.h"
#include "archive/dy_doc_type_info.h"
#include "archive/forms/d50_dossaly.h"
#include "archive/forms/d51_kiro_document.h"
#include "archive/forms/d52_dossaly_about_box.h"
#include "archive/forms/d53_dossaly_options.h"
#include "archive/forms/d54_edit_document_type.h"
#include "archive/forms/d55_edit_user.h"
#include "archive/forms/d56_edit_group.h"
#include "archive/forms/d57_logon.h"
#include "archive/forms/d60_show_log.h"
#include "archive/forms/d59_admin_user.h"
#include "archive/forms/d66_sig_reason.h"
#include "archive/forms/select_channels_dialog.h"
#include "archive/dy_audit_manager.h"
#include "archive/forms/d65_edit_email.h"
#include "archive/send_mail.h"
#include "base/app_globals.h"
#include "base/forms/d23_edit_prot_options.h"
#include "base/info_data.h"
#include "base/forms/iv_select_resource_language_dialog.h"
#include "base/language_file.h"
#include "base/resource_locale.h"
#include "base/res_string.h"
#include "comm/forms/phone_book.h"
#include "datastore/forms/chan_frame.h"
#include "datastore/channel.h"
#include "datastore/channels.h"
#include "datastore/kw_data.h"
#include "platform/gui/common_dialogs.h"
#include "platform/gui/actions.h"
#include "platform/gui/forms.h"
#include "shell/program_start.h"
#include "shell/qv_main_fm.h"
#include "platform/gui/printers.h"
#include "shell/d22_about_box.h"
#include "shell/d42_export.h"
#include "shell/exp_format_frm.h"
#include "shell/process_window.h"
#include "visual/d41_setup_gl_chans.h"

namespace {

bool Shot(qv::TForm& form, const std::string& file) {
  form.Show();
  qv::Application->ProcessMessages();
  const bool ok = qv::SaveWindowImage(&form, file);
  std::cout << (ok ? "wrote " : "failed ") << file << "\n";
  form.Hide();
  return ok;
}

// A week's document of a cold store: two channels of one logger, every section, a diagram, a
// table of 15-minute values with one value on its alarm limit, and a comment on the diagram.
void FillSampleDocument(qv::TD51_KiroDocument& w) {
  qv::TDY_DocInfo& info = w.Content->DocInfo;
  info.Title = "Cold store 3 - weekly record";
  info.Name = "ColdStore3_2026-49";
  info.FileName = "ColdStore3_2026-49.xml";
  info.TypeName = "Weekly cold store";
  info.CreateUser = info.User = "ann";
  info.CreationDate = qv::EncodeDate(2026, 12, 7) + 0.35;
  info.LastModified = qv::EncodeDate(2026, 12, 7) + 0.36;
  info.Width = 21000;
  info.Height = 29700;
  info.TopMargin = info.BottomMargin = 1500;
  info.LeftMargin = info.RightMargin = 2000;
  const char* names[2] = {"Temperature", "Humidity"};
  const char* units[2] = {"°C", "%rH"};
  for (int k = 0; k < 2; ++k) {
    auto c = std::make_unique<qv::TDY_Channel>();
    c->Device->LoggerID = 4711;
    c->Device->DeviceName = "Cold store 3";
    c->Device->DeviceSName = "CS3";
    c->ChannelID = k + 1;
    c->ChannelName = names[k];
    c->ChannelSName = k == 0 ? "T" : "rH";
    c->Unit = units[k];
    c->Decimals = 1;
    c->AlarmMin = k == 0 ? 2 : 30;
    c->AlarmMax = k == 0 ? 8 : 80;
    c->ChannelMin = k == 0 ? -40 : 0;
    c->ChannelMax = 100;
    c->Color = k == 0 ? 0x0000C0 : 0xC00000;
    c->PointerStyle = 8;
    w.Content->Channels.Add(std::move(c));
  }
  const std::pair<const char*, qv::TDY_ElementKind> sections[] = {
      {"KD_Title_DocInfo", qv::TDY_ElementKind::DocInfo},
      {"KD_Title_SigInfo", qv::TDY_ElementKind::SigInfo},
      {"KD_Title_DeviceInfo", qv::TDY_ElementKind::DeviceInfo},
      {"KD_Title_AuditLog", qv::TDY_ElementKind::AuditLog}};
  for (const auto& [title, kind] : sections) {
    w.AddChapter(qv::LoadResString(title), 0, false);
    w.AddDocElement(kind, 0);
  }
  w.AddChapter(qv::LoadResString("KD_Title_Diagrams"), 0, true);
  w.AddDocElement(qv::TDY_ElementKind::Diagram, 0);
  w.AddChapter(qv::LoadResString("KD_Title_Tables"), 1, true);
  w.AddDocElement(qv::TDY_ElementKind::Table, 0);
  auto diagram = std::make_unique<qv::TDY_Diagram>();
  diagram->Name = "Cold store 3";
  qv::CopyChannelList(w.Content->Channels, diagram->Channels);
  w.Content->Diagrams.Add(std::move(diagram));
  auto table = std::make_unique<qv::TDY_Table>();
  table->Name = "Values";
  qv::CopyChannelList(w.Content->Channels, table->Channels);
  w.Content->Tables.Add(std::move(table));
  const qv::TDateTime start = qv::EncodeDate(2026, 11, 30);
  for (int i = 0; i < 7 * 96; ++i) {
    const double t = start + i / 96.0;
    const double day = i / 96.0;
    w.Content->Data.Add({4711, 1, t, i == 300 ? 8.0 : 4.5 + 1.5 * std::sin(day * 6.283) + (i % 7) * 0.1});
    w.Content->Data.Add({4711, 2, t, 55 + 10 * std::cos(day * 3.1) + (i % 5)});
  }
  info.DataStartDate = w.Content->Data.FirstTime();
  info.DataEndDate = w.Content->Data.LastTime();
  const std::pair<qv::TDY_AuditEventKind, const char*> events[] = {
      {qv::TDY_AuditEventKind::DeviceData, "4711"},
      {qv::TDY_AuditEventKind::DeviceAlarm, "4711"},
      {qv::TDY_AuditEventKind::DocumentCreated, "ColdStore3_2026-49.xml"},
      {qv::TDY_AuditEventKind::DocumentSaved, "ColdStore3_2026-49.xml"}};
  double when = qv::EncodeDate(2026, 12, 7) + 0.30;
  for (const auto& [kind, subject] : events)
    w.Content->AuditLog.Add(qv::TDY_AuditEvent(kind, when += 0.01, subject, "", 1, "ann"));
  auto comment = std::make_unique<qv::TDY_Comment>();
  comment->Text = "Door left open on Wednesday\r\nafternoon; goods checked.";
  comment->Page = 2;
  comment->PosX = 420;
  comment->PosY = 600;
  comment->Width = 250;
  comment->Height = 70;
  w.Content->Comments.Add(std::move(comment));
}

}  // namespace

// The archive window as the program starts it in a fresh home folder, its user logged on by the
// system's user name, with two documents tiled side by side.
bool ArchiveWindowShot(const std::string& out) {
  char pattern[] = "/tmp/qv_gallery_home_XXXXXX";
  const std::string home = std::string(::mkdtemp(pattern)) + "/";
  std::filesystem::create_directories(home + "Dossaly");
  {
    qv::TDY_UserManager users(home + "Dossaly/Users.dat");
    users.AddGroup({1, "Admins", static_cast<uint16_t>((1u << qv::UserRightCount) - 1)});
    qv::TDY_User admin;
    admin.UserID = 1, admin.UserName = "admin", admin.Password = "Secret12", admin.GroupID = 1;
    users.AddUser(admin);
    users.SaveGroups();
    users.SaveUsers();
  }
  std::ofstream(home + "Dossaly.ini") << "[Dossaly]\nUseWinLogon=1\nPwdOnStartup=0\n";
  const std::function<std::string()> system_user = qv::SystemUserName;
  qv::SystemUserName = [] { return std::string("admin"); };
  bool ok = true;
  {
    qv::TProgram program({"--home", home}, std::string(QV_SOURCE_DIR) + "/res/");
    program.SetArchiveServices(qv::StartArchiveServices, qv::StopArchiveServices);
    program.SetMainWindow([] { return qv::CreateD50Dossaly(); }, nullptr);
    if (!program.Start() || !qv::D50_Dossaly) {
      std::cerr << "the archive window did not start\n";
      return false;
    }
    qv::TD50_Dossaly& archive = *qv::D50_Dossaly;
    // The tree: two types, the documents of one of them (one whose file is missing), and a
    // document opened from another folder.
    int32_t type_id = 1;
    for (const char* type_name : {"Cellar", "Cold room"}) {
      auto type = std::make_unique<qv::TDY_DocTypeInfo>();
      type->ID = type_id++;
      type->Name = type_name;
      type->FileName = std::string(type_name) + ".dyt";
      archive.DocTypes->Add(std::move(type));
    }
    std::filesystem::create_directories(qv::ArchiveDataPath + "Cellar");
    auto add_entry = [&archive](const std::string& name, const std::string& file, int32_t type) {
      auto entry = std::make_unique<qv::TDY_DocInfo>();
      entry->Name = name, entry->FileName = file, entry->TypeID = type;
      archive.DocList.Add(std::move(entry));
    };
    add_entry("Week 48", "Cellar/Week 48.xml", 1);
    for (const char* name : {"Week 49", "Week 50"}) {
      qv::TD51_KiroDocument doc(nullptr);
      FillSampleDocument(doc);
      doc.Content->DocInfo.Name = name;
      doc.FileName = qv::ArchiveDataPath + "Cellar/" + name + ".xml";
      doc.SetModified(true);
      doc.SaveDocument();
      add_entry(name, std::string("Cellar/") + name + ".xml", 1);
    }
    std::filesystem::copy_file(qv::ArchiveDataPath + "Cellar/Week 49.xml", home + "Audit 2026.xml");
    add_entry("Audit 2026.xml", home + "Audit 2026.xml", -1);
    archive.BuildDocumentTree();
    for (const char* name : {"Week 49", "Week 50"}) archive.OpenDocument(std::string("Cellar/") + name + ".xml");
    qv::QVMainFm->Hide();
    archive.Show();
    archive.SetWindowState(qv::TWindowState::wsNormal);
    archive.SetBounds(0, 0, 1100, 720);
    qv::Application->ProcessMessages();
    archive.Action("WindowTileVerticalAction")->Execute();
    qv::Application->ProcessMessages();
    ok = Shot(archive, out + "/archive_window.png");
    archive.Close();
  }
  qv::SystemUserName = system_user;
  std::error_code error;
  std::filesystem::remove_all(home, error);
  return ok;
}

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
  qv::TInfoData info("Quarvel V2.0", "1999");
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
  // The document type editor on a type of two devices, its tables and diagrams built from them.
  {
    const std::string dir = (std::filesystem::temp_directory_path() / "qv_gallery_type/").string();
    std::filesystem::create_directories(dir);
    qv::TDY_DocTypeInfo type;
    type.Name = "Cold store";
    type.Title = "Cold store, weekly report";
    type.ShowDocInfo = type.ShowSigInfo = type.ShowDeviceInfo = type.ShowAuditLog = true;
    type.ShowTables = type.ShowDiagrams = true;
    struct Chan {
      int logger;
      const char* device;
      const char* name;
      const char* unit;
    };
    int id = 0;
    for (const Chan& c : {Chan{7, "Cellar north", "Temperature", "°C"}, Chan{7, "Cellar north", "Humidity", "%rH"},
                          Chan{7, "Cellar north", "Dew point", "°C"}, Chan{9, "Loading bay", "Temperature", "°C"},
                          Chan{9, "Loading bay", "Pressure", "hPa"}}) {
      auto channel = std::make_unique<qv::TDY_Channel>();
      channel->Device->LoggerID = c.logger;
      channel->Device->DeviceName = c.device;
      channel->ChannelID = ++id;
      channel->ChannelName = c.name;
      channel->Unit = c.unit;
      type.Channels.Add(std::move(channel));
    }
    qv::GenerateTables(type, false, false, true);
    qv::GenerateDiagrams(type, false, true);
    const std::string file = dir + "Cold store.dyt";
    {
      std::ofstream out_file(file, std::ios::binary);
      for (const std::string& line : type.FileLines()) out_file << line << "\r\n";
    }
    qv::TD54_EditDocumentType editor(nullptr);
    editor.GetTypeContent(file);
    ok &= Shot(editor, out + "/edit_document_type.png");
    qv::TD64_EditDiagram diagram(nullptr);
    diagram.SetDiagram(editor.Type().Diagrams.Get(0), &editor.Type().Channels);
    ok &= Shot(diagram, out + "/edit_diagram.png");
    qv::TD63_EditDYChannels chooser(nullptr);
    chooser.SetAvailable(&editor.Type().Channels);
    chooser.SetSelected(&editor.Type().Tables.Get(0)->Channels);
    ok &= Shot(chooser, out + "/edit_dy_channels.png");
    std::filesystem::remove_all(dir);
  }
  // The archive's choice of the reason for signing a document.
  qv::TD66_SigReason sig_reason(nullptr);
  ok &= Shot(sig_reason, out + "/sig_reason.png");
  // The archive's choice of a document type's channels, with two chosen (no device tree here:
  // the lists of sources and of their channels stay empty).
  {
    const std::string dir = (std::filesystem::temp_directory_path() / "qv_gallery_chans/").string();
    std::filesystem::create_directories(dir);
    auto chans = qv::TChannels::CreateDefault();
    chans->Add(qv::TChannel::CreateWith(chans->NewKey(), 0, 1, 1, 8, 2, 40, -20, "°C", "T", "Temperature"));
    chans->Add(qv::TChannel::CreateWith(chans->NewKey(), 0, 0, 1, 80, 20, 100, 0, "%rH", "H", "Humidity"));
    qv::TDtRecord rec(2);
    qv::TKwData data(dir, chans.get(), &rec);
    data.SetName("Cold store");
    data.SetSName("Cold");
    qv::TChanSelList chosen{{&data, chans->GetValueChannel(0)}, {&data, chans->GetValueChannel(1)}};
    qv::TD41_SetupGlChans choice(nullptr);
    qv::SetUpSelectChannelsDialog(choice);
    choice.SetSelectList(&chosen);
    ok &= Shot(choice, out + "/archive_select_channels.png");
    std::filesystem::remove_all(dir);
  }
  // The audit-trail viewer on a short trail of a morning's events.
  {
    char pattern[] = "/tmp/qv_gallery_XXXXXX";
    const std::string folder = ::mkdtemp(pattern);
    qv::ArchiveDataPath = folder + "/";
    qv::TFixedClock clock(qv::EncodeDate(2026, 12, 9) + 8.0 / 24);
    qv::TDY_AuditManager trail(clock);
    trail.SetCurrentUser(1, "admin");
    trail.AddEvent(qv::TAuditKind::UserLogon, "admin");
    for (int i = 0; i < 40; ++i) {
      clock.Set(clock.Now() + 7.0 / 1440);
      if (i % 9 == 4)
        trail.AddEvent(qv::TAuditKind::DeviceAlarmStart, "Cellar 7", "Channel 1: 9.5 above the alarm limit 8.0");
      else if (i % 9 == 7)
        trail.AddEvent(qv::TAuditKind::DocumentSaved, "Cold store/Week 49.xml");
      else
        trail.AddEvent(qv::TAuditKind::DeviceData, "Cellar 7", "read " + std::to_string(120 + i) + " records");
    }
    qv::TD60_ShowLog viewer(nullptr, trail, &clock);
    ok &= Shot(viewer, out + "/audit_viewer.png");
    std::error_code error;
    std::filesystem::remove_all(folder, error);
  }

  // The language dialog as the program opens it on its default language 9 (English).
  qv::TResourceLanguageSetup languages = qv::DefaultResourceLanguageSetup();
  languages.ModuleFile = std::string(QV_SOURCE_DIR) + "/res/quarvel";
  qv::SetResourceLanguageSetup(languages);
  qv::SetResourceLocale(9, false);
  qv::TIvSelectResourceLanguageDialog language(nullptr);
  language.FillList();
  ok &= Shot(language, out + "/select_language.png");
  // The alarm e-mail settings after a test mail.
  qv::TSendMail mail;
  qv::TMailSettings settings;
  settings.UseSmtp = true;
  settings.Recipient = "ann@example.com";
  settings.CCRecipients = "bob@example.com";
  settings.Subject = "Quarvel Alarm";
  settings.AddText = "Cellar 2, Building B\r\nPlease call the caretaker.\r\n";
  settings.SenderName = "Quarvel";
  settings.SenderEmail = "logger@example.com";
  settings.SmtpHost = "mail.example.com";
  settings.SmtpPort = 587;
  settings.AuthRequired = true;
  settings.User = "alarm";
  settings.Password = "secret";
  mail.SetSettings(settings);
  qv::TD65_EditEmail email(nullptr, mail);
  email.TestResultEdit->SetText(qv::LoadResString("DY_EmailTestOK"));
  email.TestResultEdit->SetVisible(true);
  ok &= Shot(email, out + "/edit_email.png");

  // A document window with its pages (the first, the diagram page and a table page), and the
  // whole document printed to a PDF file.
  qv::TD51_KiroDocument document(nullptr);
  FillSampleDocument(document);
  document.SetText(document.Content->DocInfo.Name);
  document.SetBounds(0, 0, 840, 1160);
  document.BuildPages();
  for (int page : {0, 2, 3}) {
    document.GotoPage(page);
    ok &= Shot(document, out + "/document_page" + std::to_string(page + 1) + ".png");
  }
  qv::Printer().SetOutputFile(out + "/document.pdf");
  qv::SetCommonDialogUser([](qv::TCommonDialog&, qv::TCommonDialogWindow&) { return true; });
  document.PrintDoc();
  qv::SetCommonDialogUser(nullptr);
  std::cout << "wrote " << out << "/document.pdf\n";

  ok &= ArchiveWindowShot(out);
  // The archive's user and group administration.
  qv::TD59_AdminUser admin_user(nullptr);
  for (const char* name : {"chef", "ann", "rea"}) admin_user.UserListBox->Items().Add(name);
  admin_user.UserListBox->SyncItems();
  admin_user.UserListBox->SetItemIndex(1);
  ok &= Shot(admin_user, out + "/admin_user.png");
  qv::TD58_AdminGroup admin_group(nullptr);
  for (const char* name : {"Administrators", "Users", "Readers"}) admin_group.GroupListBox->Items().Add(name);
  admin_group.GroupListBox->SyncItems();
  ok &= Shot(admin_group, out + "/admin_group.png");
  qv::TD56_EditGroup group(nullptr);
  group.SetGroup(1, "Administrators", 0x3FFF & ~(1u << qv::urEditDiagram), true);
  ok &= Shot(group, out + "/edit_group.png");
  // The archive's options and about box.
  qv::ArchiveDataPath = "/home/ann/Quarvel2/Dossaly/";
  qv::UseWinLogon = true;
  qv::SendEmailOnAlarmRecorder = true;
  qv::InactInterval = 10;
  qv::TD53_DossalyOptions options(nullptr);
  ok &= Shot(options, out + "/archive_options.png");
  qv::TD52_DossalyAboutBox archive_about(nullptr);
  ok &= Shot(archive_about, out + "/archive_about.png");

  return ok ? 0 : 1;
}
