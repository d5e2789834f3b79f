#pragma once
// A data set over a folder of weekly data files (see kw_week.h for their names).
#include <cstdint>
#include <string>

#include "datastore/dt_data.h"

namespace qv {

class TChannels;

class TKwData : public TDtData {
public:
  // Dir is the sensor folder with a trailing "/". Scans the folder for the oldest and the newest
  // record; files that cannot be read are reported and skipped.
  TKwData(std::string dir, TChannels* channels, TDtRecord* rec);

  virtual std::string ClassName() const { return "TKwData"; }
  // Reads the weeks of RangeStart to RangeStop: the first and the last filtered, the others whole.
  // 1 when a week was read, 3 when none was or the range is not set.
  int32_t ReadData() override;
  // Merges the records from AppendPos on into their weekly files. 2 when a week could not be
  // written (its records stay modified and are written again by the next flush).
  int32_t WriteData() override;
  // The folder relative to the program folder.
  std::string DefineIdent() override;
  std::string GetName() override { return DispName; }
  std::string GetSName() override { return DispSName; }
  bool NoData() override;

  // A different text is stored and event 4 is sent.
  void SetName(const std::string& text);
  void SetSName(const std::string& text);
  const std::string& Name() const { return DispName; }

private:
  struct WeekRead;
  void ScanFolder();
  // Opens one week's file and decides what it contributes; false when it is skipped (missing,
  // unreadable, not fitting or without records).
  bool PrepareWeek(int32_t key, WeekRead& week);
  // Copies the week's records to the buffer at fill and moves fill behind them; a filtered week
  // keeps only its records in [start, end_excl).
  void AppendWeek(WeekRead& week, const TDtStamp& start, const TDtStamp& end_excl, int64_t& fill);
  // Writes the records [first, end) of the buffer, all of one week, into the week's file.
  int32_t WriteWeek(int32_t key, int64_t first, int64_t end);

  std::string DispName;
  std::string DispSName;
};

}  // namespace qv
