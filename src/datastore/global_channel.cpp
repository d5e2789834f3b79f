#include "datastore/global_channel.h"

#include <algorithm>

#include "base/ini_file2.h"
#include "datastore/channels.h"
#include "datastore/data.h"
#include "datastore/data_globals.h"

namespace qv {

TGlobalChannel::TGlobalChannel(TData* data, TChannel* channel) : data_(data), channel_(channel) {
  if (!data || !channel) throw EChannelError("Error in TGlobalChannel.Create: Data or Channel nil!");
  UpdateIndex();
}

void TGlobalChannel::UpdateIndex() {
  TChannels* channels = data_->Channels();
  value_index_ = channels ? channels->IndexOfKey(channel_->Key()) : -1;
}

std::string TGlobalChannel::GetSText() const { return data_->GetSName() + ": " + channel_->SName(); }
std::string TGlobalChannel::GetText() const { return data_->GetName() + ": " + channel_->Name(); }

void TGlobalChannel::Assign(const TGlobalChannel* source) {
  if (!source) return;
  data_ = source->data_;
  channel_ = source->channel_;
  UpdateIndex();
}

std::unique_ptr<TGlobalChannel> TGlobalChannel::Clone() const {
  return std::make_unique<TGlobalChannel>(data_, channel_);
}

void TGlobalChannel::LoadRegKey(TIniFile2&, const std::string&) {}
void TGlobalChannel::LoadIniFile(TIniFile2&, const std::string&) {}

void TGlobalChannel::StoreIniFile(TIniFile2* ini, const std::string& section) {
  if (!ini || section.empty()) throw Exception("TGlobalChannel.StoreIniFile: IniFile nil or no Section specified!");
  ini->WriteString(section, "ClassName", ClassName());
  ini->WriteString(section, "DataIdent", data_->GetDataIdent());
  ini->WriteInteger(section, "ChanKey", channel_->Key());
}

TGlobChanRef FindStoredGlobChan(const TIniFile2& ini, const std::string& section) {
  TGlobChanRef ref;
  if (!ini.ValueExists(section, "DataIdent") || !ini.ValueExists(section, "ChanKey") || !DataGlobals) return ref;
  TData* data = DataGlobals->FindData(ini.ReadString(section, "DataIdent", ""));
  if (!data || !data->Channels()) return ref;
  TChannel* channel = data->Channels()->FindByKey(ini.ReadInteger(section, "ChanKey", 0));
  if (!channel) return ref;
  ref.Data = data;
  ref.Channel = channel;
  return ref;
}

// ---- TGlobChanList ----

TGlobalChannel* TGlobChanList::GetGlobChan_I(int index) const {
  if (index < 0 || index >= Count()) throw Exception("Error in TGlobChanList.GetGlobChan_I: Index out of bounds");
  return items_[static_cast<size_t>(index)].get();
}

TData* TGlobChanList::GetData_I(int index) const {
  if (index < 0 || index >= DataCount())
    throw Exception("TGlobChanList.GetData_I: Index out of bounds: " + std::to_string(index));
  return data_[static_cast<size_t>(index)];
}

void TGlobChanList::NoteData(TData* data) {
  if (std::find(data_.begin(), data_.end(), data) == data_.end()) data_.push_back(data);
}

int TGlobChanList::Add(std::unique_ptr<TGlobalChannel> glob_chan) {
  if (!glob_chan) throw Exception("TGlobChanList.Add: GlobChan is nil");
  NoteData(glob_chan->Data());
  items_.push_back(std::move(glob_chan));
  return Count() - 1;
}

void TGlobChanList::Insert(int index, std::unique_ptr<TGlobalChannel> glob_chan) {
  if (!glob_chan) throw Exception("TGlobChanList.Insert: GlobChan is nil");
  NoteData(glob_chan->Data());
  index = std::clamp(index, 0, Count());
  items_.insert(items_.begin() + index, std::move(glob_chan));
}

int TGlobChanList::IndexOfGlobChan(const TGlobalChannel* glob_chan) const {
  if (!glob_chan) throw Exception("Error in TGlobChanList.IndexOfGlobChan: GlobChan is nil");
  for (int i = 0; i < Count(); ++i)
    if (items_[static_cast<size_t>(i)].get() == glob_chan) return i;
  return -1;
}

int TGlobChanList::IndexOfChan(const TChannel* channel) const {
  if (!channel) throw Exception("Error in TGlobChanList.IndexOfChan: Chan is nil");
  for (int i = 0; i < Count(); ++i)
    if (items_[static_cast<size_t>(i)]->Channel() == channel) return i;
  return -1;
}

TGlobalChannel* TGlobChanList::FindChan(const TChannel* channel) const {
  int i = IndexOfChan(channel);
  return i < 0 ? nullptr : items_[static_cast<size_t>(i)].get();
}

std::unique_ptr<TGlobalChannel> TGlobChanList::Delete(int index, bool free_it) {
  if (index < 0 || index >= Count()) throw Exception("Error in TGlobChanList.Delete: Index out of bounds");
  std::unique_ptr<TGlobalChannel> entry = std::move(items_[static_cast<size_t>(index)]);
  items_.erase(items_.begin() + index);
  if (!ContainsData(entry->Data())) data_.erase(std::find(data_.begin(), data_.end(), entry->Data()));
  if (free_it) entry.reset();
  return entry;
}

void TGlobChanList::Remove(const TGlobalChannel* glob_chan) {
  if (!glob_chan) return;
  int i = IndexOfGlobChan(glob_chan);
  if (i >= 0) Delete(i, true);
}

void TGlobChanList::UpdateIndexes() {
  for (auto& item : items_) item->UpdateIndex();
}

bool TGlobChanList::ContainsData(const TData* data) const {
  return std::any_of(items_.begin(), items_.end(), [&](const auto& item) { return item->Data() == data; });
}

bool TGlobChanList::ContainsUnit(const std::string& text) const {
  std::string needle = text.substr(0, 255);
  return std::any_of(items_.begin(), items_.end(),
                     [&](const auto& item) { return item->Channel()->Unit().find(needle) != std::string::npos; });
}

}  // namespace qv
