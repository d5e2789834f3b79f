#pragma once
// Data sets on disk. TFdtData is bound to one data file; TKwData to a folder of weekly data
// files, one per ISO week, which is what every sensor folder holds. Opening a time range reads
// only the weeks that cover it; flushing splits the new records by week and merges them into
// the weekly files. Every file is rewritten through a temporary file and a rename, and a file
// that does not fit (other channels, a damaged block) is reported and left alone.
#include <cstdint>
#include <memory>
#include <string>

#include "datastore/data_file.h"
#include "datastore/dt_data.h"

namespace qv {

class TChannels;

// Reads the channel block of an open data file into file_channels and checks that its records
// have record_size bytes and, with an expected list, as many channels: a block that cannot be
// read raises EDatFormatError "dat_UncompatibleFormat" with the reason, one that does not fit
// EDatFormatError "dat_UncompatibleChannels".
TDataFileHead ReadFileChannels(TStream& file, std::unique_ptr<TChannels>& file_channels, const TChannels* expected,
                               int32_t record_size);
// Writes the list's channel block (an empty block without list).
void WriteFileChannels(TStream& file, TChannels* channels);
// Appends the file's whole records to the buffer; on failure the buffer keeps its old size.
void AppendFileRecords(TStream& file, const TDataFileHead& head, int32_t record_size, TStream& buffer);

class TFdtData : public TDtData {
public:
  // Path is the folder with a trailing "/"; Name the file name without folder and extension.
  TFdtData(std::string path, TChannels* channels, TDtRecord* rec, std::string name);

  virtual std::string ClassName() const { return "TFdtData"; }
  int32_t ReadData() override;
  int32_t WriteData() override;
  std::string DefineIdent() override;
  std::string GetName() override { return GetFileName(); }
  std::string GetSName() override;
  bool NoData() override;

  void SetFileName(const std::string& full_name);
  std::string GetFileName() const { return Path + FileName + FileExt; }
  int32_t OpenFile(const std::string& full_name);

  std::string FileName;
  std::string FileExt = ".QVR";  // at most 5 characters, with its dot
};

}  // namespace qv
