#pragma once
// Tables on the fixture's form over in-memory data sets with names of their own.
#include <memory>
#include <string>
#include <vector>

#include "datastore/channel.h"
#include "datastore/channels.h"
#include "datastore/data_fixture.h"
#include "datastore/dt_record.h"
#include "visual/table_vo.h"
#include "visual/vis_fixture.h"

namespace qv::test {

struct RecordHolder {
  // Built before the data set that reads it.
  explicit RecordHolder(size_t values) : HeldRec(std::make_unique<TDtRecord>(static_cast<int>(values))) {}
  std::unique_ptr<TDtRecord> HeldRec;
};

// A data set in memory with its own names and channels (short names given, keys from 1).
class NamedData : private RecordHolder, public TMemDtData {
public:
  NamedData(const std::string& ident, std::string name, std::string sname, const std::vector<std::string>& channels)
      : RecordHolder(channels.size()),
        TMemDtData(HeldRec.get(), ident),
        name_(std::move(name)),
        sname_(std::move(sname)),
        channels_(TChannels::CreateDefault()) {
    for (const std::string& c : channels)
      channels_->Add(TChannel::CreateWith(channels_->NewKey(), 0, 1, 1, 30, 0, 50, -10, "C", c, c + " long"));
    SetChannels(channels_.get());
  }
  std::string GetName() override { return name_; }
  std::string GetSName() override { return sname_; }
  TChannel* Chan(int i) const { return channels_->GetValueChannel(i); }

private:
  std::string name_, sname_;
  std::unique_ptr<TChannels> channels_;
};

// A table without values of its own: the base's cells.
class TestTable : public TTableVO {
public:
  using TTableVO::TTableVO;
  std::string ClassName() const override { return "TestTable"; }
};

}  // namespace qv::test
