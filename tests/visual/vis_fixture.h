#pragma once
// A form holding visual objects, a weekly data set with two channels registered in the registry
// of open data sets, and the shipped English texts.
#include <filesystem>
#include <memory>
#include <string>

#include "base/app_globals.h"
#include "datastore/channels.h"
#include "datastore/data_globals.h"
#include "datastore/kw_data.h"
#include "platform/gui/forms.h"
#include "support/english_texts.h"
#include "support/temp_dir.h"

namespace qv::test {

class VisFixture {
public:
  VisFixture() : channels_(TChannels::CreateDefault()), rec_(2) {
    InitializeGui();
    saved_exe_ = ExePath;
    ExePath = dir.Path();
    DataGlobals = &globals_;
    for (uint8_t key : {2, 5}) {
      auto c = std::make_unique<TChannel>(key);
      c->SetName("Temperature " + std::to_string(key));
      c->SetSName("T" + std::to_string(key));
      c->SetUnit(key == 5 ? "C" : "%");
      channels_->Add(std::move(c));
    }
    std::filesystem::create_directories(dir.File("DL001"));
    data = std::make_unique<TKwData>(dir.Path() + "DL001/", channels_.get(), &rec_);
    data->SetName("Logger 1");
    data->SetSName("L1");
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 640, 480);
  }
  ~VisFixture() {
    form.reset();
    data.reset();
    DataGlobals = nullptr;
    ExePath = saved_exe_;
  }
  TChannel* Chan(int key) const { return channels_->FindByKey(key); }

  EnglishTexts texts;
  TempDir dir;
  std::unique_ptr<TKwData> data;
  std::unique_ptr<TForm> form;

private:
  std::string saved_exe_;
  TDataGlobals globals_;
  std::unique_ptr<TChannels> channels_;
  TDtRecord rec_;
};

}  // namespace qv::test
