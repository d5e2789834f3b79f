#pragma once
// Global channels: one channel of one data set, anywhere in the program (a plot curve, a table
// column, an export column, an alarm channel). Stored in a settings file as the data set's
// identity text and the channel's key, so that it is found again after a restart.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qv {

class TData;
class TChannel;
class TIniFile2;

class TGlobalChannel {
public:
  // Neither may be null: EChannelError "Error in TGlobalChannel.Create: Data or Channel nil!".
  TGlobalChannel(TData* data, TChannel* channel);
  virtual ~TGlobalChannel() = default;
  TGlobalChannel(const TGlobalChannel&) = delete;
  TGlobalChannel& operator=(const TGlobalChannel&) = delete;

  virtual std::string ClassName() const { return "TGlobalChannel"; }
  // Data set's short name + ": " + channel's short name; the long form with the long names.
  virtual std::string GetSText() const;
  virtual std::string GetText() const;
  // Takes Source's data set and channel; nothing for null.
  virtual void Assign(const TGlobalChannel* source);
  virtual std::unique_ptr<TGlobalChannel> Clone() const;
  // Descendants read their own keys here; nothing in the base.
  virtual void LoadRegKey(TIniFile2& ini, const std::string& section);
  // "ClassName", "DataIdent" and "ChanKey", in this order. A null file or an empty section
  // raises "TGlobalChannel.StoreIniFile: IniFile nil or no Section specified!".
  virtual void StoreIniFile(TIniFile2* ini, const std::string& section);
  virtual void LoadIniFile(TIniFile2& ini, const std::string& section);

  // The channel's value index in the data set's records; -1 without list or when its key is gone.
  void UpdateIndex();

  TData* Data() const { return data_; }
  TChannel* Channel() const { return channel_; }
  int32_t ValueIndex() const { return value_index_; }

private:
  TData* data_;
  TChannel* channel_;
  int32_t value_index_ = -1;
};

// A stored reference read back: the data set found by DataIdent in the registry of open data
// sets and its channel by ChanKey (default 0); both null when the section lacks either key or
// either is not found.
struct TGlobChanRef {
  TData* Data = nullptr;
  TChannel* Channel = nullptr;
};
TGlobChanRef FindStoredGlobChan(const TIniFile2& ini, const std::string& section);

// The ordered, owning list of global channels of a plot, table or export, with the distinct data
// sets they use in order of first appearance.
class TGlobChanList {
public:
  TGlobChanList() = default;
  TGlobChanList(const TGlobChanList&) = delete;
  TGlobChanList& operator=(const TGlobChanList&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  TGlobalChannel* GetGlobChan_I(int index) const;
  int DataCount() const { return static_cast<int>(data_.size()); }
  TData* GetData_I(int index) const;
  // Both take ownership.
  int Add(std::unique_ptr<TGlobalChannel> glob_chan);
  void Insert(int index, std::unique_ptr<TGlobalChannel> glob_chan);
  int IndexOfGlobChan(const TGlobalChannel* glob_chan) const;
  int IndexOfChan(const TChannel* channel) const;
  TGlobalChannel* FindChan(const TChannel* channel) const;
  // Without FreeIt the entry is handed back to the caller.
  std::unique_ptr<TGlobalChannel> Delete(int index, bool free_it);
  void Remove(const TGlobalChannel* glob_chan);
  void UpdateIndexes();
  bool ContainsData(const TData* data) const;
  // Some entry's channel unit contains Text (cut to 255 characters), case-sensitive.
  bool ContainsUnit(const std::string& text) const;

private:
  void NoteData(TData* data);
  std::vector<std::unique_ptr<TGlobalChannel>> items_;
  std::vector<TData*> data_;
};

}  // namespace qv
