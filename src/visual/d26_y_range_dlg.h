#pragma once
// The range dialog of a plot's Y axis: each end automatic or a fixed value, checked against the
// axis's limits and the smallest interval the shown decimals allow before OK closes it.
#include <string>

#include "controls/sty_panel.h"
#include "controls/sty_radio_button.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TD26_YRangeDlg : public TForm {
public:
  explicit TD26_YRangeDlg(TComponent* owner);
  ~TD26_YRangeDlg() override;
  std::string ClassName() const override { return "TD26_YRangeDlg"; }

  // CBadFloat makes that end automatic.
  void SetCustMin(double x);
  void SetCustMax(double x);
  // CBadFloat raises "Error in TD26_YRangeDlg.SetYAutoMin: Min = CBadFloat" (Max likewise).
  void SetYAutoMin(double x);
  void SetYAutoMax(double x);
  // 0 to 18; other values are ignored.
  void SetDecimals(int decimals);
  // The fixed value while "Manual" is chosen, else CBadFloat.
  double GetMin() const;
  double GetMax() const;
  int Decimals() const { return decimals_; }
  double MinInterval() const { return min_interval_; }

  double LowLimit = -10000;
  double HighLimit = 10000;

  // What OK does: closes with OK, or explains and leaves the dialog open.
  void OKClick();
  // A press on the radio button or OK button of that name.
  void RadioPress(const std::string& name);

  TStyGroupBox* MaxGroupB;
  TStyGroupBox* MinGroupB;
  TStyRadioButton* MaxAutoB;
  TStyRadioButton* MaxCustB;
  TStyRadioButton* MinAutoB;
  TStyRadioButton* MinCustB;
  TEdit* AutoMaxEdit;
  TEdit* CustMaxEdit;
  TEdit* AutoMinEdit;
  TEdit* CustMinEdit;
  TButton* OKBtn;
  TButton* CancelBtn;
  TButton* HelpBtn;

private:
  std::string ValueText(double x) const;
  void ShowValues();
  void MakeCancelDefault();
  void MakeOKDefault();
  // Reads an end: false (after the message) when its text is no number or out of the limits.
  bool ReadEnd(bool automatic, double auto_value, TEdit* edit, double& value);
  void Reject(TEdit* edit);

  double cust_min_, cust_max_, auto_min_, auto_max_;
  int decimals_ = -1;
  double min_interval_ = 0.009;
  bool setting_ = false;
};

// The dialog while one exists.
extern TD26_YRangeDlg* D26_YRangeDlg;

}  // namespace qv
