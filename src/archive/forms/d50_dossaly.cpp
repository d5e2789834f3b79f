#include "archive/forms/d50_dossaly.h"

#include "archive/forms/archive_window.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "archive/archive_globals.h"
#include "archive/archive_start.h"
#include "archive/send_mail.h"
#include "archive/dy_audit_manager.h"
#include "archive/dy_doc_type_info.h"
#include "archive/dy_user_manager.h"
#include "archive/forms/d51_kiro_document.h"
#include "archive/forms/d52_dossaly_about_box.h"
#include "archive/forms/d53_dossaly_options.h"
#include "archive/forms/d54_edit_document_type.h"
#include "archive/forms/d55_edit_user.h"
#include "archive/forms/d56_edit_group.h"
#include "archive/forms/d57_logon.h"
#include "archive/forms/d59_admin_user.h"
#include "archive/forms/d60_show_log.h"
#include "archive/forms/d61_select_doc_type.h"
#include "archive/forms/d65_edit_email.h"
#include "archive/forms/d68_print_user_data.h"
#include "base/app_globals.h"
#include "base/ini_file2.h"
#include "platform/gui/common_dialogs.h"
#include "base/res_string.h"
#include "controls/sty_panel.h"
#include "controls/sty_toolbar.h"
#include "platform/gui/actions.h"
#include "platform/gui/ext_ctrls.h"
#include "platform/gui/mdi.h"
#include "platform/gui/menus.h"
#include "platform/gui/outline.h"
#include "platform/gui/std_ctrls.h"
#include "platform/rtl/exception.h"
#include "shell/qv_main_fm.h"

namespace qv {

TD50_Dossaly* D50_Dossaly = nullptr;

namespace {

constexpr const char* MainSection = "Dossaly";
constexpr int32_t MaxDocs = 100000;
constexpr int32_t MaxInactMinutes = 35791;  // the most minutes a timer's interval holds

bool FileThere(const std::string& name) {
  struct stat st {};
  return ::stat(name.c_str(), &st) == 0;
}

std::string Int(int64_t v) { return std::to_string(v); }
std::string Bool(bool v) { return v ? "1" : "0"; }

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// A small picture per tool button: a coloured square with a mark of its own.
void DrawGlyph(TBitmap& bmp, int index) {
  static const TColor colours[] = {clYellow, clBlue,  clGray, clGreen, clTeal, clMaroon, clNavy,
                                   clPurple, clOlive, clRed,  clAqua,  clLime, clFuchsia};
  bmp.SetSize(16, 16);
  TCanvas& c = bmp.Canvas();
  c.Brush().Color = clFuchsia;
  c.FillRect(Rect(0, 0, 16, 16));
  c.Brush().Color = colours[static_cast<size_t>(index) % std::size(colours)];
  c.Pen().Color = clBlack;
  c.Rectangle(Rect(2, 2, 14, 14));
  c.Brush().Color = clWhite;
  c.FillRect(Rect(5, 5 + index % 4, 11, 7 + index % 4));
}

// The file name as stored: relative to the data folder unless it holds a drive or is absolute.
std::string FullDocName(const std::string& name) {
  if (name.empty()) return name;
  if (name[0] == '/' || (name.size() > 1 && name[1] == ':')) return name;
  return ArchiveDataPath + name;
}

}  // namespace

void TDY_DocList::Delete(int index) {
  items_.at(static_cast<size_t>(index));  // raises outside the list
  items_.erase(items_.begin() + index);
}

int TDY_DocList::IndexOfDocFile(const std::string& file_name) const {
  for (int i = 0; i < Count(); ++i)
    if (SameText(FullDocName(Get(i)->FileName), file_name) || SameText(Get(i)->FileName, file_name)) return i;
  return -1;
}

TD50_Dossaly::TD50_Dossaly(TComponent* owner) : TMultilingualForm1(owner) {
  // The logger window, made inside this constructor, already reports user activity here.
  D50_Dossaly = this;
  SetName("D50_Dossaly");
  Keys().Text(
      this, "Caption", [this](const std::string& text) { SetText(text); }, "D50_Dossaly");
  SetBounds(0, 0, 800, 560);
  OnShow = [this](TComponent*) { FormShow(); };
  OnHide = [this](TComponent*) { NoteUserActivity(); };
  OnResize = [this](TComponent*) { FormResize(); };
  FormCreate();
}

TD50_Dossaly::~TD50_Dossaly() {
  // FormDestroy. Settings never read (the logger window failed to start) are not overwritten.
  try {
    if (settings_read_) SaveSettings();
  } catch (const std::exception& e) {
    ArchiveErrorBox(e.what());
  }
  entries_.clear();
  DocList.Clear();
  DocTypes.reset();
  try {
    delete QVMainFm;
  } catch (...) {
  }
  TQVMainFm::ShowArchiveWindow = nullptr;
  TQVMainFm::CloseArchiveWindow = nullptr;
  TQVMainFm::ArchiveLanguageChanged = nullptr;
  TQVMainFm::RelogonOnResize = nullptr;
  SetCommandEnabled = nullptr;
  TerminateProgram = nullptr;
  DocumentPageNumText = nullptr;
  AnyDocumentOpen = nullptr;
  EditEmailSettings = nullptr;
  SetUserActivityHook(nullptr);
  BeginDestroy();
  if (D50_Dossaly == this) D50_Dossaly = nullptr;
}

void TD50_Dossaly::FormCreate() {
  // 1.
  DocTypes = std::make_unique<TDY_DocTypeList>();
  Running = true;
  BuildActions();
  DocPopupMenu = new TPopupMenu(this);
  DocPopupMenu->SetName("DocPopupMenu");
  DocTypePopupMenu = new TPopupMenu(this);
  DocTypePopupMenu->SetName("DocTypePopupMenu");
  BuildMenu();
  BuildToolbar();
  DossalyStatusBar = new TPanel(this);
  DossalyStatusBar->SetName("DossalyStatusBar");
  DossalyStatusBar->SetAlign(TAlign::alBottom);
  DossalyStatusBar->SetHeight(19);
  DossalyStatusBar->SetParent(this);
  DossalyTreeView = new TOutline(this);
  DossalyTreeView->SetName("DossalyTreeView");
  DossalyTreeView->SetAlign(TAlign::alLeft);
  DossalyTreeView->SetWidth(180);
  DossalyTreeView->SetParent(this);
  DossalyTreeView->OnMouseMove = [this](TComponent*, TShiftState, int, int) { NoteUserActivity(); };
  DossalyTreeView->OnDblClick = [this](TComponent*) { DossalyTreeViewDblClick(); };
  DossalyTreeView->OnMouseDown = [this](TComponent*, TMouseButton button, TShiftState, int x, int y) {
    DossalyTreeViewMouseDown(button, x, y);
  };
  ClientArea = new TMdiArea(this);
  ClientArea->SetName("ClientArea");
  ClientArea->SetAlign(TAlign::alClient);
  ClientArea->SetParent(this);
  ClientArea->OnActiveChildChange = [this](TComponent*) { ShowActivePageNumber(); };
  InactTimer = new TTimer(this);
  InactTimer->SetName("InactTimer");
  InactTimer->SetEnabled(false);
  InactTimer->OnTimer = [this](TComponent*) { InactTimerTimer(); };

  // The hooks through which the users, the document windows and the logger side reach here.
  SetUserActivityHook([] {
    if (D50_Dossaly) D50_Dossaly->NoteUserActivity();
  });
  SetCommandEnabled = [](const std::string& name, bool enabled) {
    // A changed document enables its save, but only for a user who may save.
    if (enabled && name == "FileSaveAction" && !(UserManager && UserManager->HasRight(urSaveDocument))) enabled = false;
    if (D50_Dossaly && D50_Dossaly->SetActionEnabled(name, enabled)) return;
    if (QVMainFm) QVMainFm->SetCommandEnabled(name, enabled);
  };
  if (!CreateLogonDialog) CreateLogonDialog = CreateD57Logon;
  if (!CreateEditUserDialog) CreateEditUserDialog = CreateD55EditUser;
  if (!CreateAdminUserDialog) CreateAdminUserDialog = CreateD59AdminUser;
  if (!CreateAdminGroupDialog) CreateAdminGroupDialog = CreateD58AdminGroup;
  if (!CreateEditGroupDialog) CreateEditGroupDialog = CreateD56EditGroup;
  if (!PrintUserSheet) PrintUserSheet = PrintD68UserSheet;
  AnyDocumentOpen = [] { return D50_Dossaly && D50_Dossaly->DocumentWindowCount() > 0; };
  TerminateProgram = [] { Application->Terminate(); };
  AuditUserNameOfId = [](int32_t id) { return UserManager ? UserManager->UserNameOfId(id) : std::string(); };
  // The options dialog's button for the alarm e-mail settings.
  EditEmailSettings = [] {
    if (MailSender) RunD65EditEmail(*MailSender);
  };
  // The document type dialogs of the tree's commands (a test may have put its own in place).
  if (!RunD61SelectDocType)
    RunD61SelectDocType = [](const std::vector<std::string>& names, bool all_buttons, int& selected) {
      return RunSelectDocType(names, selected, all_buttons);
    };
  if (!RunD54EditDocumentType)
    RunD54EditDocumentType = [](const std::string& file_name) -> std::unique_ptr<TDY_DocTypeInfo> {
      if (!D50_Dossaly || !D50_Dossaly->DocTypes) return nullptr;
      return RunEditDocumentType(file_name, *D50_Dossaly->DocTypes);
    };
  if (!RunD67EnterFileName)
    RunD67EnterFileName = [](const std::string& proposed) {
      std::string name = proposed;
      RunEnterFileName(ArchiveDataPath, name);
      return name;
    };
  DocumentPageNumText = [](const std::string& text) {
    if (!D50_Dossaly || !D50_Dossaly->PageNumEdit) return;
    D50_Dossaly->page_edit_busy_ = true;
    D50_Dossaly->PageNumEdit->SetText(text);
    D50_Dossaly->page_edit_busy_ = false;
  };
  TQVMainFm::ShowArchiveWindow = [] {
    if (D50_Dossaly) D50_Dossaly->Show();
  };
  TQVMainFm::CloseArchiveWindow = [] {
    if (!D50_Dossaly || D50_Dossaly->closing_) return true;
    D50_Dossaly->Close();
    return QVMainFm && QVMainFm->Closing;
  };
  TQVMainFm::ArchiveLanguageChanged = [] {
    if (D50_Dossaly) D50_Dossaly->SetLanguage();
  };
  TQVMainFm::RelogonOnResize = [] {
    if (D50_Dossaly && RelogonPending) D50_Dossaly->RelogonAfterInactivity();
  };

  // 2. The whole logger side starts here.
  CreateQVMainFm(nullptr);
  if (!QVMainFm || QVMainFm->InitFailed()) return;

  // 3. and 4.
  ArchiveIniFile = ExePath + "Dossaly.ini";
  ArchiveDataPath = ExePath + "Dossaly/";
  LoadSettings();
  settings_read_ = true;
  // The e-mail settings live in the data folder the settings just named.
  if (MailSender) MailSender->LoadSettings();
  ::mkdir(ArchiveDataPath.c_str(), 0755);  // one level; a missing parent shows later
  BuildDocumentTree();

  // 5.
  UsersFile = ArchiveDataPath + "Users.dat";
  // A program started again in the same process (tests) reads the users afresh.
  delete UserManager;
  UserManager = nullptr;
  UserManager = new TDY_UserManager();

  // 6.
  UserManager->EnsureAdministrator();
  if (Application->Terminated()) return;

  // 7.
  AddAuditEvent(TDY_AuditEventKind::DossalyStart);

  // 8.
  if (!UserManager->CurrentUserName().empty() || UserManager->Logon(false)) {
    UpdateRights(false);
    QVMainFm->Show();
  } else {
    AddAuditEvent(TDY_AuditEventKind::DossalyEnd);
    Application->Terminate();
  }
  // 9.
  InactTimer->SetEnabled(true);
  ResetTimer();
}

// --- Actions, menu and toolbar -------------------------------------------------------------

TAction* TD50_Dossaly::AddAction(const std::string& name, const std::string& caption_key, const std::string& hint_key,
                                 std::function<void()> execute) {
  auto* action = new TAction(this);
  action->SetName(name);
  Keys().Text(
      action, "Caption", [action](const std::string& text) { action->SetCaption(text); }, caption_key);
  if (!hint_key.empty())
    Keys().Text(
        action, "Hint", [action](const std::string& text) { action->SetHint(text); }, hint_key);
  caption_keys_[name] = caption_key;
  hint_keys_[name] = hint_key;
  action->OnExecute = [this, execute](TComponent*) {
    NoteUserActivity();
    if (execute) execute();
  };
  actions_[name] = action;
  return action;
}

void TD50_Dossaly::OnDocument(const std::function<void(TD51_KiroDocument&)>& command) {
  if (TD51_KiroDocument* doc = ActiveDocument()) command(*doc);
}

void TD50_Dossaly::BuildActions() {
  AddAction("FileOpenAction", "m_File&Open", "hint_FileOpen", [this] {
    TOpenDialog dialog(this);
    dialog.DefaultExt = "xml";
    dialog.Filter = "KiroDocument (*.xml)|*.xml";
    dialog.InitialDir = ArchiveDataPath;
    dialog.Options |= ofAllowMultiSelect;
    if (!dialog.Execute()) return;
    FileOpenActionAccept(dialog.Files.Strings());
  });
  AddAction("FileSaveAction", "m_&FileSave", "hint_FileSave",
            [this] { OnDocument([](auto& d) { d.SaveDocument(); }); });
  AddAction("FileSaveAsAction", "m_FileSave&As", "hint_FileSaveAs", [this] {
    TD51_KiroDocument* doc = ActiveDocument();
    if (!doc) return;
    TSaveDialog dialog(this);
    dialog.DefaultExt = "xml";
    dialog.Filter = "KiroDocument (*.xml)|*.xml";
    const std::string& name = doc->FileName;
    const size_t slash = name.find_last_of('/');
    dialog.FileName = slash == std::string::npos ? name : name.substr(slash + 1);
    dialog.Options |= ofOverwritePrompt;
    if (dialog.Execute() && !dialog.FileName.empty() && ActiveDocument() == doc) doc->SaveDocumentAs(dialog.FileName);
  });
  AddAction("FilePrintAction", "m_File&Print", "hint_FilePrint", [this] { OnDocument([](auto& d) { d.PrintDoc(); }); });
  AddAction("FilePrintSetupAction", "m_FilePr&intSetup", "hint_FilePrintSetup",
            [this] { OnDocument([](auto& d) { d.FilePrintSetup(); }); });
  AddAction("FilePageSetupAction", "m_FilePage&Setup", "hint_FilePageSetup", nullptr);
  AddAction("FileExitAction", "m_File&Exit", "hint_FileExit", [this] { Close(); });
  // The document and type commands of the tree.
  AddAction("NewDocumentAction", "m_New&Document", "hint_NewDocument", [this] { NewDocumentActionExecute(); });
  AddAction("NewDocumentTypeAction", "m_NewDocument&Type", "hint_NewDocumentType",
            [this] { NewDocumentTypeActionExecute(); });
  AddAction("EditDocumentTypeAction", "m_EditDocumentType", "hint_EditDocumentType",
            [this] { EditDocumentTypeActionExecute(); });
  AddAction("EditKnownDocumentTypeAction", "m_EditDocumentType", "hint_EditKnownDocumentType",
            [this] { EditKnownDocumentTypeActionExecute(); });
  AddAction("DeleteDocTypeAction", "m_deleteDocType", "hint_DeleteDocType", [this] { DeleteActionExecute(); });
  AddAction("DeleteDocumentAction", "m_DeleteDocument", "hint_DeleteDocument", [this] { DeleteActionExecute(); });
  AddAction("ShowDocumentAction", "m_ShowDocument", "hint_ShowDocument", [this] { ShowDocumentActionExecute(); });
  AddAction("NewDocOfTypeAction", "m_NewDocOfType", "hint_NewDocOfType", [this] { NewDocOfTypeActionExecute(); });
  AddAction("SignDocumentAction", "m_&SignDocument", "hint_SignDocument",
            [this] { OnDocument([](auto& d) { d.SignDocument(); }); });
  AddAction("AddCommentAction", "m_AddComment", "hint_AddComment",
            [this] { OnDocument([](auto& d) { d.AddComment(); }); });
  AddAction("PageUpAction", "m_PageUp", "hint_PageUp", [this] { OnDocument([](auto& d) { d.PreviousPage(); }); });
  AddAction("PageDownAction", "m_PageDown", "hint_PageDown", [this] { OnDocument([](auto& d) { d.NextPage(); }); });
  AddAction("AdminUserAction", "m_&AdminUser", "hint_AdminUser", [] {
    if (UserManager) UserManager->AdminUsers();
  });
  AddAction("AdminGroupAction", "m_Admin&Group", "hint_AdminGroup", [this] {
    if (UserManager) UserManager->AdminGroups();
    UpdateRights(false);
  });
  AddAction("ShowAuditLogAction", "m_ShowAuditLog", "hint_ShowAuditLog", [] {
    if (AuditTrail) RunD60ShowLog(*AuditTrail);
  });
  AddAction("OptionsAction", "m_&Options", "hint_Options", [this] {
    if (ShowD53DossalyOptions()) SaveSettings();
  });
  AddAction("AboutAction", "m_&About", "hint_About", ShowD52DossalyAboutBox);
  AddAction("ShowNaviBarAction", "m_ShowNaviBar", "hint_ShowNaviBar",
            [this] { DossalyTreeView->SetVisible(!DossalyTreeView->Visible()); });
  AddAction("CustomizeActionBarsAction", "m_&EditToolbars", "hint_EditToolbars", nullptr);
  AddAction("WindowCloseAction", "m_WindowClos&e", "hint_WindowClose", [this] {
    if (TForm* f = ClientArea->ActiveChild()) f->Close();
  });
  AddAction("WindowCascade", "m_Window&Cascade", "hint_WindowCascade", [this] { ClientArea->Cascade(); });
  AddAction("WindowTileHorizontalAction", "m_WindowTile&Horizontal", "hint_WindowTileHorizontal",
            [this] { ClientArea->TileHorizontal(); });
  AddAction("WindowTileVerticalAction", "m_WindowTile&Vertical", "hint_WindowTileVertical",
            [this] { ClientArea->TileVertical(); });
  AddAction("WindowMinimizeAllAction", "m_Window&MinimizeAll", "hint_WindowMinimizeAll",
            [this] { ClientArea->MinimizeAll(); });
  AddAction("WindowArrangeAction", "m_Window&Arrange", "hint_WindowArrange", [this] { ClientArea->ArrangeIcons(); });
  for (const auto& [name, key] :
       std::vector<std::pair<std::string, std::string>>{{"HelpContentsAction", "m_Help&Contents"},
                                                        {"HelpTopicSearchAction", "m_HelpTopic&Search"},
                                                        {"HelpOnHelpAction", "m_Help&OnHelp"},
                                                        {"HelpContextAction", "m_HelpContext"}})
    AddAction(name, key, "", nullptr)->SetEnabled(false);
}

TMenuItem* TD50_Dossaly::AddMenu(TMenuItem* parent, const std::string& name, const std::string& caption_key) {
  auto* item = new TMenuItem(this);
  item->SetName(name);
  Keys().Text(
      item, "Caption", [item](const std::string& text) { item->SetCaption(text); }, caption_key);
  parent->Add(item);
  return item;
}

TMenuItem* TD50_Dossaly::AddMenuItem(TMenuItem* parent, const std::string& action_name) {
  TAction* action = actions_.at(action_name);
  auto* item = new TMenuItem(this);
  item->SetName(action_name.substr(0, action_name.size() - (action_name.ends_with("Action") ? 6 : 0)) + "Item");
  item->SetEnabled(action->Enabled());
  Keys().Text(
      item, "Caption", [item](const std::string& text) { item->SetCaption(text); }, caption_keys_.at(action_name));
  item->OnClick = [action](TComponent*) { action->Execute(); };
  parent->Add(item);
  items_[action_name] = item;
  return item;
}

void TD50_Dossaly::AddMenuSeparator(TMenuItem* parent) {
  auto* item = new TMenuItem(this);
  item->SetCaption("-");
  parent->Add(item);
}

void TD50_Dossaly::BuildMenu() {
  MainMenu1 = new TMainMenu(this);
  MainMenu1->SetName("MainMenu1");
  TMenuItem* root = MainMenu1->Items();
  TMenuItem* file = AddMenu(root, "m_file", "m_file");
  for (const char* a : {"FileOpenAction", "FileSaveAction", "FileSaveAsAction", "-", "FilePrintAction",
                        "FilePrintSetupAction", "-", "FileExitAction"})
    std::string(a) == "-" ? AddMenuSeparator(file) : (void)AddMenuItem(file, a);
  TMenuItem* document = AddMenu(root, "m_document", "m_document");
  for (const char* a : {"NewDocumentAction", "SignDocumentAction", "AddCommentAction", "-", "NewDocumentTypeAction",
                        "EditDocumentTypeAction"})
    std::string(a) == "-" ? AddMenuSeparator(document) : (void)AddMenuItem(document, a);
  TMenuItem* window = AddMenu(root, "m_window", "m_window");
  for (const char* a : {"WindowCloseAction", "WindowCascade", "WindowTileHorizontalAction", "WindowTileVerticalAction",
                        "WindowMinimizeAllAction", "WindowArrangeAction"})
    AddMenuItem(window, a);
  TMenuItem* tools = AddMenu(root, "m_tools", "m_tools");
  for (const char* a : {"AdminUserAction", "AdminGroupAction", "-", "ShowAuditLogAction", "-", "ShowNaviBarAction", "-",
                        "OptionsAction"})
    std::string(a) == "-" ? AddMenuSeparator(tools) : (void)AddMenuItem(tools, a);
  TMenuItem* help = AddMenu(root, "m_help", "m_help");
  for (const char* a :
       {"HelpContentsAction", "HelpTopicSearchAction", "HelpOnHelpAction", "HelpContextAction", "-", "AboutAction"})
    std::string(a) == "-" ? AddMenuSeparator(help) : (void)AddMenuItem(help, a);
  // The tree's pop-up menus.
  for (const char* a : {"ShowDocumentAction", "DeleteDocumentAction"}) AddMenuItem(DocPopupMenu->Items(), a);
  for (const char* a : {"NewDocOfTypeAction", "EditKnownDocumentTypeAction", "DeleteDocTypeAction"})
    AddMenuItem(DocTypePopupMenu->Items(), a);
  SetMenu(MainMenu1);
}

TSpeedButton* TD50_Dossaly::AddToolButton(const std::string& name, const std::string& action_name, int glyph) {
  auto* button = new TSpeedButton(this);
  button->SetName(name);
  button->SetBounds(0, 0, 25, 25);
  button->SetFlat(true);
  DrawGlyph(button->Glyph(), glyph);
  button->SetShowHint(true);
  if (!action_name.empty()) {
    TAction* action = actions_.at(action_name);
    button->SetEnabled(action->Enabled());
    if (!hint_keys_.at(action_name).empty()) Keys().Hint(button, hint_keys_.at(action_name));
    button->OnClick = [action](TComponent*) { action->Execute(); };
    buttons_[action_name] = button;
  }
  button->OnMouseMove = [this](TComponent*, TShiftState, int, int) { NoteUserActivity(); };
  button->SetParent(StyToolbar);
  return button;
}

void TD50_Dossaly::AddToolSpacer() {
  auto* s = new TStySpacer(this);
  s->SetGrooved(true);
  s->SetParent(StyToolbar);
}

void TD50_Dossaly::BuildToolbar() {
  StyToolbar = new TStyToolbar(this);
  StyToolbar->SetName("StyToolbar");
  StyToolbar->SetAlign(TAlign::alTop);
  StyToolbar->SetParent(this);
  StyToolbar->SetMargin(5);
  StyToolbar->OnMouseMove = [this](TComponent*, TShiftState, int, int) { NoteUserActivity(); };
  AddToolButton("FileOpenToolButton", "FileOpenAction", 0);
  AddToolButton("FileSaveToolButton", "FileSaveAction", 1);
  AddToolButton("FilePrintToolButton", "FilePrintAction", 2);
  AddToolSpacer();
  AddToolButton("NewDocumentToolButton", "NewDocumentAction", 3);
  AddToolButton("AddCommentToolButton", "AddCommentAction", 4);
  AddToolButton("SignDocumentToolButton", "SignDocumentAction", 5);
  AddToolSpacer();
  AddToolButton("NewDocumentTypeToolButton", "NewDocumentTypeAction", 6);
  AddToolButton("EditDocumentTypeToolButton", "EditDocumentTypeAction", 7);
  AddToolSpacer();
  AddToolButton("AdminGroupToolButton", "AdminGroupAction", 8);
  AddToolButton("AdminUserToolButton", "AdminUserAction", 9);
  AddToolSpacer();
  AddToolButton("ShowNaviBarToolButton", "ShowNaviBarAction", 10);
  AddToolButton("ShowAuditLogToolButton", "ShowAuditLogAction", 11);
  AddToolSpacer();
  AddToolButton("PageUpToolButton", "PageUpAction", 12);
  PageNumEdit = new TEdit(this);
  PageNumEdit->SetName("PageNumEdit");
  PageNumEdit->SetBounds(0, 0, 60, 21);
  PageNumEdit->SetEditAlignment(TAlignment::taRightJustify);
  PageNumEdit->SetText("0/0");
  Keys().Hint(PageNumEdit, "hint_PageNum");
  PageNumEdit->SetShowHint(true);
  PageNumEdit->OnChange = [this](TComponent*) {
    if (!page_edit_busy_) PageNumEditChange();
  };
  PageNumEdit->SetParent(StyToolbar);
  AddToolButton("PageDownToolButton", "PageDownAction", 13);
  quarvel_button_ = AddToolButton("QuarvelToolButton", "", 50);
  Keys().Hint(quarvel_button_, "Quarvel");
  quarvel_button_->OnClick = [this](TComponent*) { QuarvelToolButtonClick(); };
}

TAction* TD50_Dossaly::Action(const std::string& name) const {
  auto it = actions_.find(name);
  return it == actions_.end() ? nullptr : it->second;
}
TMenuItem* TD50_Dossaly::MenuItemOf(const std::string& name) const {
  auto it = items_.find(name);
  return it == items_.end() ? nullptr : it->second;
}
TSpeedButton* TD50_Dossaly::ButtonOf(const std::string& name) const {
  auto it = buttons_.find(name);
  return it == buttons_.end() ? nullptr : it->second;
}

bool TD50_Dossaly::SetActionEnabled(const std::string& name, bool enabled) {
  TAction* action = Action(name);
  if (!action) return false;
  action->SetEnabled(enabled);
  if (TMenuItem* item = MenuItemOf(name)) item->SetEnabled(enabled);
  if (TSpeedButton* button = ButtonOf(name)) button->SetEnabled(enabled);
  return true;
}

// --- Documents -----------------------------------------------------------------------------

TD51_KiroDocument* TD50_Dossaly::ActiveDocument() const {
  return ClientArea ? dynamic_cast<TD51_KiroDocument*>(ClientArea->ActiveChild()) : nullptr;
}

int TD50_Dossaly::DocumentWindowCount() const { return ClientArea ? ClientArea->ChildCount() : 0; }

TD51_KiroDocument* TD50_Dossaly::DocumentWindow(int index) const {
  return dynamic_cast<TD51_KiroDocument*>(ClientArea->Children(index));
}

namespace {

// The full path of a stored name; "\" from older installations separates folders as "/" does.
std::string DocPath(const std::string& name) {
  std::string full = FullDocName(name);
  std::replace(full.begin(), full.end(), '\\', '/');
  return full;
}

bool FileExistsAt(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// Deletes a file; one that is gone already counts as deleted. Empty when done, else the
// system's reason.
std::string DeleteFileReason(const std::string& path) {
  if (::unlink(path.c_str()) == 0 || errno == ENOENT) return {};
  return std::strerror(errno);
}

// A name that stays inside its folder.
bool IsFolderSafeName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\") == std::string::npos;
}

std::string WithoutFolderAndExtension(const std::string& name) {
  const size_t slash = name.find_last_of("/\\");
  std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
  const size_t dot = base.rfind('.');
  return dot == std::string::npos ? base : base.substr(0, dot);
}

}  // namespace

std::string FreeDocumentName(const std::string& type_name, const std::string& base) {
  const std::string stem = type_name + "/" + base;
  if (!FileExistsAt(ArchiveDataPath + stem + ".xml")) return stem + ".xml";
  for (int k = 1;; ++k) {
    const std::string name = stem + "-" + std::to_string(k) + ".xml";
    if (!FileExistsAt(ArchiveDataPath + name)) return name;
  }
}

std::function<int(const std::vector<std::string>& names, bool all_buttons, int& selected)> RunD61SelectDocType;
std::function<std::unique_ptr<TDY_DocTypeInfo>(const std::string& file_name)> RunD54EditDocumentType;
std::function<std::string(const std::string& proposed)> RunD67EnterFileName;

void TD50_Dossaly::BuildDocumentTree() {
  if (!DossalyTreeView) return;
  DossalyTreeView->BeginUpdate();
  DossalyTreeView->Clear();
  tree_refs_.clear();
  for (int i = 0; i < DocList.Count(); ++i) DocList.Get(i)->Listed = false;
  auto ref = [this](TDY_DocInfo* doc, TDY_DocTypeInfo* type) {
    tree_refs_.push_back(std::make_unique<TTreeRef>(TTreeRef{doc, type}));
    return static_cast<void*>(tree_refs_.back().get());
  };
  auto text = [](const TDY_DocInfo& e) {
    return FileExistsAt(DocPath(e.FileName)) ? e.Name : e.Name + " (" + LoadResString("DY_FileDoesNotExist") + ")";
  };
  const int root = DossalyTreeView->AddChildObject(0, "Dossaly", nullptr);
  for (int t = 0; DocTypes && t < DocTypes->Count(); ++t) {
    TDY_DocTypeInfo* type = DocTypes->Get(t);
    const int node = DossalyTreeView->AddChildObject(root, type->Name, ref(nullptr, type));
    for (int i = 0; i < DocList.Count(); ++i) {
      TDY_DocInfo* e = DocList.Get(i);
      const bool drive = e->FileName.size() > 1 && e->FileName[1] == ':';
      if (e->Listed || e->TypeID != type->ID || drive) continue;
      DossalyTreeView->AddChildObject(node, text(*e), ref(e, nullptr));
      e->Listed = true;
    }
  }
  int external = 0;
  for (int i = 0; i < DocList.Count(); ++i) {
    TDY_DocInfo* e = DocList.Get(i);
    if (e->Listed) continue;
    if (!external) external = DossalyTreeView->AddChildObject(root, LoadResString("DY_ExternalDoc"), nullptr);
    DossalyTreeView->AddChildObject(external, text(*e), ref(e, nullptr));
  }
  DossalyTreeView->FullExpand();
  DossalyTreeView->EndUpdate();
}

const TD50_Dossaly::TTreeRef* TD50_Dossaly::SelectedRef() const {
  const int node = DossalyTreeView ? DossalyTreeView->SelectedItem() : 0;
  return node ? static_cast<const TTreeRef*>(DossalyTreeView->NodeData(node)) : nullptr;
}

TDY_DocInfo* TD50_Dossaly::SelectedDocument() const {
  const TTreeRef* r = SelectedRef();
  return r ? r->Doc : nullptr;
}

TDY_DocTypeInfo* TD50_Dossaly::SelectedDocType() const {
  const TTreeRef* r = SelectedRef();
  return r ? r->Type : nullptr;
}

int TD50_Dossaly::NodeOf(const void* entry) const {
  for (int n = 1; DossalyTreeView && n <= DossalyTreeView->ItemCount(); ++n) {
    const auto* r = static_cast<const TTreeRef*>(DossalyTreeView->NodeData(n));
    if (r && (r->Doc == entry || r->Type == entry)) return n;
  }
  return 0;
}

bool TD50_Dossaly::IsDocumentOpen(const TDY_DocInfo& entry) const {
  for (const auto& [window, e] : entries_)
    if (e == &entry) return true;
  return false;
}

TDY_DocInfo* TD50_Dossaly::EntryOf(const TD51_KiroDocument* window) const {
  auto it = entries_.find(static_cast<const TComponent*>(window));
  return it == entries_.end() ? nullptr : it->second;
}

void TD50_Dossaly::RemoveDocListEntry(int index) {
  TDY_DocInfo* entry = DocList.Get(index);
  for (auto it = entries_.begin(); it != entries_.end();) it = it->second == entry ? entries_.erase(it) : std::next(it);
  DocList.Delete(index);
}

void TD50_Dossaly::LinkDocumentWindow(TD51_KiroDocument* doc, TDY_DocInfo* entry) {
  doc->OnCloseQuery = [this](TComponent* sender, bool& can_close) { ChildCloseQuery(sender, can_close); };
  // The window is half freed by then: it is only looked up, never used.
  doc->OnDestroy = [this](TComponent* sender) { entries_.erase(sender); };
  if (entry) {
    entries_[static_cast<const TComponent*>(doc)] = entry;
    entry->DocOpen = true;
  }
  doc->Show();
  ClientArea->SetActiveChild(doc);
  ShowActivePageNumber();
}

bool TD50_Dossaly::OpenDocument(const std::string& file_name) {
  NoteUserActivity();
  const std::string full = DocPath(file_name);
  if (!FileExistsAt(full)) {
    const std::string missing = LoadResString("DY_FileDoesNotExist");
    AddAuditEvent(TDY_AuditEventKind::DocumentDeleted, file_name, missing);
    ArchiveErrorBox(missing + " [" + full + "]");
    const int index = DocList.IndexOfDocFile(file_name);
    if (index >= 0) {
      RemoveDocListEntry(index);
      BuildDocumentTree();
    }
    return false;
  }
  for (int i = 0; i < DocumentWindowCount(); ++i) {
    TD51_KiroDocument* shown = DocumentWindow(i);
    if (!shown || shown->FileName != full) continue;
    if (shown->WindowState() == TWindowState::wsMinimized) shown->SetWindowState(TWindowState::wsNormal);
    ClientArea->SetActiveChild(shown);
    ShowActivePageNumber();
    return true;
  }
  auto* doc = new TD51_KiroDocument(this);
  ClientArea->AddChild(doc);
  if (!doc->LoadDocument(full)) {
    const int index = DocList.IndexOfDocFile(file_name);
    if (index >= 0) RemoveDocListEntry(index);
    BuildDocumentTree();
    delete doc;
    return false;
  }
  const int index = DocList.IndexOfDocFile(file_name);
  LinkDocumentWindow(doc, index >= 0 ? DocList.Get(index) : nullptr);
  return true;
}

void TD50_Dossaly::FileOpenActionAccept(const std::vector<std::string>& files) {
  NoteUserActivity();
  for (const std::string& file : files) {
    if (DocList.IndexOfDocFile(file) >= 0) {
      OpenDocument(file);
      continue;
    }
    auto entry = std::make_unique<TDY_DocInfo>();
    const size_t slash = file.find_last_of('/');
    entry->Name = slash == std::string::npos ? file : file.substr(slash + 1);
    entry->FileName = file;
    entry->TypeID = -1;
    DocList.Add(std::move(entry));
    OpenDocument(file);
    BuildDocumentTree();
  }
}

void TD50_Dossaly::NewDocumentActionExecute() {
  NoteUserActivity();
  if (!DocTypes || DocTypes->Count() == 0) {
    ArchiveErrorBox(LoadResString("DY_NoDocType"));
    return;
  }
  if (!RunD61SelectDocType) return;
  std::vector<std::string> names;
  for (int t = 0; t < DocTypes->Count(); ++t) names.push_back(DocTypes->Get(t)->Name);
  int selected = 0;
  if (RunD61SelectDocType(names, false, selected) == mrOk && selected >= 0 && selected < DocTypes->Count())
    NewDocOfType(*DocTypes->Get(selected));
}

bool TD50_Dossaly::NewDocOfType(TDY_DocTypeInfo& type) {
  NoteUserActivity();
  if (!IsFolderSafeName(type.Name)) {
    ArchiveErrorBox("NewDocOfType: Document type nicht gefunden !");
    return false;
  }
  ::mkdir((ArchiveDataPath + type.Name).c_str(), 0755);
  std::string name = FreeDocumentName(type.Name, type.Name + "-" + DateStamp(DefaultWallClock().Now()));
  const std::string proposed = WithoutFolderAndExtension(name);
  if (RunD67EnterFileName) {
    const std::string text = RunD67EnterFileName(proposed);
    if (text != proposed && IsFolderSafeName(text)) name = FreeDocumentName(type.Name, text);
  }
  auto* doc = new TD51_KiroDocument(this);
  ClientArea->AddChild(doc);
  if (!doc->NewDocument(type.FileName, name)) {
    delete doc;
    return false;
  }
  auto entry = std::make_unique<TDY_DocInfo>();
  entry->Name = WithoutFolderAndExtension(name);
  entry->FileName = name;
  entry->TypeID = type.ID;
  TDY_DocInfo* added = DocList.Add(std::move(entry));
  LinkDocumentWindow(doc, added);
  BuildDocumentTree();
  UpdateRights(false);
  return true;
}

void TD50_Dossaly::NewDocumentTypeActionExecute() {
  NoteUserActivity();
  if (!RunD54EditDocumentType || !DocTypes) return;
  std::unique_ptr<TDY_DocTypeInfo> type = RunD54EditDocumentType(std::string());
  if (!type || !IsFolderSafeName(type->Name)) return;
  ::mkdir((ArchiveDataPath + type->Name).c_str(), 0755);
  if (type->FileName.empty()) type->FileName = type->Name + ".dyt";
  type->ID = DocTypes->NextId();
  try {
    type->Save(ArchiveDataPath + type->FileName);
  } catch (const std::exception& e) {
    ArchiveErrorBox(e.what());
    return;
  }
  auto entry = std::make_unique<TDY_DocTypeInfo>();
  entry->ID = type->ID;
  entry->Name = type->Name;
  entry->FileName = type->FileName;
  DocTypes->Add(std::move(entry));
  BuildDocumentTree();
}

void TD50_Dossaly::EditDocumentTypeActionExecute() {
  NoteUserActivity();
  if (!RunD61SelectDocType || !DocTypes) return;
  std::vector<std::string> names;
  for (int t = 0; t < DocTypes->Count(); ++t) names.push_back(DocTypes->Get(t)->Name);
  int selected = 0;
  const int result = RunD61SelectDocType(names, true, selected);
  TDY_DocTypeInfo* type = selected >= 0 && selected < DocTypes->Count() ? DocTypes->Get(selected) : nullptr;
  if (result == mrOk && type)
    EditDocType(*type);
  else if (result == 3 && type)
    DeleteDocType(*type);
  else if (result == 4)
    NewDocumentTypeActionExecute();
}

void TD50_Dossaly::EditDocType(TDY_DocTypeInfo& type) {
  NoteUserActivity();
  if (!RunD54EditDocumentType) return;
  const std::string path = DocPath(type.FileName);
  std::unique_ptr<TDY_DocTypeInfo> edited = RunD54EditDocumentType(path);
  if (!edited) return;
  // The catalogue's id and file stay with the type.
  edited->ID = type.ID;
  if (edited->FileName.empty()) edited->FileName = type.FileName;
  try {
    edited->Save(path);
  } catch (const std::exception& e) {
    ArchiveErrorBox(e.what());
    return;
  }
  if (edited->Name != type.Name && IsFolderSafeName(edited->Name)) {
    type.Name = edited->Name;
    SaveSettings();
    BuildDocumentTree();
  }
}

void TD50_Dossaly::DeleteDocType(TDY_DocTypeInfo& type) {
  NoteUserActivity();
  if (MessageDlg(LoadResString("DY_DeleteDocType"), TMsgDlgType::mtConfirmation, mbYes | mbNo) != mrYes) return;
  const std::string file = type.FileName;
  const std::string path = DocPath(file);
  const std::string reason = DeleteFileReason(path);
  if (!reason.empty()) {
    ArchiveErrorBox(reason + " [" + path + "]");
    return;
  }
  for (int t = 0; t < DocTypes->Count(); ++t)
    if (DocTypes->Get(t) == &type) {
      DocTypes->Delete(t);
      break;
    }
  AddAuditEvent(TDY_AuditEventKind::DocTypeDeleted, file);
  SaveSettings();
  BuildDocumentTree();
}

void TD50_Dossaly::DeleteDocument(TDY_DocInfo& entry) {
  NoteUserActivity();
  if (MessageDlg(LoadResString("DY_DeleteDocument"), TMsgDlgType::mtConfirmation, mbYes | mbNo) != mrYes) return;
  const std::string file = entry.FileName;
  const std::string path = DocPath(file);
  const std::string reason = DeleteFileReason(path);
  if (!reason.empty()) {
    ArchiveErrorBox(reason + " [" + path + "]");
    return;
  }
  for (int i = 0; i < DocList.Count(); ++i)
    if (DocList.Get(i) == &entry) {
      RemoveDocListEntry(i);
      break;
    }
  AddAuditEvent(TDY_AuditEventKind::DocumentDeleted, file);
  SaveSettings();
  BuildDocumentTree();
}

void TD50_Dossaly::DossalyTreeViewDblClick() {
  NoteUserActivity();
  if (TDY_DocInfo* doc = SelectedDocument())
    OpenDocument(doc->FileName);
  else if (TDY_DocTypeInfo* type = SelectedDocType(); type && Action("EditKnownDocumentTypeAction")->Enabled())
    EditDocType(*type);
}

void TD50_Dossaly::DossalyTreeViewMouseDown(TMouseButton button, int x, int y) {
  NoteUserActivity();
  if (button != TMouseButton::mbRight) return;
  const int row = DossalyTreeView->ItemAtPos({x, y}, true);
  const int node = row >= 0 ? DossalyTreeView->RowNode(row) : 0;
  if (!node) return;
  DossalyTreeView->SetSelectedItem(node);
  const TPoint at = DossalyTreeView->ClientToScreen({x, y});
  if (SelectedDocument())
    DocPopupMenu->Popup(at.X, at.Y);
  else if (SelectedDocType())
    DocTypePopupMenu->Popup(at.X, at.Y);
}

// The deletion of a node's entry needs the right of its kind.
void TD50_Dossaly::DeleteActionExecute() {
  NoteUserActivity();
  if (TDY_DocInfo* doc = SelectedDocument()) {
    if (Action("DeleteDocumentAction")->Enabled()) DeleteDocument(*doc);
  } else if (TDY_DocTypeInfo* type = SelectedDocType()) {
    if (Action("DeleteDocTypeAction")->Enabled()) DeleteDocType(*type);
  }
}

void TD50_Dossaly::ShowDocumentActionExecute() {
  NoteUserActivity();
  if (TDY_DocInfo* doc = SelectedDocument()) OpenDocument(doc->FileName);
}

void TD50_Dossaly::NewDocOfTypeActionExecute() {
  NoteUserActivity();
  if (TDY_DocTypeInfo* type = SelectedDocType()) NewDocOfType(*type);
}

void TD50_Dossaly::EditKnownDocumentTypeActionExecute() {
  NoteUserActivity();
  if (TDY_DocTypeInfo* type = SelectedDocType()) EditDocType(*type);
}

void TD50_Dossaly::ShowActivePageNumber() {
  TD51_KiroDocument* doc = ActiveDocument();
  if (!PageNumEdit) return;
  page_edit_busy_ = true;
  PageNumEdit->SetText(doc ? Int(doc->CurrentPageNumber()) + "/" + Int(doc->PageCount()) : "0/0");
  page_edit_busy_ = false;
}

void TD50_Dossaly::PageNumEditChange() {
  try {
    const std::string text = PageNumEdit->Text();
    const std::string number = text.substr(0, text.find('/'));
    if (number.empty() || number.size() > 9 ||
        !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return;
    const int n = std::stoi(number);
    TD51_KiroDocument* doc = ActiveDocument();
    if (n > 0 && doc && n <= doc->PageCount() && n != doc->CurrentPageNumber()) doc->GotoPageNumber(n);
  } catch (...) {
    // A page number that cannot be shown changes nothing.
  }
}

void TD50_Dossaly::ChildCloseQuery(TComponent* sender, bool& can_close) {
  NoteUserActivity();
  can_close = true;
  TDY_DocInfo* entry = EntryOf(dynamic_cast<TD51_KiroDocument*>(sender));
  if (entry && Running && !(QVMainFm && QVMainFm->Closing)) entry->DocOpen = false;
  UpdateRights(true);
}

void TD50_Dossaly::UpdateRights(bool closing) {
  int open = 0;
  for (int i = 0; i < DocList.Count(); ++i)
    if (IsDocumentOpen(*DocList.Get(i))) ++open;
  if (closing) --open;
  if (UserManager) UserManager->ApplyRights(open > 0);
}

void TD50_Dossaly::ApplyRightsToDocuments() {
  for (int i = 0; i < DocumentWindowCount(); ++i)
    if (TD51_KiroDocument* doc = DocumentWindow(i)) doc->BuildPages();
}

// --- Activity and re-log-on ----------------------------------------------------------------

void TD50_Dossaly::NoteUserActivity() {
  if (!InactTimer) return;
  if (!UseInactTimer) {
    if (InactTimer->Enabled()) InactTimer->SetEnabled(false);
    return;
  }
  if (RelogonActive) return;
  InactTimer->SetEnabled(false);
  InactTimer->SetEnabled(true);
  ResetTimer();
}

void TD50_Dossaly::ResetTimer() {
  // A value outside what the timer holds, like 0, never fires.
  if (InactInterval <= 0 || InactInterval > MaxInactMinutes) {
    InactTimer->SetEnabled(false);
    return;
  }
  InactTimer->SetInterval(static_cast<uint32_t>(InactInterval) * 60000u);
}

void TD50_Dossaly::InactTimerTimer() {
  InactTimer->SetEnabled(false);
  if (!UseInactTimer) return;
  RelogonPending = true;
  if (WindowState() == TWindowState::wsMinimized || (QVMainFm && QVMainFm->WindowState() == TWindowState::wsMinimized))
    return;
  RelogonAfterInactivity();
}

void TD50_Dossaly::FormResize() {
  if (RelogonPending) RelogonAfterInactivity();
}

void TD50_Dossaly::RelogonAfterInactivity() {
  InactTimer->SetEnabled(false);
  if (!UseInactTimer) return;
  if (RelogonActive) return;
  RelogonActive = true;
  if (UserManager && UserManager->Logon(false)) {
    RelogonActive = false;
    NoteUserActivity();
    RelogonPending = false;
    // The user now logged on may be another one: the rights are theirs from now on.
    UpdateRights(false);
    ApplyRightsToDocuments();
  } else {
    AddAuditEvent(TDY_AuditEventKind::DossalyEnd);
    Application->Terminate();
  }
  RelogonActive = false;
}

// --- Showing, swapping, closing --------------------------------------------------------------

void TD50_Dossaly::FormShow() {
  if (!QVMainFm) return;
  SetWindowState(QVMainFm->WindowState());
  SetBounds(QVMainFm->Left(), QVMainFm->Top(), QVMainFm->Width(), QVMainFm->Height());
}

void TD50_Dossaly::QuarvelToolButtonClick() {
  NoteUserActivity();
  Hide();
  if (QVMainFm) QVMainFm->Show();
}

void TD50_Dossaly::SetLanguage() {
  BuildDocumentTree();
  for (int i = DocumentWindowCount() - 1; i >= 0; --i) ClientArea->Children(i)->Close();
}

bool TD50_Dossaly::CloseQuery() { return TMultilingualForm1::CloseQuery() && FormCloseQuery(); }

bool TD50_Dossaly::FormCloseQuery() {
  NoteUserActivity();
  if (closing_) return true;
  closing_ = true;
  // Closed here rather than from the logger window: that window's own question comes first.
  const bool from_here = QVMainFm && !QVMainFm->Closing;
  if (from_here) {
    if (!QVMainFm->TQvBaseForm::mehFormCloseQuery()) {
      closing_ = false;
      return false;
    }
    QVMainFm->Closing = true;
  }
  auto refuse = [this] {
    closing_ = false;
    if (QVMainFm) QVMainFm->Closing = false;
    return false;
  };
  // Every document is asked while its user is still logged on; one that keeps unsaved changes
  // after the user chose to save them keeps the program open.
  std::vector<TD51_KiroDocument*> discarded;
  for (int i = 0; i < DocumentWindowCount(); ++i) {
    TD51_KiroDocument* doc = DocumentWindow(i);
    if (!doc || !doc->Modified) continue;
    const int answer = MessageDlg(LoadResString("KD_SaveChanges") + " [" + doc->Caption() + "]",
                                  TMsgDlgType::mtConfirmation, mbYes | mbNo);
    if (answer != mrYes) {
      discarded.push_back(doc);
      continue;
    }
    doc->SaveDocument();
    if (doc->Modified) return refuse();
  }
  Running = false;
  for (TD51_KiroDocument* doc : discarded) doc->SetModified(false);
  for (int i = DocumentWindowCount() - 1; i >= 0; --i) ClientArea->Children(i)->Close();
  if (UserManager) UserManager->Logoff();
  AddAuditEvent(TDY_AuditEventKind::DossalyEnd);
  InactTimer->SetEnabled(false);
  // The logger window ends as when it is closed itself: its pages are kept.
  if (from_here && QVMainFm) QVMainFm->Close();
  return true;
}

void TD50_Dossaly::DoClose(TCloseAction& action) { TMultilingualForm1::DoClose(action); }

void TD50_Dossaly::EndWithoutQuestions() {
  if (closing_) return;
  closing_ = true;
  Running = false;
  // What was not saved stays unsaved: the files keep what they held.
  for (int i = 0; i < DocumentWindowCount(); ++i)
    if (TD51_KiroDocument* doc = DocumentWindow(i)) doc->SetModified(false);
  for (int i = DocumentWindowCount() - 1; i >= 0; --i) ClientArea->Children(i)->Close();
  if (UserManager) UserManager->Logoff();
  AddAuditEvent(TDY_AuditEventKind::DossalyEnd);
  if (InactTimer) InactTimer->SetEnabled(false);
}

// --- Settings ------------------------------------------------------------------------------

void TD50_Dossaly::LoadSettings() {
  if (FileThere(ArchiveIniFile)) {
    TIniFile2 ini(ArchiveIniFile);
    std::string path = ini.ReadString(MainSection, "DataPath", ExePath + "Dossaly/");
    if (path.empty()) path = ExePath + "Dossaly/";
    for (char& c : path)
      if (c == '\\') c = '/';
    if (path.back() != '/') path += '/';
    ArchiveDataPath = path;
    UseWinLogon = ini.ReadBool(MainSection, "UseWinLogon", false);
    PwdOnStartup = ini.ReadBool(MainSection, "PwdOnStartup", true);
    PwdOnSign = ini.ReadBool(MainSection, "PwdOnSign", true);
    SendEmailOnAlarmOffline = ini.ReadBool(MainSection, "SendEmailOnAlarmOffline", false);
    SendEmailOnAlarmRecorder = ini.ReadBool(MainSection, "SendEmailOnAlarmRecorder", false);
    AlwaysSendAlarmEmail = ini.ReadBool(MainSection, "AlwaysSendAlarmEmail", false);
    SendAlarmEmailInterval = ini.ReadTime(MainSection, "SendAlarmEmailInterval", EncodeTime(0, 15, 0, 0));
    InactInterval = ini.ReadInteger(MainSection, "InactInterval", 5);
    UseInactTimer = ini.ReadBool(MainSection, "UseInactTimer", false);
    // A damaged count makes no more entries than a list can sensibly hold.
    const int32_t count = std::clamp<int32_t>(ini.ReadInteger(MainSection, "NumDocs", 0), 0, MaxDocs);
    entries_.clear();
    DocList.Clear();
    for (int32_t i = 0; i < count; ++i) {
      const std::string section = "Document" + Int(i);
      auto entry = std::make_unique<TDY_DocInfo>();
      entry->Name = ini.ReadString(section, "Name", "");
      entry->FileName = ini.ReadString(section, "FileName", "");
      entry->TypeID = ini.ReadInteger(section, "DocTypeID", -1);
      entry->DocOpen = ini.ReadBool(section, "DocOpen", false);
      DocList.Add(std::move(entry));
    }
  }
  DocTypes->LoadFromIni();
}

void TD50_Dossaly::SaveSettings() {
  if (ArchiveIniFile.empty()) return;
  TIniFile2 ini(ArchiveIniFile);
  // Everything in one rewrite of the file, so a crash leaves the old settings or the new ones.
  TIniFile::TKeyValues keys = {{"DataPath", ArchiveDataPath},
                               {"UseWinLogon", Bool(UseWinLogon)},
                               {"PwdOnStartup", Bool(PwdOnStartup)},
                               {"PwdOnSign", Bool(PwdOnSign)},
                               {"SendEmailOnAlarmOffline", Bool(SendEmailOnAlarmOffline)},
                               {"SendEmailOnAlarmRecorder", Bool(SendEmailOnAlarmRecorder)},
                               {"AlwaysSendAlarmEmail", Bool(AlwaysSendAlarmEmail)},
                               {"SendAlarmEmailInterval", TimeToTagStr(SendAlarmEmailInterval)},
                               {"InactInterval", Int(InactInterval)},
                               {"UseInactTimer", Bool(UseInactTimer)},
                               {"NumDocs", Int(DocList.Count())}};
  std::vector<std::string> erase = {MainSection};
  const int32_t old_count = ini.ReadInteger(MainSection, "NumDocs", 0);
  for (int32_t i = 0; i < old_count && i < MaxDocs; ++i) erase.push_back("Document" + Int(i));
  std::vector<std::pair<std::string, TIniFile::TKeyValues>> sections;
  DocTypes->IniContent(ini, erase, keys, sections);
  std::vector<std::pair<std::string, TIniFile::TKeyValues>> write = {{MainSection, keys}};
  for (int i = 0; i < DocList.Count(); ++i) {
    const TDY_DocInfo& e = *DocList.Get(i);
    write.push_back(
        {"Document" + Int(i),
         {{"Name", e.Name}, {"FileName", e.FileName}, {"DocTypeID", Int(e.TypeID)}, {"DocOpen", Bool(e.DocOpen)}}});
  }
  for (auto& s : sections) write.push_back(std::move(s));
  ini.ReplaceSections(erase, write);
}

TD50_Dossaly* CreateD50Dossaly() {
  auto* form = new TD50_Dossaly(Application);
  Application->SetMainForm(form);
  return form;
}

TForm* CreateArchiveWindow() { return CreateD50Dossaly(); }

void EndArchiveWithoutQuestions() {
  if (D50_Dossaly) D50_Dossaly->EndWithoutQuestions();
}

}  // namespace qv
