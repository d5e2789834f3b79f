#include "archive/forms/d51_kiro_document.h"

#include <algorithm>
#include <cmath>

#include "archive/archive_globals.h"
#include "archive/dy_data_import.h"
#include "archive/dy_document_file.h"
#include "archive/dy_user_manager.h"
#include "archive/forms/aligned_string_grid.h"
#include "archive/forms/d66_sig_reason.h"
#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "base/resource_locale.h"
#include "controls/sty_size_panel.h"
#include "platform/gui/common_dialogs.h"
#include "platform/gui/list_ctrls.h"
#include "platform/gui/menus.h"
#include "platform/gui/printers.h"
#include "platform/gui/scroll_box.h"
#include "platform/gui/std_ctrls.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/file_io.h"
#include "platform/rtl/text_utils.h"
#include "shell/d32_insert_dt_range.h"

namespace qv {

std::function<void(const std::string& text)> DocumentPageNumText;

namespace {

bool IsContentEndLine(std::string_view line) { return SameText(line, "  </DocContent>"); }

// Shows the hourglass until it goes out of scope.
class THourglass {
public:
  THourglass() {
    if (Screen) Screen->SetCursor(crHourGlass);
  }
  ~THourglass() {
    if (Screen) Screen->SetCursor(crDefault);
  }
  THourglass(const THourglass&) = delete;
  THourglass& operator=(const THourglass&) = delete;
};

// The parts of a signature that a signing changes, to put back when the signed save fails.
struct TSignatureState {
  explicit TSignatureState(const TDY_Signature& s)
      : ContentDigest(s.ContentDigest),
        SigInfoDigest(s.SigInfoDigest),
        SignedInfoLines(s.SignedInfoLines),
        SigInfoLines(s.SigInfoLines),
        Modulus(s.Modulus),
        Exponent(s.Exponent),
        SignatureValue(s.SignatureValue),
        Status(s.Status),
        Unsigned(s.Unsigned) {}
  void Restore(TDY_Signature& s) const {
    s.ContentDigest = ContentDigest;
    s.SigInfoDigest = SigInfoDigest;
    s.SignedInfoLines = SignedInfoLines;
    s.SigInfoLines = SigInfoLines;
    s.Modulus = Modulus;
    s.Exponent = Exponent;
    s.SignatureValue = SignatureValue;
    s.Status = Status;
    s.Unsigned = Unsigned;
  }
  std::string ContentDigest, SigInfoDigest;
  TXmlLines SignedInfoLines, SigInfoLines;
  std::string Modulus, Exponent, SignatureValue, Status;
  bool Unsigned;
};

}  // namespace

void TDY_CommentPanel::CMMouseEnter(TMessage& m) {
  TStySizePanel::CMMouseEnter(m);
  if (Hover) SetBorderColor(clBlack);
}

void TDY_CommentPanel::CMMouseLeave(TMessage& m) {
  TStySizePanel::CMMouseLeave(m);
  if (Hover) SetBorderColor(clWhite);
}

TD51_KiroDocument::TD51_KiroDocument(TComponent* owner)
    : TForm(owner), Content(std::make_unique<TDY_DocContent>()), Signature(std::make_unique<TDY_Signature>()) {
  SetCaption("D51_KiroDocument");
  SetColor(clAppWorkSpace);
  SetBounds(0, 0, 860, 700);
  PageScroller = new TScrollBox(this);
  PageScroller->SetParent(this);
  PageScroller->SetAlign(TAlign::alClient);
  PageScroller->SetColor(clAppWorkSpace);
  PagePanel = new TDY_PagePanel(this);
  PagePanel->SetParent(PageScroller);
  PagePanel->SetBounds(PageOffset, PageOffset, 800, 1131);
  PagePanel->SetVisible(false);
  CommentPopupMenu = new TPopupMenu(this);
  mPopUpDeleteComment = new TMenuItem(CommentPopupMenu);
  mPopUpDeleteComment->SetName("mPopUpDeleteComment");
  mPopUpDeleteComment->SetCaption(LoadResString("m_DeleteComment"));
  mPopUpDeleteComment->OnClick = [this](TComponent*) {
    NoteUserActivity();
    DeleteComment();
  };
  CommentPopupMenu->Items()->Add(mPopUpDeleteComment);
  PrintDialog = new TPrintDialog(this);
  // The page keys work wherever the focus is in the window.
  auto keys = [this](TComponent*, uint16_t& key, TShiftState shift) { PageKey(key, shift); };
  PageScroller->OnKeyDown = keys;
  PagePanel->OnKeyDown = keys;
  PagePanel->OnWheel = [this](int delta) {
    NoteUserActivity();
    if (delta > 0)
      ScrollUp();
    else if (delta < 0)
      ScrollDown();
  };
  LineHeight = TextHeightOf(TDY_PageFont::Normal) + LineGap;
  OnShow = [this](TComponent*) {
    if (UserManager) UserManager->ApplyRights(Valid);
    if (SetCommandEnabled) SetCommandEnabled("FileSaveAction", Modified);
  };
  OnActivate = [this](TComponent*) {
    if (UserManager) UserManager->ApplyRights(Valid);
  };
}

TD51_KiroDocument::~TD51_KiroDocument() = default;

void TD51_KiroDocument::RecordEvent(TDY_AuditEventKind kind, const std::string& comment) {
  AddAuditEvent(kind, Subject(), comment);
}

void TD51_KiroDocument::HoldEvent(TDY_AuditEventKind kind, const std::string& comment) {
  const int32_t user_id = UserManager ? UserManager->CurrentUserId() : -1;
  const std::string user = UserManager ? UserManager->CurrentUserName() : std::string();
  held_events_.emplace_back(kind, Now(), Subject(), comment, user_id, user);
}

void TD51_KiroDocument::SetModified(bool value) {
  if (!Valid) return;
  Modified = value;
  if (SetCommandEnabled) SetCommandEnabled("FileSaveAction", value);
}

// ---------------------------------------------------------------------------------------------
// Opening

bool TD51_KiroDocument::LoadDocument(const std::string& file_name) {
  const std::string old_name = FileName;
  FileName = file_name;
  if (!ReadDocument(file_name)) {
    FileName = old_name;
    return false;
  }
  SetCaption(Content->DocInfo.Name);
  BuildPages();
  return true;
}

bool TD51_KiroDocument::ReadDocument(const std::string& file_name) {
  THourglass hourglass;
  bool error = false;
  bool valid = true, is_signed = false, signature_valid = false;
  auto fresh = std::make_unique<TDY_DocContent>();
  auto signature = std::make_unique<TDY_Signature>();
  std::string bytes;
  try {
    bytes = ReadFileBytes(file_name);
    const TXmlLineViews lines = SplitDocumentLineViews(bytes);
    if (lines.size() < 3 || lines[0] != XmlDeclarationLine) throw Exception("no document");
    int index = 2;  // the root line is not read
    if (!ReadDocContentXml(*fresh, lines, index)) throw Exception("content");
    if (!IsContentEndLine(XmlLineAt(lines, index - 1))) throw Exception("content end");
    const TXmlLineViews content_lines(lines.begin() + 2, lines.begin() + index);
    if (!signature->ReadXml(lines, index, is_signed)) throw Exception("signature");
    // The file must end with the root's closing line: anything else is cut off or damaged.
    int last = static_cast<int>(lines.size()) - 1;
    while (last >= index && Trim(lines[static_cast<size_t>(last)]).empty()) --last;
    if (last != index || Trim(lines[static_cast<size_t>(last)]) != DocumentRootCloseLine)
      throw Exception("document end");
    if (is_signed) {
      // The signature covers the digests: it is checked once they match (the content is hashed
      // once).
      valid = signature->VerifyDigests(content_lines);
      signature_valid = valid && signature->VerifySignedInfo();
    } else if (signature->Unsigned) {
      valid = signature->VerifyDigests(content_lines);
    } else {
      throw Exception("signature state");
    }
  } catch (const Exception&) {
    error = true;
  }
  if (error) {
    ArchiveErrorBox(LoadResString("KD_DocNotValid"));
    return false;
  }
  Content = std::move(fresh);
  Signature = std::move(signature);
  Valid = valid;
  Signed = is_signed;
  SignatureValid = signature_valid;
  SignPending = false;
  held_events_.clear();
  if (Signed && !SignatureValid) RecordEvent(TDY_AuditEventKind::DocumentSignatureInvalid, Signature->Status);
  if (!Valid) RecordEvent(TDY_AuditEventKind::DocumentInvalid);
  if (UserManager) UserManager->ApplyRights(Valid);
  // SetModified changes nothing while the document is not Valid; a fresh read is unmodified.
  Modified = false;
  if (SetCommandEnabled) SetCommandEnabled("FileSaveAction", false);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Saving and signing

void TD51_KiroDocument::SaveDocument() {
  if (!Modified) return;
  if (Signed && !SignPending) {
    held_events_.clear();
    ArchiveErrorBox(LoadResString("DY_ChangeSignature"));
    return;
  }
  THourglass hourglass;
  TDY_DocInfo& info = Content->DocInfo;
  // What a save that writes nothing must put back.
  const TDY_DocInfo old_info = info;
  TDY_AuditEventList old_log;
  Content->AuditLog.AppendCopiesTo(old_log);
  const TSignatureState old_signature(*Signature);
  const bool signing = SignPending;
  auto fail = [&] {
    info = old_info;
    Content->AuditLog.Clear();
    old_log.AppendCopiesTo(Content->AuditLog);
    old_signature.Restore(*Signature);
    if (signing && Signature->SigInfos.Count() > 0) Signature->SigInfos.Delete(Signature->SigInfos.Count() - 1);
    SignPending = false;
    held_events_.clear();
  };

  if (signing) {
    info.VersionDate = Now();
    info.Version = info.Version + 1;
  }
  if (info.LastModified != 0) HoldEvent(TDY_AuditEventKind::DocumentChanged);
  info.LastModified = Now();
  info.User = UserManager ? UserManager->CurrentUserName() : std::string();
  HoldEvent(TDY_AuditEventKind::DocumentSaved);
  CollectAuditEvents();
  // The held events belong to this save: the document lists them as recorded.
  for (const TDY_AuditEvent& event : held_events_) Content->AuditLog.Add(event);

  TXmlLines content_lines;
  TXmlLines signature_lines;
  try {
    WriteDocContentXml(*Content, content_lines, 1);
    if (signing) {
      TDY_SignerKeys keys;
      if (UserManager)
        keys = {UserManager->CurrentUserPrivateKey(), UserManager->CurrentUserPublicKey(),
                UserManager->CurrentUserCertificate()};
      if (!Signature->Sign(content_lines, keys)) {
        fail();
        return;
      }
    } else if (!Signed) {
      Signature->CalcDigests(content_lines);
    }
    Signature->WriteXml(signature_lines, 1, false);
    WriteDocumentFile(FileName, *Content, signature_lines);
  } catch (const Exception& e) {
    fail();
    ArchiveErrorBox(e.Message());
    BuildPages();
    return;
  }
  if (signing) {
    Signed = true;
    SignatureValid = true;
    SignPending = false;
  } else {
    SignatureValid = false;
  }
  for (const TDY_AuditEvent& event : held_events_) AddAuditEvent(event.Kind, event.Subject, event.Comment);
  held_events_.clear();
  SetModified(false);
  BuildPages();
}

void TD51_KiroDocument::SaveDocumentAs(const std::string& new_name) {
  NoteUserActivity();
  if (Modified) {
    HoldEvent(TDY_AuditEventKind::DocumentSavedAs, new_name);
    const std::string previous = FileName;
    FileName = new_name;
    SaveDocument();
    FileName = previous;
    SetModified(true);
    return;
  }
  THourglass hourglass;
  try {
    WriteFileAtomic(new_name, ReadFileBytes(FileName));
  } catch (const Exception& e) {
    ArchiveErrorBox(e.Message());
    return;
  }
  RecordEvent(TDY_AuditEventKind::DocumentSavedAs, new_name);
}

void TD51_KiroDocument::SignDocument() {
  NoteUserActivity();
  if (PwdOnSign && UserManager && !UserManager->Logon(true)) return;
  int reason = 0;
  if (RunD66SigReason(reason) != mrOk || reason < 0 || reason >= 4) return;
  const TDY_User* user = UserManager ? UserManager->CurrentUser() : nullptr;
  TDY_SigInfo info;
  info.TimeStamp = Now();
  info.Reason = LoadResString(SigReasons[reason].ItemKey);
  if (user) {
    info.UserName = user->FirstName + " " + user->SurName;
    info.Company = user->Company;
    info.Email = user->Email;
    info.UserID = user->UserName;
  }
  Signature->SigInfos.Add(info);
  HoldEvent(SigReasons[reason].Event);
  SignPending = true;
  SetModified(true);
  SaveDocument();
}

// ---------------------------------------------------------------------------------------------
// Comments

bool TD51_KiroDocument::CommentsEditable() const {
  return Valid && UserManager && UserManager->HasRight(urEditDocument);
}

void TD51_KiroDocument::AddComment() {
  NoteUserActivity();
  if (CurrentPage < 0) return;
  SetModified(true);
  auto comment = std::make_unique<TDY_Comment>();
  comment->Page = CurrentPage;
  comment->PosX = 150;
  comment->PosY = 150;
  comment->Width = 210;
  comment->Height = 160;
  Content->Comments.Add(std::move(comment));
  CreateCommentPanel(Content->Comments.Count() - 1, true);
  RecordEvent(TDY_AuditEventKind::Comment);
}

void TD51_KiroDocument::DeleteComment() {
  const int index = ChosenComment;
  ChosenComment = -1;
  if (index < 0 || index >= Content->Comments.Count()) return;
  RecordEvent(TDY_AuditEventKind::CommentDeleted);
  // The list owns its items; rebuild it without the deleted one.
  TDY_CommentList rest;
  for (int i = 0; i < Content->Comments.Count(); ++i)
    if (i != index) rest.Add(std::make_unique<TDY_Comment>(*Content->Comments.Get(i)));
  Content->Comments.Clear();
  for (int i = 0; i < rest.Count(); ++i) Content->Comments.Add(std::make_unique<TDY_Comment>(*rest.Get(i)));
  SetModified(true);
  // The other panels keep referring to their own comments.
  for (auto it = CommentPanels.begin(); it != CommentPanels.end();) {
    TDY_CommentPanel* panel = *it;
    if (panel->Tag == index) {
      it = CommentPanels.erase(it);
      delete panel;
      continue;
    }
    if (panel->Tag > index) {
      --panel->Tag;
      for (int i = 0; i < panel->ControlCount(); ++i) --panel->Controls(i)->Tag;
    }
    ++it;
  }
}

void TD51_KiroDocument::CreateCommentPanel(int index, bool editable) {
  const TDY_Comment& comment = *Content->Comments.Get(index);
  auto* panel = new TDY_CommentPanel(PagePanel);
  panel->SetAlign(TAlign::alCustom);
  panel->SetBounds(comment.PosX, comment.PosY, comment.Width, comment.Height);
  panel->SetBorderColor(clWhite);
  panel->SetBorderWidth(3);
  panel->SetSizeBarWidth(0);
  panel->Tag = index;
  auto* memo = new TMemo(panel);
  memo->SetParent(panel);
  memo->SetAlign(TAlign::alClient);
  memo->Tag = index;
  SetPageFont(memo->Font(), TDY_PageFont::Normal);
  memo->Font().SetStyle(static_cast<TFontStyles>(TFontStyle::fsItalic));
  memo->SetLinesText(comment.Text);
  memo->SetReadOnly(!editable);
  if (editable) {
    panel->OnMouseDown = [this](TComponent* s, TMouseButton b, TShiftState sh, int x, int y) {
      CommentMouseDown(s, b, sh, x, y);
    };
    panel->OnMouseMove = [this](TComponent* s, TShiftState sh, int x, int y) { CommentMouseMove(s, sh, x, y); };
    panel->OnMouseUp = [this](TComponent* s, TMouseButton b, TShiftState sh, int x, int y) {
      CommentMouseUp(s, b, sh, x, y);
    };
    panel->Hover = true;
    memo->OnChange = [this](TComponent* s) { MemoChange(s); };
  }
  panel->SetParent(PagePanel);
  CommentPanels.push_back(panel);
}

void TD51_KiroDocument::CommentMouseDown(TComponent* sender, TMouseButton button, TShiftState, int x, int y) {
  NoteUserActivity();
  auto* panel = static_cast<TStySizePanel*>(sender);
  if (button == TMouseButton::mbRight) {
    if (!UserManager || !UserManager->HasRight(urEditDocument)) return;
    ChosenComment = static_cast<int>(panel->Tag);
    const TPoint p = CursorPos();
    // The menu opens once the panel's mouse handling has returned: its item may delete the panel.
    PostDeferredCall([this, alive = std::weak_ptr<int>(alive_), p] {
      if (!alive.expired()) CommentPopupMenu->Popup(p.X, p.Y);
    });
    return;
  }
  if (button != TMouseButton::mbLeft) return;
  drag_x_ = x;
  drag_y_ = y;
  if (std::abs(x - panel->Width()) <= 10 && std::abs(y - panel->Height()) <= 10) {
    resizing_ = true;
    if (Screen) Screen->SetCursor(crSizeNWSE);
  } else {
    moving_ = true;
    if (Screen) Screen->SetCursor(crHandPoint);
  }
}

void TD51_KiroDocument::CommentMouseMove(TComponent* sender, TShiftState, int x, int y) {
  if (!moving_ && !resizing_) return;
  auto* panel = static_cast<TStySizePanel*>(sender);
  if (!Modified) RecordEvent(TDY_AuditEventKind::CommentChanged);
  SetModified(true);
  SignatureValid = false;
  if (moving_)
    panel->SetBounds(panel->Left() + x - drag_x_, panel->Top() + y - drag_y_, panel->Width(), panel->Height());
  else
    // A comment never shrinks below what can still be grabbed.
    panel->SetBounds(panel->Left(), panel->Top(), std::max(20, x), std::max(20, y));
}

void TD51_KiroDocument::CommentMouseUp(TComponent* sender, TMouseButton button, TShiftState, int, int) {
  if (button != TMouseButton::mbLeft) return;
  auto* panel = static_cast<TStySizePanel*>(sender);
  const int index = static_cast<int>(panel->Tag);
  if ((moving_ || resizing_) && index >= 0 && index < Content->Comments.Count()) {
    TDY_Comment& comment = *Content->Comments.Get(index);
    comment.PosX = panel->Left();
    comment.PosY = panel->Top();
    comment.Width = panel->Width();
    comment.Height = panel->Height();
  }
  moving_ = resizing_ = false;
  if (Screen) Screen->SetCursor(crDefault);
}

void TD51_KiroDocument::MemoChange(TComponent* sender) {
  auto* memo = static_cast<TMemo*>(sender);
  const int index = static_cast<int>(memo->Tag);
  if (index < 0 || index >= Content->Comments.Count()) return;
  if (!Modified) RecordEvent(TDY_AuditEventKind::CommentChanged);
  Content->Comments.Get(index)->Text = memo->LinesText();
  SetModified(true);
}

// ---------------------------------------------------------------------------------------------
// Navigation

void TD51_KiroDocument::ShowPageNumber() {
  if (DocumentPageNumText && CurrentPage >= 0)
    DocumentPageNumText(std::to_string(CurrentPage + 1) + "/" + std::to_string(PageCount()));
}

void TD51_KiroDocument::GotoPage(int index) {
  if (index == CurrentPage) return;
  if (index < 0 || index >= PageCount()) {
    MessageBeep();
    return;
  }
  CurrentPage = index;
  ShowCurrentPage();
  ShowPageNumber();
}

void TD51_KiroDocument::PreviousPage() {
  if (CurrentPage <= 0)
    MessageBeep();
  else
    GotoPage(CurrentPage - 1);
}

void TD51_KiroDocument::NextPage() {
  if (CurrentPage >= PageCount() - 1)
    MessageBeep();
  else
    GotoPage(CurrentPage + 1);
}

void TD51_KiroDocument::ScrollUp() {
  const int step = std::max(1, PageScroller->ClientRect().Height() / 10);
  const int position = PageScroller->VertPosition();
  if (position > 0) {
    PageScroller->SetVertPosition(std::max(0, position - step));
  } else if (CurrentPage > 0) {
    GotoPage(CurrentPage - 1);
    PageScroller->SetVertPosition(PageScroller->VertRange());
  }
}

void TD51_KiroDocument::ScrollDown() {
  const int step = std::max(1, PageScroller->ClientRect().Height() / 10);
  const int position = PageScroller->VertPosition();
  PageScroller->SetVertPosition(position + step);
  if (PageScroller->VertPosition() == position && CurrentPage < PageCount() - 1) {
    GotoPage(CurrentPage + 1);
    PageScroller->SetVertPosition(0);
  }
}

void TD51_KiroDocument::KeyDown(uint16_t& key, TShiftState shift) {
  TForm::KeyDown(key, shift);
  PageKey(key, shift);
}

void TD51_KiroDocument::PageKey(uint16_t& key, TShiftState) {
  NoteUserActivity();
  switch (key) {
    case VK_PRIOR: PreviousPage(); break;
    case VK_NEXT: NextPage(); break;
    case VK_END:
      if (CurrentPage >= PageCount() - 1)
        MessageBeep();
      else
        GotoPage(PageCount() - 1);
      break;
    case VK_HOME:
      if (CurrentPage <= 0)
        MessageBeep();
      else
        GotoPage(0);
      break;
    case VK_UP: ScrollUp(); break;
    case VK_DOWN: ScrollDown(); break;
    default: return;
  }
  key = 0;
}

void TD51_KiroDocument::DoClose(TCloseAction& action) {
  TForm::DoClose(action);
  action = TCloseAction::caFree;
  if (!Modified) return;
  const int answer =
      MessageDlg(LoadResString("KD_SaveChanges") + " [" + Caption() + "]", TMsgDlgType::mtConfirmation, mbYes | mbNo);
  if (answer != mrYes) return;
  SaveDocument();
  if (Modified) action = TCloseAction::caNone;
}

// ---------------------------------------------------------------------------------------------
// Data

int TD51_KiroDocument::ImportData(TDateTime start, TDateTime stop) {
  THourglass hourglass;
  Content->Data.Clear();
  TDY_DataImport importer;
  // The range as the user meant it, whichever end was entered first.
  const int rows = importer.ImportData(Content->Channels, Content->Data, std::min(start, stop), std::max(start, stop));
  Content->DocInfo.DataStartDate = Content->Data.FirstTime();
  Content->DocInfo.DataEndDate = Content->Data.LastTime();
  return rows;
}

bool TD51_KiroDocument::SelectDataRange() {
  TDateTime start = DocType->LastData;
  const TDateTime now = Now();
  const double today = std::floor(now);
  // ISO day of the week, Monday 1 to Sunday 7; day 0 (30 December 1899) was a Saturday.
  const int iso_day = (static_cast<int>(today) % 7 + 7 + 5) % 7 + 1;
  if (start == 0) start = today - iso_day - 6;
  TDateTime stop = today - iso_day + 0.999993;
  if (stop < start) stop = now;
  {
    auto dialog = std::make_unique<TD32_InsertDtRange>(Application);
    D32_InsertDtRange = dialog.get();
    struct TClearGlobal {
      ~TClearGlobal() { D32_InsertDtRange = nullptr; }
    } clear_global;
    dialog->SetStartDt(start);
    dialog->SetStopDt(stop);
    // The proposed range can be taken as it is: OK is enabled as after a change.
    dialog->OKBtn->SetEnabled(true);
    if (dialog->ShowModal() != mrOk) return false;
    start = dialog->GetStartDt();
    stop = dialog->GetStopDt();
  }
  if (ImportData(start, stop) == 0) {
    // A range without data makes no document.
    ArchiveInfoBox(LoadResString("DY_NoDataInRange"));
    return false;
  }
  DocType->SaveLastData(Content->DocInfo.DataEndDate);
  return true;
}

bool TD51_KiroDocument::NewDocument(const std::string& type_file_name, const std::string& file_name) {
  SetModified(true);
  DocType = std::make_unique<TDY_DocTypeInfo>();
  if (!DocType->Load(ArchiveDataPath + type_file_name)) return false;
  FileName = ArchiveDataPath + file_name;
  TDY_DocInfo& info = Content->DocInfo;
  info.FileName = file_name;
  info.Title = DocType->Title;
  const size_t slash = file_name.find_last_of("/\\");
  info.Name = StripFileExt(slash == std::string::npos ? file_name : file_name.substr(slash + 1));
  SetCaption(info.Name);
  info.TypeName = DocType->Name;
  info.TypeID = DocType->ID;
  info.CreationDate = Now();
  info.LastModified = 0;
  info.CreateUser = info.User = UserManager ? UserManager->CurrentUserName() : std::string();
  info.Width = DocType->Width;
  info.Height = DocType->Height;
  info.TopMargin = DocType->TopMargin;
  info.BottomMargin = DocType->BottomMargin;
  info.LeftMargin = DocType->LeftMargin;
  info.RightMargin = DocType->RightMargin;
  info.Language = static_cast<int32_t>(CurrentResourceLocale());

  // The type's channels as the device tree has them now.
  TDY_DataImport importer;
  if (importer.UpdateChannels(DocType->Channels)) {
    auto prune = [&importer](auto& list) {
      std::vector<int> keep;
      for (int i = 0; i < list.Count(); ++i) {
        importer.UpdateChannels(list.Get(i)->Channels);
        if (list.Get(i)->Channels.Count() > 0) keep.push_back(i);
      }
      using TItem = std::remove_pointer_t<decltype(list.Get(0))>;
      std::vector<std::unique_ptr<TItem>> kept;
      for (int i : keep) kept.push_back(list.Get(i)->Clone());
      list.Clear();
      for (auto& item : kept) list.Add(std::move(item));
    };
    prune(DocType->Diagrams);
    prune(DocType->Tables);
    if (MessageDlg(LoadResString("DY_SaveChangedChannel"), TMsgDlgType::mtConfirmation, mbYes | mbNo) == mrYes) {
      try {
        DocType->Save(ArchiveDataPath + DocType->FileName);
      } catch (const Exception& e) {
        ArchiveErrorBox(e.Message());
      }
    }
  }
  CopyChannelList(DocType->Channels, Content->Channels);
  CopyDiagramList(DocType->Diagrams, Content->Diagrams);
  CopyTableList(DocType->Tables, Content->Tables);

  const std::pair<bool, std::pair<const char*, TDY_ElementKind>> sections[] = {
      {DocType->ShowDocInfo, {"KD_Title_DocInfo", TDY_ElementKind::DocInfo}},
      {DocType->ShowSigInfo, {"KD_Title_SigInfo", TDY_ElementKind::SigInfo}},
      {DocType->ShowDeviceInfo, {"KD_Title_DeviceInfo", TDY_ElementKind::DeviceInfo}},
      {DocType->ShowAuditLog, {"KD_Title_AuditLog", TDY_ElementKind::AuditLog}}};
  for (const auto& [shown, section] : sections) {
    if (!shown) continue;
    AddChapter(LoadResString(section.first), 0, false);
    AddDocElement(section.second, 0);
  }
  if (DocType->ShowDiagrams) {
    AddChapter(LoadResString("KD_Title_Diagrams"), DocType->DiagsLandScape ? 1 : 0, Content->Chapters.Count() > 0);
    AddDocElement(TDY_ElementKind::Diagram, 0);
  }
  if (DocType->ShowTables) {
    AddChapter(LoadResString("KD_Title_Tables"), DocType->TablesLandScape ? 1 : 0, Content->Chapters.Count() > 0);
    AddDocElement(TDY_ElementKind::Table, 0);
  }

  if (!SelectDataRange()) return false;
  RecordEvent(TDY_AuditEventKind::DocumentCreated);
  SaveDocument();
  return true;
}

void TD51_KiroDocument::AddChapter(const std::string& title, int32_t orientation, bool new_page) {
  auto chapter = std::make_unique<TDY_Chapter>();
  chapter->Title = title;
  chapter->Orientation = orientation;
  chapter->NewPage = new_page;
  Content->Chapters.Add(std::move(chapter));
  AddDocElement(TDY_ElementKind::Chapter, Content->Chapters.Count() - 1);
}

void TD51_KiroDocument::AddDocElement(TDY_ElementKind kind, int32_t index) {
  auto element = std::make_unique<TDY_DocElement>();
  element->Kind = kind;
  element->Index = index;
  Content->DocElements.Add(std::move(element));
}

// ---------------------------------------------------------------------------------------------
// Printing

bool TD51_KiroDocument::FilePrintSetup() {
  NoteUserActivity();
  if (PrintFromPage == 0) {
    PrintFromPage = 1;
    PrintToPage = PageCount();
  }
  PrintToPage = std::min(PrintToPage, PageCount());
  if (PrintFromPage >= PrintToPage) PrintFromPage = 1;
  PrintDialog->MinPage = 1;
  PrintDialog->MaxPage = PageCount();
  PrintDialog->FromPage = PrintFromPage;
  PrintDialog->ToPage = PrintToPage;
  PrintDialog->Copies = PrintCopies;
  PrintDialog->PrintRange = TPrintRange::prPageNums;
  if (!PrintDialog->Execute()) return false;
  if (PrintDialog->PrintRange == TPrintRange::prAllPages) {
    PrintFromPage = 1;
    PrintToPage = PageCount();
  } else {
    PrintFromPage = std::clamp(PrintDialog->FromPage, 1, std::max(1, PageCount()));
    PrintToPage = std::clamp(PrintDialog->ToPage, PrintFromPage, std::max(1, PageCount()));
  }
  PrintCopies = std::max(1, PrintDialog->Copies);
  return true;
}

void TD51_KiroDocument::PrintDoc() {
  if (!FilePrintSetup()) return;
  THourglass hourglass;
  Printer().Title = "Dossaly - " + Content->DocInfo.Name;
  Printer().SetOrientation(TPrinterOrientation::poPortrait);
  const std::string text = LoadResString("m_PrintMsgF");
  if (RunUnderProgress)
    RunUnderProgress(text, [this] { DoPrintDoc(); });
  else
    DoPrintDoc();
}

void TD51_KiroDocument::DoPrintDoc() {
  if (PageCount() == 0) return;
  Printing = true;
  const std::string print_date = DateTimeText(Now());
  TPrinter& printer = Printer();
  const int from = std::clamp(PrintFromPage, 1, PageCount()) - 1;
  const int to = std::clamp(PrintToPage < 1 ? PageCount() : PrintToPage, from + 1, PageCount()) - 1;
  // The printer makes no copies: with collation the range is printed once per copy, without it
  // each page as many times as there are copies.
  std::vector<int> order;
  const int copies = std::max(1, PrintCopies);
  if (PrintCollate) {
    for (int c = 0; c < copies; ++c)
      for (int i = from; i <= to; ++i) order.push_back(i);
  } else {
    for (int i = from; i <= to; ++i)
      for (int c = 0; c < copies; ++c) order.push_back(i);
  }
  try {
    bool first = true;
    for (int index : order) {
      NoteUserActivity();
      const TDY_Page& page = *Pages.Get(index);
      printer.SetOrientation(page.Orientation == 1 ? TPrinterOrientation::poLandscape
                                                   : TPrinterOrientation::poPortrait);
      if (first)
        printer.BeginDoc();
      else
        printer.NewPage();
      first = false;
      PrintPage(page, print_date, PageCount());
    }
  } catch (const Exception& e) {
    ArchiveErrorBox(e.Message());
  }
  if (printer.Printing()) printer.EndDoc();
  Printing = false;
}

void TD51_KiroDocument::PrintPage(const TDY_Page& page, const std::string& print_date, int page_count) {
  TPrinter& printer = Printer();
  TCanvas& canvas = printer.Canvas();
  const double scale = std::min(static_cast<double>(printer.PageWidth()) / page.Width,
                                static_cast<double>(printer.PageHeight()) / page.Height);
  // Text takes the same share of the page as on the screen: the fonts are sized by the page scale.
  const int ppi = std::max(1, static_cast<int>(std::lround(kScreenPixelsPerInch * scale)));
  // The page's own controls, built on a hidden panel and drawn one by one at the printer's size.
  TDY_PagePanel panel(nullptr);
  panel.ShowPage(&page);
  auto sx = [scale](int v) { return static_cast<int>(v * scale); };
  for (int i = 0; i < panel.ControlCount(); ++i) {
    TControl* control = panel.Controls(i);
    if (auto* label = dynamic_cast<TLabel*>(control)) {
      std::string text = label->Caption();
      if (label->Name() == "PrintDate") text = print_date;
      if (label->Name() == "PageNum") text += "/" + std::to_string(page_count);
      canvas.Font().Assign(label->Font());
      canvas.Font().SetPixelsPerInch(ppi);
      canvas.Brush().Style = TBrushStyle::bsClear;
      canvas.TextOut(sx(label->Left()), sx(label->Top()), text);
    } else if (auto* grid = dynamic_cast<TAlignedStringGrid*>(control)) {
      // A copy at the printer's size: fonts at its resolution, every width and height scaled.
      TAlignedStringGrid copy(nullptr);
      copy.Font().Assign(grid->Font());
      copy.Font().SetPixelsPerInch(ppi);
      copy.SetGridLineWidth(grid->GridLineWidth());
      copy.SetDefaultCellAlignment(grid->DefaultCellAlignment());
      copy.OnGetCellAlignment = grid->OnGetCellAlignment;
      copy.SetScrollBars(TScrollStyle::ssNone);
      copy.SetColCount(grid->ColCount());
      copy.SetRowCount(grid->RowCount());
      copy.SetFixedCols(grid->FixedCols());
      copy.SetFixedRows(grid->FixedRows());
      copy.SetLeftCol(grid->LeftCol());
      copy.SetTopRow(grid->TopRow());
      copy.SetOptions(grid->Options());
      copy.SetBounds(0, 0, sx(grid->Width()), sx(grid->Height()));
      for (int c = 0; c < grid->ColCount(); ++c) copy.SetColWidths(c, sx(grid->ColWidths(c)));
      for (int r = 0; r < grid->RowCount(); ++r) {
        copy.SetRowHeights(r, sx(grid->RowHeights(r)));
        for (int c = 0; c < grid->ColCount(); ++c) copy.SetCells(c, r, grid->Cells(c, r));
      }
      copy.PaintOn(canvas, sx(grid->Left()), sx(grid->Top()));
    } else if (auto* chart = dynamic_cast<TChart*>(control)) {
      const TRect r{sx(chart->Left()), sx(chart->Top()), sx(chart->Left()) + sx(chart->Width()),
                    sx(chart->Top()) + sx(chart->Height())};
      chart->DrawTo(canvas, r, ppi);
    } else {
      ArchiveErrorBox("ComponentType not found !");
    }
  }
  // The comments of the page: their frame and text.
  const int page_index = [&] {
    for (int i = 0; i < Pages.Count(); ++i)
      if (Pages.Get(i) == &page) return i;
    return -1;
  }();
  for (int i = 0; i < Content->Comments.Count(); ++i) {
    const TDY_Comment& comment = *Content->Comments.Get(i);
    if (comment.Page != page_index) continue;
    TRect r{sx(comment.PosX), sx(comment.PosY), sx(comment.PosX + comment.Width), sx(comment.PosY + comment.Height)};
    canvas.Pen().Color = clBlack;
    canvas.Pen().Style = TPenStyle::psSolid;
    canvas.Pen().Width = 1;
    canvas.Brush().Style = TBrushStyle::bsSolid;
    canvas.Brush().Color = clWhite;
    canvas.Rectangle(r);
    SetPageFont(canvas.Font(), TDY_PageFont::Normal);
    canvas.Font().SetStyle(static_cast<TFontStyles>(TFontStyle::fsItalic));
    canvas.Font().SetColor(clBlack);
    canvas.Font().SetPixelsPerInch(ppi);
    const int inset = sx(5);
    TRect text_rect{r.Left + inset, r.Top + inset, r.Right - inset, r.Bottom - inset};
    std::string text = comment.Text;
    std::erase(text, '\r');
    canvas.Brush().Style = TBrushStyle::bsClear;
    canvas.DrawText(text, text_rect, DT_WORDBREAK | DT_NOPREFIX);
  }
}

}  // namespace qv
