#pragma once
// The archive window and the program's main form: it creates the logger main window, reads the
// archive settings ("Dossaly.ini"), starts users and log-on, keeps the rights of both windows up
// to date, asks for a new log-on after the inactivity time and holds the document windows as a
// multiple-document frame. It swaps places with the logger window, and closing it ends the
// program.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "archive/dy_doc_content.h"
#include "base/forms/multilingual_form.h"

namespace qv {

class TAction;
class TDY_DocTypeInfo;
class TDY_DocTypeList;
class TD51_KiroDocument;
class TEdit;
class TMainMenu;
class TMdiArea;
class TMenuItem;
class TOutline;
class TPanel;
class TPopupMenu;
class TSpeedButton;
class TStyToolbar;
class TTimer;

// The archive's document list: the entries "Dossaly.ini" stores and the tree shows.
class TDY_DocList : public TDY_OwnedList<TDY_DocInfo> {
public:
  // The index of the entry with that file name (compared ignoring case), or -1.
  int IndexOfDocFile(const std::string& file_name) const;
  // Removes and frees the entry.
  void Delete(int index);
};

class TD50_Dossaly : public TMultilingualForm1 {
public:
  // Runs the whole start-up (FormCreate); the global D50_Dossaly is this window from the first
  // line on, as the logger window it creates already reports user activity.
  explicit TD50_Dossaly(TComponent* owner);
  // FormDestroy: the settings are saved and the logger window is freed.
  ~TD50_Dossaly() override;
  std::string ClassName() const override { return "TD50_Dossaly"; }

  // The document list, the catalogue and the running flag.
  TDY_DocList DocList;
  std::unique_ptr<TDY_DocTypeList> DocTypes;
  bool Running = false;

  TOutline* DossalyTreeView = nullptr;
  TPanel* DossalyStatusBar = nullptr;
  TStyToolbar* StyToolbar = nullptr;
  TEdit* PageNumEdit = nullptr;
  TMainMenu* MainMenu1 = nullptr;
  TPopupMenu* DocPopupMenu = nullptr;
  TPopupMenu* DocTypePopupMenu = nullptr;
  TMdiArea* ClientArea = nullptr;
  TTimer* InactTimer = nullptr;

  // The action of that name, its menu item and tool button; null when there is none.
  TAction* Action(const std::string& name) const;
  TMenuItem* MenuItemOf(const std::string& action_name) const;
  TSpeedButton* ButtonOf(const std::string& action_name) const;
  TSpeedButton* QuarvelToolButton() const { return quarvel_button_; }
  // Sets an action's Enabled with its menu item and button; false when no action has the name.
  bool SetActionEnabled(const std::string& name, bool enabled);

  // The active document window, null when none.
  TD51_KiroDocument* ActiveDocument() const;
  int DocumentWindowCount() const;
  TD51_KiroDocument* DocumentWindow(int index) const;

  void NoteUserActivity();
  void ResetTimer();
  void InactTimerTimer();
  void RelogonAfterInactivity();
  void FormResize();
  void UpdateRights(bool closing);
  void ChildCloseQuery(TComponent* sender, bool& can_close);
  void PageNumEditChange();
  void QuarvelToolButtonClick();
  void SetLanguage();
  void LoadSettings();
  void SaveSettings();
  // The end by a termination signal: the documents stay as they are on disk, the user is logged
  // off and the end recorded, without questions.
  void EndWithoutQuestions();

  // The tree: the root, the types in catalogue order with their documents, then the documents
  // of no listed type under the external node. Document nodes carry their list entry, type nodes
  // their catalogue entry; a document whose file is missing says so after its name.
  void BuildDocumentTree();
  bool IsDocumentOpen(const TDY_DocInfo& entry) const;
  // Opens a document by its stored name (relative to the data folder unless absolute), or brings
  // its window forward. A missing file is recorded as deleted and leaves the list; a file that
  // is no readable document leaves it too. False unless a window shows the document.
  bool OpenDocument(const std::string& file_name);
  // The files chosen in the open dialog: known ones are opened, others are added first.
  void FileOpenActionAccept(const std::vector<std::string>& files);
  void NewDocumentActionExecute();
  // Creates a document of the type in the type's folder and opens it.
  bool NewDocOfType(TDY_DocTypeInfo& type);
  void NewDocumentTypeActionExecute();
  void EditDocumentTypeActionExecute();
  void EditDocType(TDY_DocTypeInfo& type);
  // After the confirmation: the file goes, then the entry and the settings follow and the
  // deletion is recorded. A file that cannot be deleted is reported, and nothing else changes.
  void DeleteDocType(TDY_DocTypeInfo& type);
  void DeleteDocument(TDY_DocInfo& entry);
  // The tree's handlers and pop-up commands, acting on the selected node.
  void DossalyTreeViewDblClick();
  void DossalyTreeViewMouseDown(TMouseButton button, int x, int y);
  void DeleteActionExecute();
  void ShowDocumentActionExecute();
  void NewDocOfTypeActionExecute();
  void EditKnownDocumentTypeActionExecute();
  // The entries of the selected node; null when it is no such node.
  TDY_DocInfo* SelectedDocument() const;
  TDY_DocTypeInfo* SelectedDocType() const;
  // The node that shows the entry, 0 when none does.
  int NodeOf(const void* entry) const;
  // Removes the list entry, unlinking the window that shows it.
  void RemoveDocListEntry(int index);
  // The list entry the window shows; null when none.
  TDY_DocInfo* EntryOf(const TD51_KiroDocument* window) const;

protected:
  bool CloseQuery() override;
  void DoClose(TCloseAction& action) override;

private:
  void FormCreate();
  bool FormCloseQuery();
  void FormShow();
  void BuildActions();
  void BuildMenu();
  void BuildToolbar();
  TAction* AddAction(const std::string& name, const std::string& caption_key, const std::string& hint_key,
                     std::function<void()> execute);
  TMenuItem* AddMenu(TMenuItem* parent, const std::string& name, const std::string& caption_key);
  TMenuItem* AddMenuItem(TMenuItem* parent, const std::string& action_name);
  void AddMenuSeparator(TMenuItem* parent);
  TSpeedButton* AddToolButton(const std::string& name, const std::string& action_name, int glyph);
  void AddToolSpacer();
  void ShowActivePageNumber();
  void OnDocument(const std::function<void(TD51_KiroDocument&)>& command);
  // Puts the rights of the current user on every open document window.
  void ApplyRightsToDocuments();

  std::map<std::string, TAction*> actions_;
  std::map<std::string, std::string> caption_keys_, hint_keys_;
  std::map<std::string, TMenuItem*> items_;
  std::map<std::string, TSpeedButton*> buttons_;
  // The list entry of each document window, by the window's component.
  std::map<const TComponent*, TDY_DocInfo*> entries_;
  // What each tree node with data stands for: a document or a type entry.
  struct TTreeRef {
    TDY_DocInfo* Doc = nullptr;
    TDY_DocTypeInfo* Type = nullptr;
  };
  std::vector<std::unique_ptr<TTreeRef>> tree_refs_;
  const TTreeRef* SelectedRef() const;
  // Shows, links and activates a document window that holds its document.
  void LinkDocumentWindow(TD51_KiroDocument* doc, TDY_DocInfo* entry);
  TSpeedButton* quarvel_button_ = nullptr;
  bool closing_ = false;
  bool settings_read_ = false;
  bool page_edit_busy_ = false;
};

// The document type dialogs; the archive window connects the real ones where a hook is empty.
// The type choice answers mrOk, 3 (delete) or 4 (new) and sets the chosen index; `all_buttons`
// false hides new and delete. The type editor edits the type of the file (a full path; a new type
// when it is empty) and answers the edited type on OK, null otherwise. The file-name entry gets
// the proposed name and answers the text confirmed with OK, or the proposal when the dialog was
// closed otherwise.
extern std::function<int(const std::vector<std::string>& names, bool all_buttons, int& selected)> RunD61SelectDocType;
extern std::function<std::unique_ptr<TDY_DocTypeInfo>(const std::string& file_name)> RunD54EditDocumentType;
extern std::function<std::string(const std::string& proposed)> RunD67EnterFileName;

// The relative name of a new document of the type: type_name + "/" + base + ".xml", or with
// "-k" before ".xml" for the smallest k from 1 whose file in the data folder does not exist.
std::string FreeDocumentName(const std::string& type_name, const std::string& base);

// The archive window; null before it exists and once it is gone.
extern TD50_Dossaly* D50_Dossaly;

// Creates the archive window as the program's main form. When the start-up ends the program (a
// cancelled log-on), the application is terminated already.
TD50_Dossaly* CreateD50Dossaly();

}  // namespace qv
