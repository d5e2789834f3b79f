#include "datastore/kw_week.h"

#include <algorithm>
#include <filesystem>

#include "base/dt_stamp.h"
#include "platform/rtl/text_utils.h"

namespace qv {

namespace {

bool HasKwFrame(const std::string& name) {
  return name.size() > 6 && SameText(name.substr(0, 2), "KW") && SameText(name.substr(name.size() - 4), ".QVR");
}

template <class F>
void ForEachRegularFile(const std::string& dir, F f) {
  std::error_code ec;
  std::filesystem::directory_iterator it(dir.empty() ? "." : dir, ec);
  if (ec) return;
  for (const auto& entry : it) {
    std::error_code ec2;
    if (!entry.is_regular_file(ec2)) continue;
    if (f(entry.path().filename().string())) return;
  }
}

}  // namespace

int32_t KwKey(uint16_t iso_year, uint8_t week) { return int32_t{iso_year} * 100 + week; }

int32_t KwKeyOfDayNo(uint16_t day_no) {
  uint8_t week = 0;
  uint16_t year = 0;
  WeekOfDayNo(day_no, week, year);
  return KwKey(year, week);
}

std::string KwFileNameOfKey(int32_t key) {
  char text[16];
  std::snprintf(text, sizeof text, "KW%04d.QVR", static_cast<int>(key % 10000));
  return text;
}

int32_t KwKeyOfFileName(const std::string& name) {
  if (!HasKwFrame(name)) return 0;
  std::string digits = name.substr(2, name.size() - 6);
  if (digits.empty() || digits.size() > 6) return 0;
  int32_t k = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    k = k * 10 + (c - '0');
  }
  int32_t week = k % 100;
  if (k <= 0 || week < 1 || week > 53) return 0;
  if (k <= 8999) return 200000 + k;
  if (k <= 9999) return 190000 + k;
  if (k >= 199001 && k <= 999953) return k;
  return 0;
}

std::vector<int32_t> KwKeysOfDays(uint16_t first_day, uint16_t last_day) {
  std::vector<int32_t> keys;
  if (last_day < first_day || last_day > LastDayNo) return keys;
  // Monday to Monday: every key is a week that exists, also across years of 52 weeks.
  TDtStamp monday{first_day, 0};
  IsoWeekStart(first_day, monday);
  for (int32_t day = monday.Date; day <= last_day; day += 7) {
    keys.push_back(KwKeyOfDayNo(static_cast<uint16_t>(std::max<int32_t>(day, first_day))));
  }
  return keys;
}

std::vector<int32_t> ScanKwFolder(const std::string& dir) {
  std::vector<int32_t> keys;
  ForEachRegularFile(dir, [&](const std::string& name) {
    if (int32_t key = KwKeyOfFileName(name)) keys.push_back(key);
    return false;
  });
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  return keys;
}

bool HasKwFile(const std::string& dir) {
  bool found = false;
  ForEachRegularFile(dir, [&](const std::string& name) {
    found = name.size() == 10 && HasKwFrame(name);
    return found;
  });
  return found;
}

}  // namespace qv
