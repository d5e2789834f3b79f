#pragma once
// The export wizard: time range, channels, channel-information header rows, target file and
// text format, page by page. Next checks the page it leaves; Finish on the last page closes the
// wizard with OK, after which the caller reads the choices.
#include <string>

#include "base/forms/multilingual_form.h"
#include "datastore/data.h"
#include "platform/gui/ext_ctrls.h"
#include "platform/gui/std_ctrls.h"
#include "platform/rtl/date_time.h"

namespace qv {

class TExpChanInfoFrm;
class TExpFormatFrm;
class TStyGroupBox;

class TD42_Export : public TMultilingualForm2 {
public:
  static constexpr int HelpContextId = 3620;
  static constexpr int PageCount = 5;
  enum { pgRange, pgSources, pgChanInfo, pgFile, pgFormat };

  explicit TD42_Export(TComponent* owner);
  // Clears D42_Export when it holds this wizard.
  ~TD42_Export() override;
  std::string ClassName() const override { return "TD42_Export"; }

  void SetRange(TDateTime start, TDateTime stop);
  TDateTime GetStartDt() const;
  TDateTime GetStopDt() const;
  // The chosen (data set, channel) pairs, in column order.
  const TChanSelList& Sources() const { return sources_; }
  // Shows the list; Next is available again when it is not empty.
  void SetSources(const TChanSelList& sources);
  std::string FileName() const { return FileEdit->Text(); }
  void SetFileName(const std::string& name) { FileEdit->SetText(name); }

  int CurrentPage() const { return page_; }
  void ShowPage(int page);
  // Leaves the page after its check; on the last page closes with OK.
  void NextClick();
  void BackClick();
  // The check of a page; a failed one has shown its message.
  bool CheckPage(int page);

  // All channels of the device selected in the device shell and of its children.
  void SelDeviceChansClick();
  // The channel set-up dialog on a copy of the list; OK replaces the list.
  void SetupChansClick();
  void BrowseClick();

  TLabel* PageTitleLbl;
  TNotebook* Notebook;
  TStyGroupBox* StartGroup;
  TStyGroupBox* StopGroup;
  TDateTimePicker* StartDate;
  TDateTimePicker* StartTime;
  TDateTimePicker* StopDate;
  TDateTimePicker* StopTime;
  TCheckBox* SkipDateCheckB;
  TListBox* SourceListBox;
  TButton* SelDeviceChansBtn;
  TButton* SetupChansBtn;
  TExpChanInfoFrm* ChanInfoFrm;
  TEdit* FileEdit;
  TButton* BrowseBtn;
  TCheckBox* AppendToFileCheckB;
  TExpFormatFrm* FormatFrm;
  TButton* CancelBtn;
  TButton* BackBtn;
  TButton* NextBtn;

private:
  // Any change of a control makes Next available again after a failed check.
  void Changed();
  void ShowSources();
  void Refuse(const std::string& key);

  int page_ = 0;
  TChanSelList sources_;
};

// The wizard while it exists; null otherwise.
extern TD42_Export* D42_Export;

// A name the export may write: a full path whose folder exists, whose last part is a plain name
// ("\" makes no path here), and that is no folder.
bool IsValidExportFile(const std::string& name);

}  // namespace qv
