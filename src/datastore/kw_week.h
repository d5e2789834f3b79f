#pragma once
// Weekly data files: one file per ISO week in a sensor's folder, named "KW" + the last two digits
// of the ISO week-numbering year + the two-digit week + ".QVR". A week is handled as the six-digit
// key yyyyww, which sorts in time order.
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

int32_t KwKey(uint16_t iso_year, uint8_t week);
// The key of the ISO week that holds the day (0 = 1 January 1900).
int32_t KwKeyOfDayNo(uint16_t day_no);
// "KW0712.QVR" for key 200712.
std::string KwFileNameOfKey(int32_t key);
// The key a file name stands for, 0 when it is no weekly file name: "KW" and ".QVR" (any case)
// around a positive number k whose last two digits are a week 1 to 53; k up to 8999 is 20yy-ww,
// 9000 to 9999 is 19yy-ww, six digits from 199001 to 999953 stand for themselves.
int32_t KwKeyOfFileName(const std::string& name);
// The keys of the ISO weeks from the week of first_day to the week of last_day, in order;
// empty when last_day lies before first_day.
std::vector<int32_t> KwKeysOfDays(uint16_t first_day, uint16_t last_day);
// The keys of the weekly files in dir, sorted, without duplicates; a missing folder has none.
std::vector<int32_t> ScanKwFolder(const std::string& dir);
// True when dir holds a file named like "KW????.QVR" (any case).
bool HasKwFile(const std::string& dir);

}  // namespace qv
