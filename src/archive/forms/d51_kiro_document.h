#pragma once
// The document window: one archive document, shown as its printed pages, with comments on the
// pages; it opens, checks, saves, signs and prints the document and records each step in the
// audit trail. The archive window owns it and drives it through its commands; what the window
// needs of the archive window (its page number edit) it reaches through the hooks below.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/dy_audit_manager.h"
#include "archive/dy_doc_content.h"
#include "archive/dy_doc_type_info.h"
#include "archive/dy_signature.h"
#include "archive/forms/dy_page.h"
#include "controls/sty_size_panel.h"
#include "platform/gui/forms.h"
#include "platform/rtl/date_time.h"

namespace qv {

class TScrollBox;
class TPopupMenu;
class TMenuItem;
class TMemo;
class TPrintDialog;

// Shows "3/7" in the archive window's page number edit.
extern std::function<void(const std::string& text)> DocumentPageNumText;

// A comment on a page: a panel with the comment's text in a memo; an editable one shows its
// border black while the mouse is over it.
class TDY_CommentPanel : public TStySizePanel {
public:
  using TStySizePanel::TStySizePanel;
  std::string ClassName() const override { return "TStySizePanel"; }
  bool Hover = false;

protected:
  void CMMouseEnter(TMessage& m) override;
  void CMMouseLeave(TMessage& m) override;
};

// The free area of the page being filled, in page pixels.
struct TDY_PageBox {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
};

class TD51_KiroDocument : public TForm {
public:
  static constexpr int HelpContext = 10000;
  // Hundredths of a millimetre per page pixel.
  static constexpr double PageScale = 26.25;
  static constexpr int PageOffset = 10;
  static constexpr int LineGap = 3;

  explicit TD51_KiroDocument(TComponent* owner);
  ~TD51_KiroDocument() override;
  std::string ClassName() const override { return "TD51_KiroDocument"; }

  std::string FileName;
  std::unique_ptr<TDY_DocContent> Content;
  std::unique_ptr<TDY_DocTypeInfo> DocType;
  std::unique_ptr<TDY_Signature> Signature;
  TDY_PageList Pages;
  int CurrentPage = -1;
  bool Modified = false;
  bool SignPending = false;
  bool Signed = false;
  bool SignatureValid = false;
  bool Valid = true;
  bool Printing = false;
  int LineHeight = 0;

  // Builds a new document of the type (relative to the data folder) with the loggers' data of a
  // range the user chooses, and saves it as file_name (relative as well). False when the type
  // cannot be read, the user cancels or the range holds no data: nothing is written.
  bool NewDocument(const std::string& type_file_name, const std::string& file_name);
  bool SelectDataRange();

  // Opening: reads and checks the file; false (the error box shown, the window as it was) when it
  // is no readable document.
  bool LoadDocument(const std::string& file_name);
  bool ReadDocument(const std::string& file_name);
  void SaveDocument();
  void SaveDocumentAs(const std::string& new_name);
  void SignDocument();
  void AddComment();
  void DeleteComment();

  bool FilePrintSetup();
  void PrintDoc();
  void DoPrintDoc();
  // Prints one page on the printer's current page.
  void PrintPage(const TDY_Page& page, const std::string& print_date, int page_count);

  int PageCount() const { return Pages.Count(); }
  int CurrentPageNumber() const { return CurrentPage + 1; }
  void GotoPageNumber(int n) { GotoPage(n - 1); }
  void GotoPage(int index);
  void PreviousPage();
  void NextPage();
  void ScrollUp();
  void ScrollDown();
  void SetModified(bool value);

  // The rows of the content's channels from the loggers' weekly data; answers how many.
  int ImportData(TDateTime start, TDateTime stop);

  // A chapter (orientation 0 portrait, 1 landscape) with its element, and an element.
  void AddChapter(const std::string& title, int32_t orientation, bool new_page);
  void AddDocElement(TDY_ElementKind kind, int32_t index);

  // Lays the document out as pages and shows the current one.
  void BuildPages();
  void CollectAuditEvents();

  // The print range the next print dialog offers.
  int PrintFromPage = 0, PrintToPage = 0, PrintCopies = 1;
  bool PrintCollate = false;

  TScrollBox* PageScroller;
  TDY_PagePanel* PagePanel;
  TPopupMenu* CommentPopupMenu;
  TMenuItem* mPopUpDeleteComment;
  TPrintDialog* PrintDialog;
  // The comment panels of the shown page.
  std::vector<TDY_CommentPanel*> CommentPanels;
  // The comment chosen with the right button; -1 none.
  int ChosenComment = -1;

protected:
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void DoClose(TCloseAction& action) override;

private:
  // Layout (the page builders).
  TDY_Page* NewPage();
  TDY_PageLabel& AddLabel(TDY_Page* page, TDY_PageFont font, const std::string& text, int alignment, TDY_PageBox& box);
  int NewGrid(TDY_Page* page, int col_count, TDY_PageBox& box, int row_count);
  void NewPairGrid(TDY_Page* page, int rows, TDY_PageBox& box,
                   const std::vector<std::pair<std::string, std::string>>& cells);
  void BuildDocInfo();
  void BuildSigInfo();
  void BuildDeviceInfo();
  void BuildAuditLog();
  int NewAuditHeader();
  void BuildDiagrams();
  void BuildTables();
  void BuildTable(const TDY_Table& table);
  int NewTableHeader(const TDY_Table& table);
  void PlaceComments();
  void ShowCurrentPage();
  void PageKey(uint16_t& key, TShiftState shift);
  void CreateCommentPanel(int index, bool editable);
  bool CommentsEditable() const;
  void ShowPageNumber();
  int TextWidthOf(TDY_PageFont font, const std::string& text) const;
  int TextHeightOf(TDY_PageFont font) const;
  int DateColumnWidth() const;

  void CommentMouseDown(TComponent* sender, TMouseButton button, TShiftState shift, int x, int y);
  void CommentMouseMove(TComponent* sender, TShiftState shift, int x, int y);
  void CommentMouseUp(TComponent* sender, TMouseButton button, TShiftState shift, int x, int y);
  void MemoChange(TComponent* sender);

  // An audit event recorded only once the save that it reports has written the file.
  void HoldEvent(TDY_AuditEventKind kind, const std::string& comment = std::string());
  void RecordEvent(TDY_AuditEventKind kind, const std::string& comment = std::string());
  std::string Subject() const { return Content->DocInfo.FileName; }

  TDY_Page* page_ = nullptr;  // the page being filled
  TDY_PageBox box_;
  int orientation_ = 0;
  int diagram_first_mark_ = 0, diagram_latest_mark_ = 0;
  std::vector<TDY_AuditEvent> held_events_;
  // Comment dragging.
  int drag_x_ = 0, drag_y_ = 0;
  bool moving_ = false, resizing_ = false;
  // Deferred work checks that the window still lives.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace qv
