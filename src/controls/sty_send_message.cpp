#include "controls/sty_send_message.h"

#include <filesystem>
#include <system_error>

#include "base/res_string.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"
#include "platform/mail/desktop_mail.h"
#include "platform/rtl/format.h"

namespace qv {

std::string MapiErrorText(int code) {
  static const char* const kTexts[] = {nullptr,
                                       "User Abort",
                                       "General Failure",
                                       "Login Failure",
                                       "Disk Full",
                                       "Insufficient Memory",
                                       "Access Denied",
                                       nullptr,
                                       "Too Many Sessions",
                                       "Too Many Files",
                                       "Too Many Recipients",
                                       "Attachment Not Found",
                                       "Attachment Open Failure",
                                       "Attachment Write Failure",
                                       "Unknown Recipient",
                                       "Bad Recipient Type",
                                       "No Messages",
                                       "Invalid Message",
                                       "Text Too Large",
                                       "Invalid Session",
                                       "Type Not Supported",
                                       "Ambiguous Recipient",
                                       "Message In Use",
                                       "Network Failure",
                                       "Invalid Edit Fields",
                                       "Invalid Recipients",
                                       "Feature Not Supported"};
  if (code < 1 || code > 26 || !kTexts[code]) return "Unknown Error";
  return LoadResString(kTexts[code]);
}

void RaiseMapiError(int code) {
  if (code == 1) throw EMapiUserAbort(MapiErrorText(1));
  throw EMapiError(Format("MAPI: %s. ErrorCode = %d", MapiErrorText(code), code), code);
}

namespace {
constexpr int kGeneralFailure = 2, kTooManyFiles = 9, kTooManyRecipients = 10, kAttachmentNotFound = 11,
              kAttachmentOpenFailure = 12, kTextTooLarge = 18, kInvalidRecipients = 25, kFeatureNotSupported = 26;

int ResultCode(TDesktopMailResult r) {
  switch (r) {
    case TDesktopMailResult::Handed: return 0;
    case TDesktopMailResult::InvalidRecipient: return kInvalidRecipients;
    case TDesktopMailResult::FileMissing: return kAttachmentNotFound;
    case TDesktopMailResult::ProgramMissing:
    case TDesktopMailResult::ToolMissing: return kFeatureNotSupported;
    case TDesktopMailResult::TooLarge: return kTextTooLarge;
    default: return kGeneralFailure;
  }
}

std::vector<std::string> Lines(const TStringList& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list[i]);
  return out;
}

// Restores the screen cursor however Send ends.
struct CursorGuard {
  TCursor saved;
  CursorGuard() : saved(Screen ? Screen->Cursor() : crDefault) {
    if (Screen) Screen->SetCursor(crHourGlass);
  }
  ~CursorGuard() {
    if (Screen) Screen->SetCursor(saved);
  }
  CursorGuard(const CursorGuard&) = delete;
  CursorGuard& operator=(const CursorGuard&) = delete;
};
}  // namespace

TStySendMessage::TStySendMessage(TComponent* owner) : TComponent(owner) {}

void TStySendMessage::SetMessageMemo(TControl* memo) {
  if (memo == message_memo_) return;
  if (message_memo_) RemoveFreeNotification(message_memo_);
  message_memo_ = memo;
  if (memo) FreeNotification(memo);
}

void TStySendMessage::SetSubjectEdit(TEdit* edit) {
  if (edit == subject_edit_) return;
  if (subject_edit_) RemoveFreeNotification(subject_edit_);
  subject_edit_ = edit;
  if (edit) FreeNotification(edit);
}

void TStySendMessage::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == message_memo_) message_memo_ = nullptr;
  if (component == subject_edit_) subject_edit_ = nullptr;
}

void TStySendMessage::Send() {
  CursorGuard cursor;
  if (message_memo_) message_text_.SetText(message_memo_->Text());

  TDesktopMail mail;
  mail.Subject = subject_edit_ ? subject_edit_->Text() : subject_;
  for (int i = 0; i < message_text_.Count(); ++i) {
    if (i) mail.Body += '\n';
    mail.Body += message_text_[i];
  }
  mail.To = Lines(to_);
  mail.Cc = Lines(cc_);
  mail.Bcc = Lines(bcc_);
  // The limits hold for every mail, whoever fills the lists.
  if (mail.To.size() + mail.Cc.size() + mail.Bcc.size() > static_cast<size_t>(kMaxRecipients))
    RaiseMapiError(kTooManyRecipients);
  for (const auto* list : {&mail.To, &mail.Cc, &mail.Bcc})
    for (const std::string& r : *list)
      if (r.size() > kMaxLineLength) RaiseMapiError(kInvalidRecipients);
  if (attachments_.Count() > kMaxAttachments) RaiseMapiError(kTooManyFiles);
  for (int i = 0; i < attachments_.Count(); ++i) {
    std::error_code ec;
    std::string path = std::filesystem::absolute(attachments_[i], ec).lexically_normal().string();
    if (ec || path.size() > kMaxLineLength) RaiseMapiError(kAttachmentOpenFailure);
    if (!std::filesystem::is_regular_file(path, ec)) RaiseMapiError(kAttachmentNotFound);
    mail.Attachments.push_back(path);
  }
  int code = ResultCode(HandMailToDesktop(mail));
  if (code) RaiseMapiError(code);
}

}  // namespace qv
