#include "archive/forms/d65_edit_email.h"

#include <mutex>

#include "archive/send_mail.h"
#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "platform/rtl/exception.h"
#include "shell/dialog_parts.h"

namespace qv {

namespace {

constexpr uint32_t WM_TEST_MAIL_DONE = WM_USER + 65;
constexpr int Margin = 12;
constexpr int LabelWidth = 170;
constexpr int EditLeft = Margin + LabelWidth;
constexpr int EditWidth = 260;
constexpr int RowHeight = 28;

// A decimal integer, blanks around it allowed; raises the runtime's conversion error otherwise.
int32_t DecimalPort(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  const size_t last = text.find_last_not_of(' ');
  const std::string digits = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
  size_t i = digits.size() > 1 && (digits[0] == '-' || digits[0] == '+') ? 1 : 0;
  int64_t value = 0;
  bool ok = i < digits.size();
  for (; ok && i < digits.size(); ++i) {
    ok = digits[i] >= '0' && digits[i] <= '9';
    value = value * 10 + (digits[i] - '0');
    ok = ok && value <= INT32_MAX;
  }
  if (!ok) throw EConvertError("'" + text + "' is not a valid integer value");
  return static_cast<int32_t>(digits[0] == '-' ? -value : value);
}

}  // namespace

// What the sender's thread hands back to the window.
struct TD65_EditEmail::TTestState {
  std::mutex mutex;  // guards sent and error; a leaf lock
  bool sent = false;
  std::string error;
};

TD65_EditEmail::TD65_EditEmail(TComponent* owner, TSendMail& mail) : TForm(owner), mail_(mail) {
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetText(LoadResString("D65_EditEmail"));
  NoteActivityOnMouse(this);
  int top = 10;
  auto check = [&](const char* key) {
    auto* box = new TCheckBox(this);
    box->SetParent(this);
    box->SetBounds(Margin, top, LabelWidth + EditWidth, 20);
    box->SetText(LoadResString(key));
    NoteActivityOnMouse(box);
    top += 24;
    return box;
  };
  auto label = [&](const char* key) {
    auto* l = new TLabel(this);
    l->SetParent(this);
    l->SetBounds(Margin, top + 3, LabelWidth - 8, 15);
    l->SetText(LoadResString(key));
  };
  auto row = [&](const char* key) {
    label(key);
    auto* edit = new TEdit(this);
    edit->SetParent(this);
    edit->SetBounds(EditLeft, top, EditWidth, 21);
    NoteActivityOnMouse(edit);
    edit->OnChange = [this](TComponent*) { Changed(); };
    top += RowHeight;
    return edit;
  };
  UseSMTPCheckBox = check("D65_UseSMTP");
  UseMapiCheckBox = check("D65_UseMapi");
  top += 6;
  RecipientsEdit = row("D65_Recipient");
  CCRecipEdit = row("D65_CCRecipient");
  SubjectEdit = row("D65_Subject");
  label("D65_AddText");
  AddTextMemo = new TMemo(this);
  AddTextMemo->SetParent(this);
  AddTextMemo->SetBounds(EditLeft, top, EditWidth, 60);
  NoteActivityOnMouse(AddTextMemo);
  top += 60 + 12;
  SmtpSenderNameEdit = row("D65_SmtpSenderName");
  SmtpSenderEmailEdit = row("D65_SmtpSenderEmail");
  SmtpHostEdit = row("D65_SmtpHost");
  SmtpPortEdit = row("D65_SmtpPort");
  SmtpPortEdit->SetBounds(EditLeft, SmtpPortEdit->Top(), 70, 21);
  SmtpAuthRequiredCheckBox = new TCheckBox(this);
  SmtpAuthRequiredCheckBox->SetParent(this);
  SmtpAuthRequiredCheckBox->SetBounds(EditLeft, top, EditWidth, 20);
  SmtpAuthRequiredCheckBox->SetText(LoadResString("D65_SmtpAuthRequired"));
  NoteActivityOnMouse(SmtpAuthRequiredCheckBox);
  top += 26;
  SmtpUserEdit = row("D65_SmtpUser");
  SmtpPasswordEdit = row("D65_SmtpPassword");
  SmtpPasswordEdit->SetPasswordChar('*');
  top += 6;
  SendTestMailButton = new TButton(this);
  SendTestMailButton->SetParent(this);
  SendTestMailButton->SetText(LoadResString("D65_SendTestMail"));
  SendTestMailButton->SetBounds(Margin, top, LabelWidth - 10, DlgButtonHeight);
  NoteActivityOnMouse(SendTestMailButton);
  TestResultEdit = new TEdit(this);
  TestResultEdit->SetParent(this);
  TestResultEdit->SetBounds(EditLeft, top + 2, EditWidth, 21);
  TestResultEdit->SetReadOnly(true);
  TestResultEdit->SetVisible(false);
  top += DlgButtonHeight + 16;
  // Not the default button: Return in the memo starts a new line.
  OkButton = MakeDlgButton(this, "b_&OK", mrNone);
  CancelButton = MakeDlgButton(this, "b_&Cancel", mrCancel);
  CancelButton->SetCancel(true);
  PlaceDlgButtons(EditLeft + EditWidth - 2 * DlgButtonWidth - DlgButtonGap, top, {OkButton, CancelButton});
  SetBounds(Left(), Top(), EditLeft + EditWidth + Margin, top + DlgButtonHeight + 12);

  // The controls show the stored settings; their handlers come after, so filling them is no change.
  const TMailSettings s = mail_.Settings();
  UseSMTPCheckBox->SetChecked(s.UseSmtp);
  UseMapiCheckBox->SetChecked(!s.UseSmtp);
  RecipientsEdit->SetText(s.Recipient);
  CCRecipEdit->SetText(s.CCRecipients);
  SubjectEdit->SetText(s.Subject);
  for (size_t pos = 0; pos < s.AddText.size();) {
    size_t end = s.AddText.find("\r\n", pos);
    if (end == std::string::npos) end = s.AddText.size();
    AddTextMemo->AddLine(s.AddText.substr(pos, end - pos));
    pos = end + 2;
  }
  SmtpSenderNameEdit->SetText(s.SenderName);
  SmtpSenderEmailEdit->SetText(s.SenderEmail);
  SmtpHostEdit->SetText(s.SmtpHost);
  SmtpPortEdit->SetText(std::to_string(s.SmtpPort));
  SmtpAuthRequiredCheckBox->SetChecked(s.AuthRequired);
  SmtpUserEdit->SetText(s.User);
  SmtpPasswordEdit->SetText(s.Password);
  ApplyMode(s.UseSmtp);
  OkButton->SetEnabled(false);

  UseSMTPCheckBox->OnClick = [this](TComponent*) {
    NoteUserActivity();
    if (!applying_) {
      applying_ = true;
      UseMapiCheckBox->SetChecked(!UseSMTPCheckBox->Checked());
      applying_ = false;
    }
    ApplyMode(UseSMTPCheckBox->Checked());
    OkButton->SetEnabled(true);
  };
  UseMapiCheckBox->OnClick = [this](TComponent*) {
    NoteUserActivity();
    if (applying_) return;
    applying_ = true;
    UseSMTPCheckBox->SetChecked(!UseMapiCheckBox->Checked());
    applying_ = false;
  };
  AddTextMemo->OnChange = [this](TComponent*) { Changed(); };
  SmtpAuthRequiredCheckBox->OnClick = [this](TComponent*) { Changed(); };
  SendTestMailButton->OnClick = [this](TComponent*) { SendTestMail(); };
  OkButton->OnClick = [this](TComponent*) {
    NoteUserActivity();
    if (StoreSettings()) SetModalResult(mrOk);
  };
  wnd_ = AllocateHWnd([this](TMessage& m) {
    if (m.Msg == WM_TEST_MAIL_DONE) TestMailDone();
  });
}

TD65_EditEmail::~TD65_EditEmail() { DeallocateHWnd(wnd_); }

void TD65_EditEmail::Changed() {
  NoteUserActivity();
  OkButton->SetEnabled(true);
}

void TD65_EditEmail::ApplyMode(bool smtp) {
  for (TControl* c : {static_cast<TControl*>(SmtpSenderNameEdit), static_cast<TControl*>(SmtpSenderEmailEdit),
                      static_cast<TControl*>(SmtpHostEdit), static_cast<TControl*>(SmtpPortEdit),
                      static_cast<TControl*>(SmtpAuthRequiredCheckBox)})
    c->SetEnabled(smtp);
  const bool login = smtp && SmtpAuthRequiredCheckBox->Checked();
  SmtpUserEdit->SetEnabled(login);
  SmtpPasswordEdit->SetEnabled(login);
}

bool TD65_EditEmail::StoreSettings() {
  TMailSettings s = mail_.Settings();
  try {
    // Converted first: a bad port leaves the sender's settings as they were.
    s.SmtpPort = DecimalPort(SmtpPortEdit->Text());
  } catch (const Exception& e) {
    MessageDlg(e.Message(), TMsgDlgType::mtError, mbOK);
    return false;
  }
  s.Recipient = RecipientsEdit->Text();
  s.CCRecipients = CCRecipEdit->Text();
  s.Subject = SubjectEdit->Text();
  s.AddText.clear();
  for (const std::string& line : AddTextMemo->Lines()) s.AddText += line + "\r\n";
  s.SenderName = SmtpSenderNameEdit->Text();
  s.SenderEmail = SmtpSenderEmailEdit->Text();
  s.SmtpHost = SmtpHostEdit->Text();
  s.AuthRequired = SmtpAuthRequiredCheckBox->Checked();
  s.User = SmtpUserEdit->Text();
  s.Password = SmtpPasswordEdit->Text();
  s.UseSmtp = UseSMTPCheckBox->Checked();
  mail_.SetSettings(s);
  try {
    mail_.SaveSettings();
  } catch (const Exception& e) {
    MessageDlg(e.Message(), TMsgDlgType::mtError, mbOK);
    return false;
  }
  OkButton->SetEnabled(false);
  return true;
}

void TD65_EditEmail::SendTestMail() {
  NoteUserActivity();
  if (OkButton->Enabled() && !StoreSettings()) return;
  TestResultEdit->SetText("");
  TestResultEdit->SetVisible(true);
  SendTestMailButton->SetEnabled(false);
  auto state = std::make_shared<TTestState>();
  test_ = state;
  HWND wnd = wnd_;
  mail_.PostMail("Test-Email !", 0, true, [state, wnd](bool sent, const std::string& error) {
    {
      std::lock_guard lock(state->mutex);
      state->sent = sent;
      state->error = error;
    }
    // The window may be gone by now; then the post finds no window and nothing happens.
    qv::PostMessage(wnd, WM_TEST_MAIL_DONE, 0, 0);
  });
}

void TD65_EditEmail::TestMailDone() {
  if (!test_) return;
  bool sent;
  std::string error;
  {
    std::lock_guard lock(test_->mutex);
    sent = test_->sent;
    error = test_->error;
  }
  test_.reset();
  TestResultEdit->SetText(sent ? LoadResString("DY_EmailTestOK") : error);
  SendTestMailButton->SetEnabled(true);
}

int RunD65EditEmail(TSendMail& mail) {
  auto dialog = std::make_unique<TD65_EditEmail>(Application, mail);
  return dialog->ShowModal();
}

}  // namespace qv
