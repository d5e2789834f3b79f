#include "archive/dy_data_import.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "archive/archive_globals.h"
#include "base/dt_stamp.h"
#include "base/res_string.h"
#include "datastore/channel.h"
#include "datastore/channels.h"
#include "datastore/global_channel.h"
#include "datastore/kw_data.h"
#include "devices/db_shell.h"
#include "devices/device.h"
#include "visual/data_view.h"

namespace qv {

std::function<bool(ChannelCellList& cells)> SelectChannelsDialog;

namespace {

// Limits that differ by no more than this count as equal: they went through text with fewer
// digits than a double holds.
constexpr double LimitTolerance = 0.001;

// DtStampToDateTime for stamps that come day by day: the day's part is worked out once per day.
class TStampConverter {
public:
  TDateTime operator()(const TDtStamp& t) {
    if (t.Time < 0 || t.Time >= 86400) return DtStampToDateTime(t);
    if (t.Date != day_) {
      day_ = t.Date;
      day_time_ = DayNoToDateTime(t.Date);
    }
    if (day_time_ == NoDateTime) return NoDateTime;
    // As EncodeTime gives it for whole seconds.
    return day_time_ + static_cast<double>(t.Time * 1000) / 86400000.0;
  }

private:
  uint16_t day_ = NoDayNo;
  TDateTime day_time_ = NoDateTime;
};

bool CellMissing(const ChannelCell* cell) { return !cell || !cell->Data || !cell->Channel; }

bool SameDescription(const TChannel& a, const TChannel& b) {
  return a.Name() == b.Name() && a.Key() == b.Key() && a.SName() == b.SName() && a.Unit() == b.Unit() &&
         a.Description() == b.Description() && a.SensType() == b.SensType() && a.MeasType() == b.MeasType() &&
         a.CalcType() == b.CalcType();
}

// The ChannelID of every cell: its position among the cells of its logger id, counted over the
// whole list, so that a logger whose cells lie in several places never gives two channels one id.
std::vector<int32_t> Positions(const ChannelCellList& cells) {
  std::map<int32_t, int32_t> counts;
  std::vector<int32_t> positions;
  positions.reserve(cells.size());
  for (const ChannelCell& cell : cells) positions.push_back(++counts[cell.Data->LoggerId]);
  return positions;
}

}  // namespace

ChannelCellList TDY_DataImport::TotalCells() {
  ChannelCellList cells;
  if (DbShell && DbShell->Root()) DbShell->Root()->FillTotalChanList(&cells);
  return cells;
}

void TDY_DataImport::CopyChannel(const ChannelCell* cell, TDY_Channel* channel) {
  if (CellMissing(cell) || !channel) {
    ArchiveErrorBox("CopyChannel : QVChannel oder DYChannel sind nil !");
    return;
  }
  TData& data = *cell->Data;
  const TChannel& c = *cell->Channel;
  channel->Device->LoggerID = data.LoggerId;
  channel->Device->DeviceName = data.GetName();
  channel->Device->DeviceSName = data.GetSName();
  channel->ChannelType = c.Key();
  channel->ChannelName = c.Name();
  channel->ChannelSName = c.SName();
  channel->SensorType = c.SensType();
  channel->Unit = c.Unit();
  channel->ChannelMin = c.ValMin();
  channel->ChannelMax = c.ValMax();
  channel->AlarmMin = c.AlarmMin();
  channel->AlarmMax = c.AlarmMax();
  channel->MeasType = c.MeasType();
  channel->CalcType = c.CalcType();
  channel->CellWidth = c.ColumnChars();
  channel->ViewMin = c.ViewMin();
  channel->ViewMax = c.ViewMax();
  channel->DecWidth = c.ValueChars();
  channel->Decimals = c.Decimals();
}

bool TDY_DataImport::CompareChannel(const ChannelCell* cell, const TDY_Channel* channel) {
  if (CellMissing(cell) || !channel) {
    ArchiveErrorBox("CompareChannel : QVChannel oder DYChannel sind nil !");
    return true;
  }
  TData& data = *cell->Data;
  const TChannel& c = *cell->Channel;
  auto near = [](double a, double b) { return std::fabs(a - b) <= LimitTolerance; };
  return channel->Device->LoggerID == data.LoggerId && channel->Device->DeviceName == data.GetName() &&
         channel->Device->DeviceSName == data.GetSName() && channel->ChannelType == c.Key() &&
         channel->ChannelName == c.Name() && channel->ChannelSName == c.SName() &&
         channel->SensorType == c.SensType() && channel->Unit == c.Unit() && channel->MeasType == c.MeasType() &&
         channel->CalcType == c.CalcType() && channel->CellWidth == c.ColumnChars() &&
         channel->DecWidth == c.ValueChars() && channel->Decimals == c.Decimals() &&
         near(channel->ChannelMin, c.ValMin()) && near(channel->ChannelMax, c.ValMax()) &&
         near(channel->AlarmMin, c.AlarmMin()) && near(channel->AlarmMax, c.AlarmMax()) &&
         near(channel->ViewMin, c.ViewMin()) && near(channel->ViewMax, c.ViewMax());
}

int32_t TDY_DataImport::ChannelPosition(const ChannelCell& cell) {
  if (CellMissing(&cell)) return -1;
  const ChannelCellList cells = TotalCells();
  const std::vector<int32_t> positions = Positions(cells);
  // A cell of the tree has its own position; two channels of one logger that look alike (in
  // two sensor folders) would otherwise share the first one's id and its data.
  for (size_t i = 0; i < cells.size(); ++i)
    if (cells[i].Data == cell.Data && cells[i].Channel == cell.Channel) return positions[i];
  for (size_t i = 0; i < cells.size(); ++i)
    if (cells[i].Data->LoggerId == cell.Data->LoggerId && SameDescription(*cells[i].Channel, *cell.Channel))
      return positions[i];
  return -1;
}

std::optional<ChannelCell> TDY_DataImport::FindCell(const TDY_Channel& channel) {
  const ChannelCellList cells = TotalCells();
  const std::vector<int32_t> positions = Positions(cells);
  for (size_t i = 0; i < cells.size(); ++i)
    if (cells[i].Data->LoggerId == channel.Device->LoggerID && positions[i] == channel.ChannelID) return cells[i];
  return std::nullopt;
}

bool TDY_DataImport::UpdateChannels(TDY_ChannelList& channels) {
  const ChannelCellList cells = TotalCells();
  const std::vector<int32_t> positions = Positions(cells);
  TDY_DeviceList devices;
  BuildDeviceList(channels, devices);
  bool changed = false;
  for (size_t i = 0; i < cells.size(); ++i) {
    for (int d = 0; d < devices.Count(); ++d) {
      if (devices.Get(d)->LoggerID != cells[i].Data->LoggerId) continue;
      TDY_Channel* channel = channels.Find(cells[i].Data->LoggerId, positions[i]);
      if (channel && !CompareChannel(&cells[i], channel)) {
        CopyChannel(&cells[i], channel);
        changed = true;
      }
    }
  }
  std::vector<int32_t> gone;
  for (int d = 0; d < devices.Count(); ++d) {
    const int32_t logger = devices.Get(d)->LoggerID;
    bool present = false;
    for (const ChannelCell& cell : cells) present = present || cell.Data->LoggerId == logger;
    if (!present) gone.push_back(logger);
  }
  if (!gone.empty()) {
    TDY_ChannelList kept;
    for (int i = 0; i < channels.Count(); ++i) {
      const TDY_Channel& channel = *channels.Get(i);
      if (std::find(gone.begin(), gone.end(), channel.Device->LoggerID) == gone.end()) kept.Add(channel.Clone());
    }
    channels = std::move(kept);
    changed = true;
  }
  return changed;
}

void TDY_DataImport::CellsOfChannels(TDY_ChannelList& channels, ChannelCellList& cells) {
  for (const TFoundCell& found : FoundCells(channels)) cells.push_back(found.cell);
}

std::vector<TDY_DataImport::TFoundCell> TDY_DataImport::FoundCells(TDY_ChannelList& channels) {
  std::vector<TFoundCell> result;
  for (int i = 0; i < channels.Count(); ++i) {
    TDY_Channel& channel = *channels.Get(i);
    const std::optional<ChannelCell> cell = FindCell(channel);
    if (!cell) {
      ArchiveErrorBox(LoadResString("DY_ChannelNotFound") + " [" + channel.Device->DeviceName + ":" +
                      channel.ChannelName + "]");
      continue;
    }
    if (!CompareChannel(&*cell, &channel)) CopyChannel(&*cell, &channel);
    result.push_back({*cell, channel.ChannelID});
  }
  return result;
}

bool TDY_DataImport::SelectChannels(TDY_ChannelList& channels) {
  ChannelCellList cells;
  CellsOfChannels(channels, cells);
  if (!SelectChannelsDialog || !SelectChannelsDialog(cells)) return false;
  channels.Clear();
  for (const ChannelCell& cell : cells) {
    if (!dynamic_cast<TKwData*>(cell.Data)) continue;
    auto channel = std::make_unique<TDY_Channel>();
    channel->ChannelID = ChannelPosition(cell);
    channel->Device->DeviceType = 1;
    CopyChannel(&cell, channel.get());
    channels.Add(std::move(channel));
  }
  return true;
}

int TDY_DataImport::ImportData(TDY_ChannelList& channels, TDY_DataList& data, TDateTime start, TDateTime stop) {
  // Only weekly data sets are read. Each row carries the id its channel was found under.
  std::vector<TFoundCell> found;
  for (const TFoundCell& f : FoundCells(channels))
    if (dynamic_cast<TKwData*>(f.cell.Data)) found.push_back(f);
  TDtStamp start_stamp, stop_stamp;
  DateTimeToDtStamp(start_stamp, start);
  DateTimeToDtStamp(stop_stamp, stop);
  const int appended_before = data.Count();

  // One merged view per data set, over the channels of the list that it holds: their records
  // share its time stamps, so the view's rows are no more than the data set's records. (One view
  // over several data sets would hold a row per time stamp of any of them, with a column for
  // every channel.) Freed however the import ends: each view, then the copy it read, then its
  // record.
  struct TSource {
    TData* data;
    TGlobChanList list;
    std::unique_ptr<TDtRecord> row;
    std::unique_ptr<TDataView> view;
  };
  struct TSources {
    TDY_DataImport& importer;
    std::vector<std::unique_ptr<TSource>> items;
    ~TSources() {
      for (auto& s : items) {
        s->view.reset();
        importer.FreeSources(s->list);
      }
    }
  } sources{*this, {}};
  struct TColumn {
    TSource* source;
    int32_t column;
  };
  std::vector<TColumn> columns;
  for (const TFoundCell& f : found) {
    auto* data_set = static_cast<TKwData*>(f.cell.Data);
    TSource* source = nullptr;
    for (auto& s : sources.items)
      if (s->data == data_set) source = s.get();
    if (!source) {
      source = sources.items.emplace_back(std::make_unique<TSource>()).get();
      source->data = data_set;
    }
    TGlobChanList& list = source->list;
    int32_t column = list.IndexOfChan(f.cell.Channel);
    if (column < 0) {
      // The private copy has no identity, so the registry of open data sets never hands it to
      // anyone else, and the data sets that plots, tables and the recorder use are never touched.
      TData* copy = list.DataCount() > 0 ? list.GetData_I(0) : nullptr;
      if (!copy) {
        const int32_t values = data_set->Channels() ? data_set->Channels()->ValueCount() : 0;
        auto record = std::make_unique<TDtRecord>(std::max(1, values));
        auto fresh = std::make_unique<TKwData>(data_set->Path, data_set->Channels(), record.get());
        fresh->NoIdent = true;
        fresh->AddClient(this, DataEventBit(deKeepBuffer), nullptr);
        fresh->SetName(data_set->GetName());
        fresh->SetSName(data_set->GetSName());
        fresh->LoggerId = data_set->LoggerId;
        list.Add(std::make_unique<TGlobalChannel>(fresh.get(), f.cell.Channel));
        // The list holds it now: FreeSources frees it with its record.
        fresh.release();
        record.release();
      } else {
        list.Add(std::make_unique<TGlobalChannel>(copy, f.cell.Channel));
      }
      column = list.Count() - 1;
    }
    columns.push_back({source, column});
  }

  for (auto& s : sources.items) {
    auto* copy = static_cast<TKwData*>(s->list.GetData_I(0));
    s->row = std::make_unique<TDtRecord>(s->list.Count());
    s->view = std::make_unique<TDataView>(s->row.get());
    s->view->SetSourceRange(1);
    s->view->SkipEmptyRows = true;
    s->view->SetGlobChanList(&s->list);
    s->view->FreeBuffer();
    copy->WithEdges1 = false;
    copy->OpenDT(start_stamp, stop_stamp, NoDtStamp, NoDtStamp);
    s->view->Rebuild();
    // The view holds the rows now.
    copy->FreeBuffer();
    s->view->SelectWindow(0);
  }

  // Room for every row at once: a channel has at most as many rows as its view.
  size_t room = 0;
  for (const TColumn& c : columns) room += static_cast<size_t>(c.source->view->RecordCount());
  data.Reserve(static_cast<size_t>(data.Count()) + room);
  // Channel by channel in list order, each a walk over its view's rows straight from their bytes.
  for (size_t i = 0; i < columns.size(); ++i) {
    TDataView& view = *columns[i].source->view;
    const int32_t column = columns[i].column;
    const int32_t logger = found[i].cell.Data->LoggerId;
    const int32_t position = found[i].position;
    TDataLock lock(view);
    TDtCursor rows = view.Records();
    TStampConverter to_date_time;
    while (rows.Next()) {
      if (rows.ValueMissing(column)) continue;
      const TDateTime t = to_date_time(rows.Stamp());
      if (start <= t && t <= stop) data.Add({logger, position, t, rows.Value(column)});
    }
  }
  return data.Count() - appended_before;
}

void TDY_DataImport::FreeCells(ChannelCellList& cells) { cells.clear(); }

void TDY_DataImport::FreeSources(TGlobChanList& list) {
  std::vector<TData*> sources;
  for (int d = 0; d < list.DataCount(); ++d) sources.push_back(list.GetData_I(d));
  while (list.Count() > 0) list.Delete(list.Count() - 1, true);
  for (TData* data : sources) {
    TRecord* record = data->Rec();
    delete data;
    delete record;
  }
}

}  // namespace qv
