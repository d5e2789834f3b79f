#pragma once
// The alarm e-mail settings: SMTP or the desktop's mail program, recipients, subject, added
// text, the SMTP server and its log-on, and a test mail. The test mail is sent on the sender's
// thread; its result appears when it is known, and the window stays usable meanwhile.
#include <memory>
#include <string>

#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"
#include "platform/os/message_queue.h"

namespace qv {

class TSendMail;

class TD65_EditEmail : public TForm {
public:
  TD65_EditEmail(TComponent* owner, TSendMail& mail);
  ~TD65_EditEmail() override;
  std::string ClassName() const override { return "TD65_EditEmail"; }

  TCheckBox* UseSMTPCheckBox;
  TCheckBox* UseMapiCheckBox;
  TEdit* RecipientsEdit;
  TEdit* CCRecipEdit;
  TEdit* SubjectEdit;
  TMemo* AddTextMemo;
  TEdit* SmtpSenderNameEdit;
  TEdit* SmtpSenderEmailEdit;
  TEdit* SmtpHostEdit;
  TEdit* SmtpPortEdit;
  TCheckBox* SmtpAuthRequiredCheckBox;
  TEdit* SmtpUserEdit;
  TEdit* SmtpPasswordEdit;
  TButton* SendTestMailButton;
  TEdit* TestResultEdit;
  TButton* OkButton;
  TButton* CancelButton;

  // Enables the SMTP controls with smtp; user and password follow the log-on check box.
  void ApplyMode(bool smtp);
  // Copies the controls into the sender and saves them. A port that is not a decimal integer
  // is shown as an error and nothing is copied: false, the dialog stays open.
  bool StoreSettings();

private:
  struct TTestState;
  void Changed();
  void SendTestMail();
  void TestMailDone();

  TSendMail& mail_;
  HWND wnd_ = nullptr;
  std::shared_ptr<TTestState> test_;
  bool applying_ = false;  // the mode boxes are being set to exclude each other
};

// Runs the dialog modally on the sender; answers the modal result.
int RunD65EditEmail(TSendMail& mail);

}  // namespace qv
