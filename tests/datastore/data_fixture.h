#pragma once
// Data sets kept in memory for the tests: the "file" is a vector of stored records, and writing
// can be made to fail.
#include <string>
#include <vector>

#include "base/msg_handler.h"
#include "datastore/data.h"
#include "datastore/dt_data.h"
#include "support/temp_dir.h"

namespace qv::test {

// A data set of plain fixed-size records.
class TMemData : public TData {
public:
  TMemData(TRecord* rec, std::string ident = "TMemData@x") : TData("", rec), ident_(std::move(ident)) {}

  int32_t WriteData() override {
    ++writes;
    if (write_result == drDone) stored = Buffer()->Bytes();
    return write_result;
  }
  int32_t ReadData() override { return drDone; }
  std::string DefineIdent() override { return ident_; }
  std::string GetName() override { return "mem"; }
  std::string GetSName() override { return "mem"; }
  bool NoData() override { return BufferSize() == 0; }
  void Window(int32_t start, int32_t stop) { SetReadWindow(start, stop); }

  int32_t write_result = drDone;
  int writes = 0;
  std::string stored;

private:
  std::string ident_;
};

// A time-ordered data set whose reads load every stored record.
class TMemDtData : public TDtData {
public:
  explicit TMemDtData(TRecord* rec, std::string ident = "TMemDtData@x") : TDtData("", rec), ident_(std::move(ident)) {}

  int32_t WriteData() override {
    ++writes;
    if (write_result == drDone) stored = Buffer()->Bytes();
    return write_result;
  }
  int32_t ReadData() override {
    TDataLock lock(*this);
    ++reads;
    Buffer()->SetSize(0);
    Buffer()->Write(stored.data(), static_cast<int32_t>(stored.size()));
    Buffer()->SetPosition(0);
    SetPositions(true, 0);
    return drDone;
  }
  std::string DefineIdent() override { return ident_; }
  std::string GetName() override { return "dt"; }
  std::string GetSName() override { return "dt"; }
  bool NoData() override { return BufferSize() == 0; }
  // Tests grow the buffer behind what a read positioned.
  using TDtData::Buffer;

  int32_t write_result = drDone;
  int writes = 0;
  int reads = 0;
  std::string stored;

private:
  std::string ident_;
};

// Day 40000 is 7 July 2009.
constexpr uint16_t kDay = 40000;

inline TDtStamp At(int hh, int mm, int ss = 0, uint16_t day = kDay) { return TDtStamp{day, hh * 3600 + mm * 60 + ss}; }

// A record of n values; values not given are missing. empty = all values missing.
inline TDtRecord Rec(const TDtStamp& stamp, std::vector<double> values, int n = 2) {
  TDtRecord r(n);
  r.Date = stamp.Date;
  r.Time = stamp.Time;
  for (size_t i = 0; i < values.size(); ++i) r.SetValues(static_cast<int32_t>(i), values[i]);
  return r;
}

inline std::string Text(const TDtStamp& s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", s.Time / 3600, s.Time / 60 % 60, s.Time % 60);
  return s.Date == kDay ? std::string(buf) : std::to_string(s.Date) + " " + buf;
}

// The records of the selected read window as "hh:mm:ss=v0/v1" texts, read with First and Next.
inline std::vector<std::string> Walk(TDtData& d) {
  std::vector<std::string> out;
  TDataLock lock(d);
  for (bool ok = d.First(); ok; ok = d.Next()) {
    std::string s = Text(TDtStamp{d.DtRec()->Date, d.DtRec()->Time}) + "=";
    for (int i = 0; i < d.DtRec()->ValueCount(); ++i) {
      double v = d.DtRec()->GetValues(i);
      if (i) s += "/";
      s += v <= NoValue ? std::string("-") : std::to_string(static_cast<int>(v));
    }
    out.push_back(s);
  }
  return out;
}

// The program's message handler for a test: records each message as "text/kind", adding
// "/error" for an error dialog and "/time" for a time stamp, and shows nothing. Its logs go to a
// folder of its own, made before the handler.
struct TLogFolder {
  TempDir log_dir;
};
class TRecordingMsgHandler : private TLogFolder, public TMsgHandler {
public:
  TRecordingMsgHandler() : TMsgHandler(nullptr, log_dir.Path(), log_dir.File("QV.INI")) { MsgHandler = this; }
  uint16_t HandleMessage(const std::string& msg, const std::string&, TMsgDlgType dlg_type, TMsgDlgButtons, int32_t,
                         uint16_t default_result, bool with_time, TMsgKind kind) override {
    lines.push_back(msg + "/" + std::to_string(kind) + (dlg_type == TMsgDlgType::mtError ? "/error" : "") +
                    (with_time ? "/time" : ""));
    return default_result;
  }
  std::vector<std::string> lines;
};

// The text of the EDataError that f raises.
template <class F>
std::string DataErrorText(F f) {
  try {
    f();
  } catch (const EDataError& e) {
    return e.what();
  }
  return "no EDataError";
}

}  // namespace qv::test
