#include "archive/dy_data_import.h"

#include "datastore/global_channel.h"

namespace qv {

std::function<bool(ChannelCellList& cells)> SelectChannelsDialog;

ChannelCellList TDY_DataImport::TotalCells() { return {}; }
void TDY_DataImport::CopyChannel(const ChannelCell*, TDY_Channel*) {}
bool TDY_DataImport::CompareChannel(const ChannelCell*, const TDY_Channel*) { return true; }
int32_t TDY_DataImport::ChannelPosition(const ChannelCell&) { return -1; }
std::optional<ChannelCell> TDY_DataImport::FindCell(const TDY_Channel&) { return std::nullopt; }
bool TDY_DataImport::UpdateChannels(TDY_ChannelList&) { return false; }
void TDY_DataImport::CellsOfChannels(TDY_ChannelList&, ChannelCellList&) {}
bool TDY_DataImport::SelectChannels(TDY_ChannelList&) { return false; }
int TDY_DataImport::ImportData(TDY_ChannelList&, TDY_DataList&, TDateTime, TDateTime) { return 0; }
void TDY_DataImport::FreeCells(ChannelCellList& cells) { cells.clear(); }
void TDY_DataImport::FreeSources(TGlobChanList&) {}

}  // namespace qv
