#pragma once
// The mail sender: one mail (recipients, subject, text, attachments) handed to the desktop's mail
// program, which shows it to the user for sending. Failures raise EMapiError with a fixed text
// per result code; a cancel raises the silent EMapiUserAbort.
#include <string>

#include "platform/gui/controls.h"
#include "platform/rtl/string_list.h"

namespace qv {

class EMapiError : public Exception {
public:
  EMapiError(std::string message, int error_code) : Exception(std::move(message)), ErrorCode(error_code) {}
  std::string ClassName() const override { return "EMapiError"; }
  int ErrorCode;
};
QV_DECLARE_EXCEPTION(EMapiUserAbort, EAbort);

// The text of a result code ("Unknown Error" for 7 and codes outside 1 to 26).
std::string MapiErrorText(int code);
// Raises the exception of a result code: 1 the silent abort, others EMapiError.
[[noreturn]] void RaiseMapiError(int code);

class TEdit;

class TStySendMessage : public TComponent {
public:
  // A mail carries at most this many recipients (all lists together) and attachments, and each
  // recipient line and each full attachment path at most 255 characters.
  static constexpr int kMaxRecipients = 2730;
  static constexpr int kMaxAttachments = 2730;
  static constexpr size_t kMaxLineLength = 255;

  explicit TStySendMessage(TComponent* owner);
  std::string ClassName() const override { return "TStySendMessage"; }

  TStringList& Attachments() { return attachments_; }
  virtual void SetAttachments(const TStringList& v) { attachments_.Assign(v); }
  TStringList& ToRecipients() { return to_; }
  virtual void SetToRecipients(const TStringList& v) { to_.Assign(v); }
  TStringList& CcRecipients() { return cc_; }
  virtual void SetCcRecipients(const TStringList& v) { cc_.Assign(v); }
  TStringList& BccRecipients() { return bcc_; }
  virtual void SetBccRecipients(const TStringList& v) { bcc_.Assign(v); }
  TStringList& MessageText() { return message_text_; }
  virtual void SetMessageText(const TStringList& v) { message_text_.Assign(v); }
  // A multi-line text control whose lines replace MessageText at sending.
  TControl* MessageMemo() const { return message_memo_; }
  virtual void SetMessageMemo(TControl* memo);
  // An edit whose text replaces Subject at sending.
  TEdit* SubjectEdit() const { return subject_edit_; }
  virtual void SetSubjectEdit(TEdit* edit);
  const std::string& Subject() const { return subject_; }
  void SetSubject(const std::string& v) { subject_ = v; }
  const std::string& Password() const { return password_; }
  void SetPassword(const std::string& v) { password_ = v; }
  const std::string& ProfileName() const { return profile_name_; }
  void SetProfileName(const std::string& v) { profile_name_ = v; }
  // The desktop's mail program always shows the mail before it is sent.
  bool Review() const { return review_; }
  void SetReview(bool v) { review_ = v; }

  // The desktop's mail program needs no log-on; both are kept for their callers.
  void Logon() {}
  void Logoff() {}
  // Hands the mail over. The cursor is the hourglass meanwhile and returns in every case.
  void Send();

  void Notification(TComponent* component, TOperation operation) override;

private:
  TStringList attachments_, to_, cc_, bcc_, message_text_;
  TControl* message_memo_ = nullptr;
  TEdit* subject_edit_ = nullptr;
  std::string password_, profile_name_, subject_;
  bool review_ = true;
};

}  // namespace qv
