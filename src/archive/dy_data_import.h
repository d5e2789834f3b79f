#pragma once
// The bridge between the archive's own channel descriptions (logger id and channel number) and
// the device tree of the logger side: finds the tree's channel of an archive channel, copies and
// compares descriptions, keeps channel lists in line with the tree, lets the user choose
// channels, and reads the logged values of a time range into a document's data rows. Made for
// one operation and freed after it; it holds no state of its own.
//
// A logger channel is known in the archive by (LoggerID, ChannelID): the logger id of the data
// set's device node, and the 1-based position of the channel among all value channels of that
// logger id, counted over the whole device tree in tree order.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/dy_doc_content.h"
#include "datastore/data.h"
#include "platform/rtl/date_time.h"

namespace qv {

class TGlobChanList;

// One value channel of one data set of the device tree.
using ChannelCell = TChanSelCell;
using ChannelCellList = TChanSelList;

// Shows the channel choice (the global-channel dialog, captioned "d42_SetupChans", without the
// move buttons) on cells, which it edits in place; true on OK. The archive's forms install it;
// without it the choice is cancelled.
extern std::function<bool(ChannelCellList& cells)> SelectChannelsDialog;

class TDY_DataImport {
public:
  // Every value channel of every data set of the device tree (DbShell's root), in tree order.
  static ChannelCellList TotalCells();

  // Copies the tree's description into channel (not ChannelID, DeviceType, AlarmEnabled, Color,
  // LineStyle, PointerStyle). A cell without data set or channel: error box, nothing copied.
  void CopyChannel(const ChannelCell* cell, TDY_Channel* channel);
  // Whether the descriptions agree (limits within 0.001). A missing cell or channel: error box
  // and true.
  bool CompareChannel(const ChannelCell* cell, const TDY_Channel* channel);
  // The ChannelID of the first cell of the tree with the cell's logger id and a channel of the
  // same description; -1 when there is none.
  int32_t ChannelPosition(const ChannelCell& cell);
  // The tree's cell of the channel's LoggerID and ChannelID.
  std::optional<ChannelCell> FindCell(const TDY_Channel& channel);
  // Refreshes the channels whose tree channel changed and removes those of loggers that are no
  // longer in the tree; true when anything changed.
  bool UpdateChannels(TDY_ChannelList& channels);
  // The cells of the channels in list order, refreshing changed descriptions; a channel without
  // one is reported ("DY_ChannelNotFound" [device:channel]) and skipped.
  void CellsOfChannels(TDY_ChannelList& channels, ChannelCellList& cells);
  // Lets the user choose; OK replaces the list by the chosen weekly-data channels (true).
  bool SelectChannels(TDY_ChannelList& channels);
  // Appends the values of the channels from start to stop (both included), missing values left
  // out, grouped by channel in list order and each group in time order. Answers the number of
  // rows appended. A stop before the start raises "Error in TDtData.OpenDT: Start after Stop!"
  // with the rows read so far kept.
  int ImportData(TDY_ChannelList& channels, TDY_DataList& data, TDateTime start, TDateTime stop);

  void FreeCells(ChannelCellList& cells);
  // Frees the data sets of a list the importer built (its private copies) with their records,
  // and empties the list.
  void FreeSources(TGlobChanList& list);

private:
  struct TFoundCell {
    ChannelCell cell;
    int32_t position;  // the channel's ChannelID
  };
  // CellsOfChannels, keeping each cell's channel id.
  std::vector<TFoundCell> FoundCells(TDY_ChannelList& channels);
};

}  // namespace qv
