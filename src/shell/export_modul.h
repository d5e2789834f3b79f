#pragma once
// The text export: the measurements of chosen channels of one or more devices over a time range,
// written as a delimited text file with optional header rows that describe the channels. The
// rows come from a merged view over private copies of the devices' weekly data sets, so an
// export never disturbs the data sets that plots and tables show.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/dt_stamp.h"
#include "datastore/data.h"
#include "datastore/dt_record.h"

namespace qv {

class TChannel;
class TDataView;
class TGlobalChannel;
class TGlobChanList;
class TIniFile2;
class TKwData;

// One row of an export or import.
class TExpImpRecord : public TDtRecord {
public:
  explicit TExpImpRecord(int32_t value_count) : TDtRecord(value_count) {}

  std::string ClassName() const override { return "TExpImpRecord"; }
  // Drops the bound list, whose channels no longer match the values.
  void ChangeValCount(int32_t n) override;
  virtual void DoExport() = 0;
  virtual void DoImport() = 0;

  // Binds a list with as many channels as the record has values (not owned); anything else
  // raises "TExpImpRecord.SetGlobChanList: invalid GlobChanList".
  void SetGlobChanList(TGlobChanList* list);
  TGlobChanList* GlobChanList() const { return list_; }

  // Rows carry the time only, no date.
  bool TimeOnly = false;

private:
  TGlobChanList* list_ = nullptr;
};

// Writes a row as one line of text: date and time (or the time alone), then one field per value.
class TTxtExpImpRec : public TExpImpRecord {
public:
  // The formats and the decimal separator default to the program's current settings.
  explicit TTxtExpImpRec(int32_t value_count);
  ~TTxtExpImpRec() override;

  std::string ClassName() const override { return "TTxtExpImpRec"; }
  // Without a stream raises "TTxtExpImpRec.DoExport: Stream nil".
  void DoExport() override;
  // Raises "TTxtExpImpRec.DoImport: method not tested!".
  void DoImport() override;
  // The text of the current row with its line end.
  std::string RowText() const;
  // The same text appended to out.
  void AppendRowText(std::string& out) const;

  // An empty text raises "TTxtExpImpRec.SetLineEnd: no empty line end!".
  void SetLineEnd(const std::string& text);
  const std::string& LineEnd() const { return line_end_; }

  TStream* Stream = nullptr;  // not owned
  std::string DateFormat;
  std::string TimeFormat;
  char DecimalSeparator;
  char FieldSeparator = '\t';
  std::string BadValueString;

private:
  class TStampText;
  std::string line_end_ = "\r\n";
  std::string row_;                            // the row being written, reused
  mutable std::unique_ptr<TStampText> stamp_;  // the stamp format prepared for the current settings
};

// The channel-information header rows: bit i of an information set stands for item i.
enum TChanInfoItem : int32_t {
  ciChanNr = 0,
  ciSourceName = 1,
  ciSourceSName = 2,
  ciChanName = 3,
  ciChanSName = 4,
  ciSensId = 5,
  ciUnit = 6,
  ciChanMin = 7,
  ciChanMax = 8,
  ciAlarmMin = 9,
  ciAlarmMax = 10,
  ciLoggerId = 11,
};
constexpr int32_t ChanInfoItemCount = 12;

// The translated name of an information item (the item number taken modulo 128); "* N/A *" for
// a number without an item.
std::string GetChanInfoName(int32_t item);

// Field separators and line ends: their names as stored in section [Export] and their texts.
constexpr int32_t FieldSepCount = 5;
constexpr int32_t LineEndCount = 3;
extern const char* const FieldSepNames[FieldSepCount];  // "TAB", "|", "/", "\", "< >"
extern const char FieldSepChars[FieldSepCount];         // TAB, '|', '/', '\', ' '
extern const char* const LineEndNames[LineEndCount];    // "CR_LF", "CR", "LF"
extern const char* const LineEndTexts[LineEndCount];    // CR LF, CR, LF
// The index of a name (exact, case-sensitive); any other raises EConvertError
// "StringToFieldSep: invalid string: " or "RdStrToLineEnd: invalid string: " with the name.
int32_t StringToFieldSep(const std::string& name);
int32_t RdStrToLineEnd(const std::string& name);

// The choices of an export as section [Export] of the program INI file stores them.
struct TExportSettings {
  uint16_t InfoSet = 0;
  std::string DateFormat;
  std::string TimeFormat;
  char DecimalSeparator = '.';
  int32_t FieldSeparator = 0;  // index into FieldSepNames
  int32_t LineEnd = 0;         // index into LineEndNames
  std::string BadValueString;
};
// "GlobChanInfo": the names of the items in the set, each followed by "-", in item order.
std::string InfoSetToString(uint16_t info_set);
// The set whose names make up text entirely (names compared ignoring case); false when any text
// is left over, the marker of a missing key included.
bool StringToInfoSet(const std::string& text, uint16_t& info_set);
// Missing or unreadable keys give the defaults: no items, the program's date and time formats
// and decimal separator, "TAB", "CR_LF", an empty bad-value text. A decimal separator whose
// first character is not ASCII gives the default too, with a line in the protocol.
TExportSettings ReadExportSettings(const TIniFile2& ini);
void WriteExportSettings(TIniFile2& ini, const TExportSettings& settings);

// An export run: the sources, the range and the header rows to write. Derived classes create
// the record that writes the rows and write the file.
class TExportModul {
public:
  TExportModul();
  virtual ~TExportModul();
  TExportModul(const TExportModul&) = delete;
  TExportModul& operator=(const TExportModul&) = delete;

  virtual std::unique_ptr<TExpImpRecord> CreateRecord(int32_t value_count) = 0;
  virtual std::unique_ptr<TGlobalChannel> CreateGlobChan(TData* data, TChannel* channel);
  // Reads the range from every source, a year at most at a time, and writes every row whose
  // time stamp lies in the range, both ends included, in time order.
  virtual void DoExport();
  // Writes the export. Raises
  // "TExportModul.Execute: GlobChanList/DataView = nil" without sources and
  // "TExportModul.Execute: invalid date/time range" without a range.
  virtual void Execute();

  // The (data set, channel) pairs to export, in column order; pairs whose data set is not a
  // weekly data set are left out. Null raises "TExportModul.SetSources: SelectList nil!".
  void SetSources(const TChanSelList* list);
  // Both are stored only when both are set (above -1000).
  void SetRange(TDateTime start_dt, TDateTime stop_dt);

  TDataView* View() const { return view_.get(); }
  TExpImpRecord* Record() const { return record_.get(); }
  TGlobChanList* GlobChanList() const { return list_.get(); }

  TDateTime StartDt = NoDateTime;
  TDateTime StopDt = NoDateTime;
  bool TimeOnly = false;
  uint16_t InfoSet = 0;
  // Called before each source is read and every few hundred rows, so that a caller can keep
  // its window alive and stop the run by raising (EAbort for a cancel).
  std::function<void()> OnProgress;

protected:
  // The range as time stamps, rounded to whole seconds.
  TDtStamp StartStamp() const;
  TDtStamp StopStamp() const;

private:
  struct TSourceCopy;
  void ReleaseSources();
  // Opens every source's copy on [start, stop] (at most a year) and rebuilds the view from them.
  void ReadWindow(const TDtStamp& start, const TDtStamp& stop);
  // The view's rows with time stamps in [start, stop].
  void WriteRows(const TDtStamp& start, const TDtStamp& stop);

  std::vector<std::unique_ptr<TSourceCopy>> copies_;
  std::unique_ptr<TGlobChanList> list_;
  std::unique_ptr<TExpImpRecord> record_;
  std::unique_ptr<TDataView> view_;
};

// The text export into a file. The file is rewritten atomically: a failure leaves the file as it
// was (or no file), never part of an export. Appending copies the file's present content ahead of
// the new rows; header rows go only into a file that was empty.
class TTxtExpModul : public TExportModul {
public:
  TTxtExpModul();

  std::unique_ptr<TExpImpRecord> CreateRecord(int32_t value_count) override;
  void DoExport() override;

  std::string FileName;
  bool Append = false;
  std::string DateFormat;
  std::string TimeFormat;
  char DecimalSeparator;
  std::string LineEnd = "\r\n";
  char FieldSeparator = '\t';
  std::string BadValueString;

private:
  void WriteHeader(TStream& stream);
};

}  // namespace qv
