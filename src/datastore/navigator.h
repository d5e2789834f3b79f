#pragma once
// The time navigator as the data sets see it: every flush and client change tells it that the
// data changed, and data sets whose clients follow it open its two windows. Its commands, its
// control binding and its settings are added on top of this.
#include "base/dt_stamp.h"

namespace qv {

class TNavigator0 {
public:
  TNavigator0() = default;
  TNavigator0(const TNavigator0&) = delete;
  TNavigator0& operator=(const TNavigator0&) = delete;
  // Clears the global DtNavigator when it is this object.
  virtual ~TNavigator0();

  // Something the navigator shows may have changed: its controls are brought up to date later.
  virtual void Changed() {}
};

class TDtNavigator : public TNavigator0 {
public:
  // The view window and the overview day, both inclusive.
  TDtStamp Dt1Start = NoDtStamp;
  TDtStamp Dt1Stop = NoDtStamp;
  TDtStamp Dt2Start = NoDtStamp;
  TDtStamp Dt2Stop = NoDtStamp;
};

// The program's navigator; null before the main window creates it and after it is freed.
extern TNavigator0* DtNavigator;

}  // namespace qv
