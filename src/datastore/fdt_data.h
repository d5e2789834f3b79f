#pragma once
// The data set bound to one data file (the layout is in data_file.h), and the channel-block
// helpers that the weekly folders (kw_data.h) share with it. A file is rewritten through a
// temporary file and a rename, and one that does not fit the channel list (other channels, a
// damaged block) is refused, never read misaligned.
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
// EDatFormatError "dat_UncompatibleChannels". The file's size may be given as ReadDataFileHead takes it.
TDataFileHead ReadFileChannels(TStream& file, std::unique_ptr<TChannels>& file_channels, const TChannels* expected,
                               int32_t record_size, int64_t file_size = -1);
// Writes the list's channel block (an empty block without list).
void WriteFileChannels(TStream& file, TChannels* channels);

class TFdtData : public TDtData {
public:
  // Path is the folder with a trailing "/"; Name the file name without folder and extension.
  TFdtData(std::string path, TChannels* channels, TDtRecord* rec, std::string name);

  virtual std::string ClassName() const { return "TFdtData"; }
  int32_t ReadData() override;
  // Refuses (drRefused, reported) to replace a file that the last ReadData could not read.
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

private:
  // The file whose last read failed; WriteData refuses to replace it while it is there.
  std::string unread_file_;
};

}  // namespace qv
