#pragma once
// A device tree in a temporary program folder, with the device classes registered, the archive
// stand-ins installed and the device model's messages recorded and answered by a script.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/app_globals.h"
#include "base/archive_hooks.h"
#include "datastore/channels.h"
#include "devices/dev_class_registry.h"
#include "devices/device.h"
#include "device_messages_log.h"
#include "support/temp_dir.h"

namespace qv::test {

class DeviceFixture : public testing::Test {
protected:
  DeviceFixture() : old_exe_path_(ExePath), old_registry_(DevClassRegistry) {
    ExePath = home.Path();
    DevClassRegistry = &registry;
  }
  ~DeviceFixture() override {
    DevClassRegistry = old_registry_;
    ExePath = old_exe_path_;
  }

  // The root loaded from the program folder.
  std::unique_ptr<TDevice> LoadRoot() { return std::unique_ptr<TDevice>(TDevice::CreateFromDir(nullptr, ExePath)); }

  // A new node below parent with the next free id, set up on disk; the parent owns it.
  TDevice* AddDevice(TDevice* parent, const std::string& name, int32_t lo = 0,
                     std::unique_ptr<TChannels> channels = nullptr) {
    auto node = TDevice::Create(parent, std::move(channels));
    node->SetId(parent->FindNextId(lo, TDevice::MaxId));
    node->SetName(name);
    EXPECT_TRUE(node->SetUpDevice());
    return node.release();
  }

  std::string DeviceIni(const std::string& folder) { return home.Read(folder + "/Device.ini"); }

  // Every file below the program folder with its bytes, for "nothing was touched" checks.
  std::vector<std::pair<std::string, std::string>> Snapshot(const std::string& folder = "") const {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(home.Path() + folder))
      if (e.is_regular_file())
        out.emplace_back(e.path().string(), home.Read(std::filesystem::relative(e.path(), home.Path()).string()));
    std::sort(out.begin(), out.end());
    return out;
  }

  TempDir home;
  TDevClassRegistry registry;
  TArchiveStandIns archive;
  DeviceMessagesLog log;
  std::vector<DeviceMessageEntry>& messages = log.messages;
  std::deque<bool>& answers = log.answers;  // answers to confirmations, Yes = true; none left: Cancel

private:
  std::string old_exe_path_;
  TDevClassRegistry* old_registry_;
};

}  // namespace qv::test
