// The logger handler's memory read-out: start dates, collecting the blocks, and storing the
// measurement blocks into the weekly data sets of the sensors.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <utility>

#include "base/archive_hooks.h"
#include "base/dt_stamp.h"
#include "base/msg_handler.h"
#include "base/res_string.h"
#include "comm/connection.h"
#include "comm/process_window_service.h"
#include "comm/tv10_dev_hndl.h"
#include "comm/tv10_meas_header.h"
#include "comm/tv10_mem_prot.h"
#include "datastore/data_globals.h"
#include "datastore/dt_data.h"
#include "datastore/dt_navigator.h"
#include "devices/db_shell.h"
#include "devices/tv10_modul.h"
#include "devices/visual_hooks.h"
#include "platform/rtl/float_text.h"
#include "platform/rtl/format.h"
#include "platform/rtl/stream.h"

namespace qv {

TSelStartDateTimeProc SelStartDateTimeProc;

namespace {

constexpr uint8_t kMaxEEVersion = 32;
constexpr double kSecond = 1.0 / 86400;

TDtStamp HeaderStamp(const TTv10MeasHeader& h) {
  return TDtStamp{DateToDayNo(h.Day, h.Month, 2000 + h.Year), TimeToSecs(h.Hour, h.Minute, h.Second)};
}

void Report(const std::string& text, TMsgDlgType dlg) {
  if (MsgHandler) MsgHandler->HandleMessage(text, LoadResString("sco_ComPort"), dlg, mbOK, 0, 0, true, mkWarning);
}

}  // namespace

void TTv10DevHndl::MemDataLog(const std::string& line) const {
  if (MsgHandler && MsgHandler->WriteDataLog())
    MsgHandler->HandleMessage(line, "Communication", TMsgDlgType::mtInformation, mbOK, 0, 0, true, mkDiagnoseOnly);
}

TDateTime TTv10DevHndl::ProposedStart() const {
  if (!FCurModul) throw Exception("TTv10DevHndl.ReadMemSetDT: FCurModul is NIL!");
  const TDateTime never = Tv10MemReadEpoch();
  TDateTime proposal = 0;
  bool any = false;
  for (int slot = 1; slot <= FCurModul->GetSlotCount() && slot <= 4; ++slot) {
    const TDateTime last = FCurModul->GetLastUpdate(slot);
    if (last == never) continue;
    if (!any || last + kSecond < proposal) proposal = last + kSecond;
    any = true;
  }
  if (any) return proposal;
  TSystemClock system;
  const TDateTime now = (Clock ? Clock : static_cast<const TWallClock*>(&system))->Now();
  // DayOfWeek counts from Sunday = 1; the week starts on Monday.
  return std::floor(now) - (DayOfWeek(now) + 5) % 7;
}

void TTv10DevHndl::ReadMemSetDT(TTv10ReadMemProt* p) {
  if (!FCurModul) throw Exception("TTv10DevHndl.ReadMemSetDT: FCurModul is NIL!");
  const int slots = std::min(FCurModul->GetSlotCount(), 4);
  for (int slot = 1; slot <= slots; ++slot) p->SetDateTime(slot, FCurModul->GetLastUpdate(slot) + kSecond);
  for (int slot = 1; slot <= 4; ++slot) mem_start_[static_cast<size_t>(slot - 1)] = p->GetDateTime(slot);
  // Only a user confirms one start for all channels; without one each keeps its own.
  if (!p->Interactive || !SelStartDateTimeProc) return;
  TDateTime start = ProposedStart();
  bool read_all = false;
  if (SelStartDateTimeProc(start, read_all))
    for (int slot = 1; slot <= slots; ++slot) p->SetDateTime(slot, read_all ? Tv10MemReadEpoch() : start);
  for (int slot = 1; slot <= 4; ++slot) mem_start_[static_cast<size_t>(slot - 1)] = p->GetDateTime(slot);
}

void TTv10DevHndl::ReadMemBlockRead(TTv10ReadOfflProt* p) {
  const uint8_t* block = p->GetBlockData();
  if (!block || p->BufLen < 2) return;
  MemStream.WriteBuffer(block, p->BufLen - 2);
  ++mem_block_no_;
  MemDataLog("received block ( " + std::to_string(p->BufLen) + " Byte ) Nr " + std::to_string(mem_block_no_));
}

TTv10SubModul* TTv10DevHndl::MemSubModul(const TTv10MeasHeader& h) {
  std::vector<TTv10SubModul*> subs;
  for (TTavra2GSubMod* s : FCurModul->SubModuls())
    if (auto* sub = dynamic_cast<TTv10SubModul*>(s)) subs.push_back(sub);
  auto same_sensor = [&h](const TTv10SubModul* sub) {
    return sub->SensorPcb == h.SensorPcb && sub->SensorType == h.SensorType;
  };
  for (TTv10SubModul* sub : subs) {
    if (DevKind == 6 && sub->ModChanNum == h.Channel) return sub;
    // Two slots with the same sensor: each channel's data belong to its own slot.
    if (DevKind != 6 && sub->ModChanNum == h.Channel && same_sensor(sub)) return sub;
  }
  // Data of a sensor that has left its slot since stay with that sensor's sub-module.
  if (DevKind != 6)
    for (TTv10SubModul* sub : subs)
      if (same_sensor(sub)) return sub;
  return FCurModul->CreateSensorSubModul(h.SensorPcb, h.SensorType, h.E2Version);
}

void TTv10DevHndl::StoreMemStream(std::vector<TDtData*>& sets, std::vector<uint8_t>& set_channels) {
  const uint8_t* data = MemStream.Memory();
  const size_t size = static_cast<size_t>(MemStream.Size());
  const bool data_log = MsgHandler && MsgHandler->WriteDataLog();
  std::array<TDateTime, 4> newest{};
  for (int ch = 1; ch <= 4; ++ch) newest[static_cast<size_t>(ch - 1)] = FCurModul->GetLastUpdate(ch);
  std::unique_ptr<TDtRecord> rec;
  size_t pos = 0;
  int block = 0;
  for (;;) {
    TTv10MeasHeader h;
    uint16_t last_word = 0;
    const size_t before = pos;
    if (Tv10NextHeader(data, size, pos, DevKind, EEVersion, h, last_word) == TTv10HeaderScan::Exhausted) {
      if (data_log && size - before >= kTv10HeaderSize) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%04X", last_word);
        MemDataLog(std::string("channel in header - 0x") + hex + " is invalid ! skipping block");
      }
      break;
    }
    ++block;
    const std::string nr = std::to_string(block);
    if (data_log) {
      MemDataLog("analysing block " + nr);
      MemDataLog("analysing header for channel " + std::to_string(Tv10MarkerChannel(h.Marker, DevKind)));
      MemDataLog(h.CrcOk ? "CRC valid" : "CRC invalid");
      MemDataLog("E2Version : " + std::to_string(EEVersion));
      MemDataLog("Year: " + std::to_string(h.Year) + " Month: " + std::to_string(h.Month) +
                 " Day: " + std::to_string(h.Day) + "  Hour: " + std::to_string(h.Hour) +
                 " Minute: " + std::to_string(h.Minute) + " Second: " + std::to_string(h.Second));
      MemDataLog("Save Interval : " + std::to_string(h.SaveInt));
      MemDataLog("Save Mode (min/max/avg) : " + std::to_string(h.SaveMode));
      MemDataLog("Number of measure values: " + std::to_string(h.ValueCount));
      MemDataLog("Sensor Pcb: " + std::to_string(h.SensorPcb));
      MemDataLog("Sensor Type: " + std::to_string(h.SensorType));
    }
    if (!h.Error.empty()) {
      // A memory with an erased tail holds thousands of false markers: each goes to the diagnose
      // log, the user hears of them once per read.
      ++mem_bad_headers_;
      if (MsgHandler)
        MsgHandler->HandleMessage(LoadResString("deh_BlockHeadErr") + " (" + h.Error + ") at byte " +
                                      std::to_string(pos - 2) + " of " + std::to_string(size),
                                  "TTv10DevHndl.ReadMemBlocksFin", TMsgDlgType::mtError, mbOK, 0, 0, true,
                                  mkDiagnoseOnly);
    }
    if (h.Channel == 0 || h.ValueCount == 0) {
      MemDataLog("block " + nr + "is invalid (channel nr or value count is 0)");
      continue;
    }
    int32_t kinds[3];
    const int32_t kind_count = Tv10SaveModeKinds(h.SaveMode, kinds);
    MemDataLog("block " + nr + " - " + std::to_string(kind_count) + " values for channel (min/max/avg)");

    TTv10SubModul* sub = MemSubModul(h);
    auto* set = sub ? dynamic_cast<TDtData*>(sub->Data()) : nullptr;
    if (!set) throw Exception("TTv10DevHndl.ReadMemBlocksFin: no data set for channel " + std::to_string(h.Channel));
    auto known = std::find(sets.begin(), sets.end(), set);
    if (known == sets.end()) {
      set->Lock();
      sets.push_back(set);
      set_channels.push_back(0);
      if (set->NewBuffer() != drDone) throw Exception("TTv10DevHndl.ReadMemBlocksFin: the data set cannot take data");
      uint8_t flags = 0;
      if (DataGlobals && DataGlobals->PermitOverwrite) flags |= dfPermitOverwrite;
      if (DataGlobals && DataGlobals->PermitInsert) flags |= dfPermitInsert;
      set->Flags = flags;
      known = sets.end() - 1;
    }
    set_channels[static_cast<size_t>(known - sets.begin())] |= static_cast<uint8_t>(1u << (h.Channel - 1));
    if (!rec || rec->ValueCount() != set->DtRec()->ValueCount())
      rec = std::make_unique<TDtRecord>(set->DtRec()->ValueCount());

    const TDtStamp start = HeaderStamp(h);
    const int32_t interval_s = h.SaveInt * 60;
    // A gap since the newest stored value is marked by an empty record at the block's start.
    const TDtStamp stored = set->GetNewestDt();
    const double slack_s = interval_s + std::min(interval_s / 2.0, 600.0);
    if (stored.Date == NoDayNo || stored.Time < 0 || DtStampDiffSecs(stored, start) > slack_s) {
      rec->Clear();
      rec->Date = start.Date;
      rec->Time = start.Time;
      set->InsertRecord(*rec);
    }

    TDateTime& channel_newest = newest[static_cast<size_t>(h.Channel - 1)];
    const size_t words = std::min<size_t>(h.ValueCount, (size - pos) / 2);
    if (words < h.ValueCount) MemDataLog("block " + nr + " - the data end before its last value");
    TDtStamp t = start;
    std::string date_text, time_text;
    for (size_t i = 0; i < words; ++i) {
      const int32_t k = static_cast<int32_t>(i % static_cast<size_t>(kind_count));
      if (k == 0) {
        rec->Clear();
        rec->Date = t.Date;
        rec->Time = t.Time;
        const TDateTime when = DtStampToDateTime(t);
        date_text = FormatDateTime("ddddd", when);
        time_text = FormatDateTime("tt", when);
        IncDtStampSecs(t, interval_s);
      }
      const uint8_t* w = data + pos + 2 * i;
      const double value = sub->RawToValue(static_cast<uint16_t>(w[0] | (w[1] << 8)));
      if (kinds[k] < rec->ValueCount()) rec->SetValues(kinds[k], value);
      if (AlarmChannels)
        AlarmChannels->AddSample(FCurModul->Name(), FCurModul->Kennung(), h.Channel, kinds[k], "", sub->Decimals(),
                                 sub->AlarmMin(), sub->AlarmMax(), date_text, time_text, value);
      if (data_log)
        MemDataLog("block " + nr + " - " + "Device" + ": " + FCurModul->Name() + " " + date_text + " " + time_text +
                   " " + "Value" + ": " + FloatToStrFixed(value, 0, sub->Decimals()));
      // Only whole samples are stored; the newest time follows what is stored, so that an
      // incomplete last sample is read again next time.
      if (k == kind_count - 1) {
        set->InsertRecord(*rec);
        channel_newest = std::max(channel_newest, DtStampToDateTime(TDtStamp{rec->Date, rec->Time}));
      }
    }
    pos += 2 * words;
    MemDataLog("finished analysing block " + nr);
  }
  // Taken over by the caller once the data sets are written.
  for (int ch = 1; ch <= 4; ++ch) mem_newest_[static_cast<size_t>(ch - 1)] = newest[static_cast<size_t>(ch - 1)];
}

std::string TTv10DevHndl::EmptyReadText() const {
  // The logger only counts the blocks after the start asked for: nothing after a start later
  // than the beginning of its memory does not mean that the memory is empty. The latest start
  // is named, as no channel has data after it.
  const TDateTime beginning = Tv10MemReadEpoch() + kSecond;
  TDateTime latest = beginning;
  for (TDateTime start : mem_start_) latest = std::max(latest, start);
  if (latest <= beginning) return LoadResString("deh_MemoryEmpty");
  return Format(LoadResString("deh_NoNewerDataF"), FormatDateTime("ddddd tt", latest));
}

void TTv10DevHndl::ReadMemBlocksFin() {
  if (!FCurModul) throw Exception("TTv10DevHndl.ReadMemBlocksFin: FCurModul is NIL!");
  MemDataLog("analysing received data");
  if (MemStream.Size() == 0) {
    if (MsgHandler)
      MsgHandler->HandleMessage(EmptyReadText(), "", TMsgDlgType::mtInformation, mbOK, 0, 0, true, mkWarning);
    return;
  }
  TDataGlobals* registry = DataGlobals;
  if (registry) registry->Lock();
  if (ProcessWindow) ProcessWindow->SetText2(LoadResString("deh_StoringData"));
  std::vector<TDtData*> sets;
  std::vector<uint8_t> set_channels;
  mem_bad_headers_ = 0;
  std::exception_ptr error;
  bool parsed = false;
  try {
    StoreMemStream(sets, set_channels);
    parsed = true;
  } catch (...) {
    error = std::current_exception();
  }
  // Every data set taken is written and given back, also after an error. A channel whose data
  // could not all be written keeps its last update, so that the next read fetches them again.
  uint8_t failed = 0;
  {
    // The weekly files are renamed into place before their folders are flushed, once each and
    // before the last updates that count them as stored are written.
    TAtomicWriteBatch batch;
    for (size_t i = 0; i < sets.size(); ++i) {
      TDtData* set = sets[i];
      try {
        if (set->Flush() != drDone) {
          failed |= set_channels[i];
          if (MsgHandler)
            MsgHandler->HandleMessage(LoadResString("dat_CannotSaveData") + " (" + set->Path + ")",
                                      "TTv10DevHndl.ReadMemBlocksFin", TMsgDlgType::mtError, mbOK, 0, 0, true, mkError);
        }
        set->FreeBuffer();
        set->NavigatorChanged();
      } catch (...) {
        failed |= set_channels[i];
        if (!error) error = std::current_exception();
      }
      set->Unlock();
    }
  }
  if (registry) registry->Unlock();
  if (mem_bad_headers_ > 0)
    Report(Format(LoadResString("deh_BlockHeadErrCntF"), std::exchange(mem_bad_headers_, 0)), TMsgDlgType::mtWarning);
  if (parsed) {
    // All channels' last updates in one rewrite of the module's file.
    FCurModul->SetLastUpdates(mem_newest_, static_cast<uint8_t>(~failed & 0x0F));
    MemDataLog("finished analysing received data !");
    MemStream.Clear();
  }
  if (error) std::rethrow_exception(error);
}

bool TTv10DevHndl::ReadMemAnonym(bool interactive, bool disconnect) {
  // Whether the logger has a memory to read is known once the read's own configuration read
  // has identified it, not from an earlier read of maybe another logger.
  bool no_memory = false;
  bool ok = WithConnection("TTv10DevHndl.ReadMemAnonym: Connection or ComPort nil!", disconnect, [&] {
    if (!Connected(interactive)) return false;
    auto* p = NewProtocol<TTv10ReadMemProt>();
    p->Port = Connection->Port();
    p->Interactive = interactive;
    p->SendTimeOut = SendDataTimeOut;
    p->AnswerTimeOut = GetAnswerTimeOut();
    p->MaxEEVersion = kMaxEEVersion;
    p->OnMemStart = [this](TComProtocol* s) { ReadMemSetDT(static_cast<TTv10ReadMemProt*>(s)); };
    // Fired by the configuration child, with itself as sender.
    p->OnConfigRead = [this](TComProtocol* s) { FindOrCreateModul(static_cast<TTv10RdCfgProt*>(s)); };
    p->OnBlockRead = [this](TComProtocol* s) { ReadMemBlockRead(static_cast<TTv10ReadOfflProt*>(s)); };
    p->OnReadDone = [this](TComProtocol*, int32_t) { ReadMemBlocksFin(); };
    FCurModul = nullptr;
    EEChanged = false;
    mem_start_.fill(Tv10MemReadEpoch());
    // Blocks left by a read that failed would run into this read's first header.
    MemStream.Clear();
    mem_block_no_ = 0;
    LastAlarmMailTime = 0;
    if (AlarmChannels) AlarmChannels->Clear();
    bool result = false;
    try {
      result = p->Execute();
    } catch (...) {
      if (AlarmChannels) AlarmChannels->Clear();
      RegisterNewModul();
      throw;
    }
    if (AlarmChannels) {
      try {
        AlarmChannels->LogAlarms();
        AlarmChannels->MailAlarms();
      } catch (...) {
      }
      AlarmChannels->Clear();
    }
    RegisterNewModul();
    no_memory = p->DevKind == 7;
    return result;
  });
  if (ok && !no_memory && interactive && FCurModul && AutoMonitor && AutoMonitor->Enabled() && DbShell && DtNavigator) {
    AddAuditEvent(TDY_AuditEventKind::DeviceData, std::to_string(FCurModul->Kennung()));
    TDateTime newest = Tv10MemReadEpoch();
    for (int slot = 1; slot <= std::min(FCurModul->GetSlotCount(), 4); ++slot)
      newest = std::max(newest, FCurModul->GetLastUpdate(slot));
    auto* nav = dynamic_cast<TDtNavigator*>(DtNavigator);
    const bool too_early = nav && nav->Dt1Stop.Date != NoDayNo && DtStampToDateTime(nav->Dt1Stop) < newest;
    if ((DbShell->GetSelDevice() != FCurModul || too_early) && MsgHandler) {
      const uint16_t answer =
          MsgHandler->HandleMessage(LoadResString("deh_SwitchToCurData"), "", TMsgDlgType::mtConfirmation,
                                    mbYes | mbNo | mbHelp, 3530, mrYes, false, mkQuestion);
      if (answer == mrYes) {
        SelectModul(FCurModul);
        if (too_early) nav->GotoNewest();
      }
    }
  }
  return ok;
}

}  // namespace qv
