#pragma once
// The audit-trail viewer: a trail file shown as text, 500 events a page, paged back and forth,
// narrowed to a date range, printed, another trail file opened, and the trail archived.
#include <string>
#include <vector>

#include "platform/gui/ext_ctrls.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"
#include "platform/rtl/date_time.h"

namespace qv {

class TDY_AuditManager;

class TD60_ShowLog : public TForm {
public:
  static constexpr int HelpContext = 10310;
  static constexpr int PageSize = 500;
  // trail reads the pages; clock gives "now" for the archive's preset (the system's when null).
  TD60_ShowLog(TComponent* owner, TDY_AuditManager& trail, const TWallClock* clock = nullptr);
  ~TD60_ShowLog() override;
  std::string ClassName() const override { return "TD60_ShowLog"; }

  // The trail file shown.
  const std::string& ShownFile() const { return file_; }
  int First() const { return first_; }
  int Last() const { return last_; }

  void FormShow();
  void BitBtn1Click();
  void BitBtn2Click();
  void FormResize();
  void BtnOpenClick();
  void BtnEditDtClick();
  void BtnSaveClick();
  void PrintLogClick();

  TMemo* RichEdit;
  TPanel* ButtonPanel;
  TButton* BitBtn1;
  TButton* BitBtn2;
  TButton* PrintLog;
  TButton* BtnEditDt;
  TButton* BtnSave;
  TButton* BtnOpen;

private:
  // Loads the page that ends at last_ (the last page for -1) and shows it.
  void ShowPage(bool to_end);
  // The text shown, from the display lines, which are emptied.
  void FillText(bool to_end);

  TDY_AuditManager& trail_;
  const TWallClock* clock_;
  std::string file_;
  int first_ = 0;
  int last_ = -1;
  std::vector<std::string> display_lines_;
  bool ready_ = false;
};

// The time at the start of a display line: the text before the first "<", or before the first "["
// when there is no "<", read in the locale's date and time format; -1000 when there is none.
TDateTime DisplayLineTime(const std::string& line);

// Runs the viewer modally on the trail of the archive's data folder.
void RunD60ShowLog(TDY_AuditManager& trail);

}  // namespace qv
