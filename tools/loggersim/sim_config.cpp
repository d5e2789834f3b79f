#include "sim_config.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <set>

#include "platform/rtl/file_io.h"
#include "platform/rtl/text_utils.h"

namespace qv::sim {

namespace {

// Ranges of the sensors the simulator offers by default (board 0 and 1); other sensors need
// their range given with the slot.
bool KnownRange(int board, int type, double& min, double& max) {
  if (board > 1) return false;
  switch (type) {
    case 1:
      min = -40;
      max = 100;
      return true;
    case 2:
      min = -40;
      max = 212;
      return true;
    case 3:
      min = 0;
      max = 100;
      return true;
    case 4:
      min = 0;
      max = 600;
      return true;
    case 5:
      min = -70;
      max = 100;
      return true;
    case 6:
      min = -94;
      max = 212;
      return true;
    default: return false;
  }
}

// Sensor types whose range is stored in whole units rather than tenths.
bool WholeUnits(int type) { return type == 9 || type == 12 || type == 13 || type == 14; }

std::string TrimSpace(const std::string& s) { return Trim(s, " \t\r\n"); }

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  size_t from = 0;
  for (;;) {
    size_t at = s.find(sep, from);
    parts.push_back(TrimSpace(s.substr(from, at == std::string::npos ? std::string::npos : at - from)));
    if (at == std::string::npos) return parts;
    from = at + 1;
  }
}

[[noreturn]] void Bad(const std::string& key, const std::string& value) {
  throw ESimSetting("loggersim: invalid value \"" + value + "\" for \"" + key + "\"");
}

int Int(const std::string& key, const std::string& value, int lo, int hi) {
  std::string v = TrimSpace(value);
  if (v.empty()) Bad(key, value);
  size_t used = 0;
  long long n = 0;
  try {
    if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X'))
      n = std::stoll(v.substr(2), &used, 16), used += 2;
    else
      n = std::stoll(v, &used, 10);
  } catch (const std::exception&) {
    Bad(key, value);
  }
  if (used != v.size() || n < lo || n > hi) Bad(key, value);
  return static_cast<int>(n);
}

double Real(const std::string& key, const std::string& value) {
  try {
    size_t used = 0;
    double d = std::stod(TrimSpace(value), &used);
    if (used == TrimSpace(value).size() && std::isfinite(d)) return d;
  } catch (const std::exception&) {
  }
  Bad(key, value);
}

bool Flag(const std::string& key, const std::string& value) {
  if (value == "1" || value == "yes" || value == "true" || value == "on") return true;
  if (value == "0" || value == "no" || value == "false" || value == "off") return false;
  Bad(key, value);
}

BlockFault ParseBlockFault(const std::string& key, const std::string& value) {
  auto parts = Split(value, ':');
  if (parts.size() > 2) Bad(key, value);
  BlockFault f;
  if (parts[0] == "cfg")
    f.config = true;
  else
    f.block = Int(key, parts[0], 1, 1000000);
  if (parts.size() == 2) f.copies = Int(key, parts[1], 1, 1000000);
  return f;
}

// Keys that may stand without a value on the command line.
const std::set<std::string> kFlags = {"burst", "silent", "final-nack", "bad-clear-ack", "ff-padding"};

}  // namespace

void SimConfig::SetKind(int k) {
  if (k != 5 && k != 6 && k != 7) throw ESimSetting("loggersim: kind must be 5, 6 or 7");
  kind = k;
  // Two different sensors, so that the program tells the slots apart by board and type.
  static const SlotSetup kDefaults[4] = {{1, -40, 100}, {3, 0, 100}, {1, -40, 100}, {3, 0, 100}};
  const size_t old = slots.size();
  slots.resize(static_cast<size_t>(ChannelCount()));
  for (size_t i = old; i < slots.size(); ++i) slots[i] = kDefaults[i];
}

int SimConfig::TypeCode() const {
  if (faults.type_code) return *faults.type_code;
  return kind == 5 ? 5 : kind == 6 ? 40 : 50;
}

void SimConfig::ApplySetting(const std::string& raw_key, const std::string& raw_value) {
  const std::string key = TrimSpace(raw_key);
  const std::string value = TrimSpace(raw_value);
  if (key == "kind") {
    SetKind(Int(key, value, 5, 7));
  } else if (key == "id") {
    id = Int(key, value, 0, 0xFFFF);
  } else if (key == "ee") {
    ee = Int(key, value, 0, 255);
  } else if (key == "baud") {
    baud = value == "line" ? 0 : Int(key, value, 50, 4000000);
  } else if (key == "mode") {
    if (value != "paced" && value != "burst") Bad(key, value);
    burst = value == "burst";
  } else if (key == "burst") {
    burst = Flag(key, value);
  } else if (key == "clock") {
    DateTimeFields f;
    if (!ParseDateTime(value, f)) Bad(key, value);
    clock = f;
  } else if (key == "board") {
    board = Int(key, value, 0, 255);
  } else if (key.size() == 5 && key.rfind("slot", 0) == 0 && key[4] >= '1' && key[4] <= '4') {
    size_t slot = static_cast<size_t>(key[4] - '1');
    if (slot >= slots.size()) Bad(key, value);
    auto parts = Split(value, ',');
    SlotSetup s;
    s.type = Int(key, parts[0], 0, 255);
    if (parts.size() == 3) {
      s.min = Real(key, parts[1]);
      s.max = Real(key, parts[2]);
    } else if (parts.size() != 1 || !KnownRange(board, s.type, s.min, s.max)) {
      Bad(key, value);
    }
    slots[slot] = s;
  } else if (key == "image") {
    std::string bytes = ReadFileBytes(value);
    if (bytes.size() != ImageLength()) Bad(key, value + " (length " + std::to_string(bytes.size()) + ")");
    Bytes img(bytes.begin(), bytes.end());
    size_t id_at = kind == 6 ? 71 : 47;
    id = GetWord(img, id_at);
    ee = img[10];
    board = img[id_at + 18];
    for (size_t s = 0; s < slots.size(); ++s) {
      size_t part = id_at + 19 + 14 * s;
      slots[s].type = img[part];
      double scale = WholeUnits(img[part]) ? 1 : 10;
      slots[s].min = static_cast<int16_t>(GetWord(img, part + 8)) / scale;
      slots[s].max = static_cast<int16_t>(GetWord(img, part + 10)) / scale;
      if (s == 0) kinds = img[part + 1] & 7;
    }
    image = img;
  } else if (key == "channels") {
    channels = Int(key, value, 0, 4);
  } else if (key == "start") {
    DateTimeFields f;
    if (!ParseDateTime(value, f)) Bad(key, value);
    start = f;
  } else if (key == "interval") {
    interval = Int(key, value, 0, 0xFFFF);
  } else if (key == "sample") {
    sample = Int(key, value, 1, 86400);
  } else if (key == "kinds") {
    kinds = Int(key, value, 0, 7);
  } else if (key == "samples") {
    samples = Int(key, value, 0, 10000000);
  } else if (key == "gap") {
    auto parts = Split(value, ':');
    if (parts.size() != 2) Bad(key, value);
    gaps.emplace_back(Int(key, parts[0], 1, 10000000), Int(key, parts[1], 1, 10000000));
  } else if (key == "current") {
    auto slot_values = Split(value, ':');
    if (slot_values.size() != 2) Bad(key, value);
    auto words = Split(slot_values[1], ',');
    if (words.size() != 3) Bad(key, value);
    current[Int(key, slot_values[0], 1, 4)] = {static_cast<uint16_t>(Int(key, words[0], 0, 0xFFFF)),
                                               static_cast<uint16_t>(Int(key, words[1], 0, 0xFFFF)),
                                               static_cast<uint16_t>(Int(key, words[2], 0, 0xFFFF))};
  } else if (key == "silent") {
    faults.silent = Flag(key, value);
  } else if (key == "wake-after") {
    faults.wake_after = Int(key, value, 1, 1000);
  } else if (key == "late") {
    faults.late_ms = Int(key, value, 0, 600000);
  } else if (key == "late-wake") {
    faults.late_wake_ms = Int(key, value, 0, 600000);
  } else if (key == "refuse") {
    // "CMD" or "CMD:n"; the command is the request's first two characters.
    if (value.size() < 2) Bad(key, value);
    std::string cmd = value.substr(0, 2);
    int n = 1;
    if (value.size() > 2) {
      if (value[2] != ':') Bad(key, value);
      n = Int(key, value.substr(3), 1, 1000000);
    }
    faults.refuse[cmd] = n;
  } else if (key == "bad-sum") {
    faults.bad_sum_frames.push_back(Int(key, value, 1, 100000000));
  } else if (key == "bad-crc") {
    faults.bad_crc.push_back(ParseBlockFault(key, value));
  } else if (key == "truncate") {
    faults.truncate.push_back(ParseBlockFault(key, value));
  } else if (key == "type-code") {
    faults.type_code = Int(key, value, 0, 255);
  } else if (key == "answer-ee") {
    faults.answer_ee = Int(key, value, 0, 255);
  } else if (key == "image-id") {
    faults.image_id = Int(key, value, 0, 0xFFFF);
  } else if (key == "block-count") {
    faults.block_count = Int(key, value, 0, 0xFFFF);
  } else if (key == "final-nack") {
    faults.final_nack = value == "1" || value.empty() ? 1 : Int(key, value, 0, 1000);
  } else if (key == "bad-clear-ack") {
    faults.bad_clear_ack = Flag(key, value);
  } else if (key == "bad-header") {
    // "k:crc", "k:interval:V" or "k:pcb:V"; k = 0 damages every header.
    auto parts = Split(value, ':');
    HeaderFault f;
    if (parts.size() < 2) Bad(key, value);
    f.index = Int(key, parts[0], 0, 10000000);
    f.field = parts[1];
    if (f.field == "crc" && parts.size() == 2) {
    } else if ((f.field == "interval" || f.field == "pcb") && parts.size() == 3) {
      f.value = Int(key, parts[2], 0, 0xFFFF);
    } else {
      Bad(key, value);
    }
    faults.headers.push_back(f);
  } else if (key == "ff-padding") {
    faults.ff_padding = Flag(key, value);
  } else {
    throw ESimSetting("loggersim: unknown setting \"" + key + "\"");
  }
}

void SimConfig::LoadFile(const std::string& file_name) {
  std::string text = ReadFileBytes(file_name);
  size_t from = 0;
  while (from < text.size()) {
    size_t end = text.find('\n', from);
    std::string line = TrimSpace(text.substr(from, end == std::string::npos ? std::string::npos : end - from));
    from = end == std::string::npos ? text.size() : end + 1;
    if (line.empty() || line[0] == '#') continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) {
      if (!kFlags.count(line)) throw ESimSetting("loggersim: line without \"=\": " + line);
      ApplySetting(line, "1");
    } else {
      ApplySetting(line.substr(0, eq), line.substr(eq + 1));
    }
  }
}

void SimConfig::ParseArgs(const std::vector<std::string>& args) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.rfind("--", 0) != 0) throw ESimSetting("loggersim: unexpected argument \"" + arg + "\"");
    std::string key = arg.substr(2);
    std::string value;
    size_t eq = key.find('=');
    if (eq != std::string::npos) {
      value = key.substr(eq + 1);
      key = key.substr(0, eq);
    } else if (kFlags.count(key) && (i + 1 >= args.size() || args[i + 1].rfind("--", 0) == 0)) {
      value = "1";
    } else {
      if (i + 1 >= args.size()) throw ESimSetting("loggersim: \"--" + key + "\" needs a value");
      value = args[++i];
    }
    if (key == "config")
      LoadFile(value);
    else
      ApplySetting(key, value);
  }
}

Bytes SimConfig::BuildImage() const {
  const size_t id_at = kind == 6 ? 71 : 47;
  Bytes img;
  if (image) {
    img = *image;
  } else {
    img.assign(ImageLength(), 0);
    PutWord(img, 0, 1001);          // serial number
    PutWord(img, 2, 5 * 100 + 24);  // made in May 2024
    PutWord(img, 4, 3);             // project number
    img[6] = 1;
    img[7] = 1;
    img[8] = 1;
    img[9] = 0x12;
    const std::string name = "SIMLOG";
    std::copy(name.begin(), name.end(), img.begin() + 11);
    for (size_t s = 0; s < slots.size(); ++s) {
      std::string slot_name = "CH" + std::to_string(s + 1);
      std::copy(slot_name.begin(), slot_name.end(), img.begin() + 23 + static_cast<long>(12 * s));
    }
    img[id_at + 2] = 1;
    const auto sample_seconds = static_cast<uint32_t>(sample);
    for (int i = 0; i < 4; ++i)
      img[id_at + 3 + static_cast<size_t>(i)] = static_cast<uint8_t>(sample_seconds >> (8 * i));
    PutWord(img, id_at + 7, static_cast<uint16_t>(interval));
    // Local height 0, no preselected start (1 January 2000).
    img[id_at + 13] = 1;
    img[id_at + 14] = 1;
  }
  img[10] = static_cast<uint8_t>(ee);
  PutWord(img, id_at, static_cast<uint16_t>(faults.image_id.value_or(id)));
  img[id_at + 18] = static_cast<uint8_t>(board);
  for (size_t s = 0; s < slots.size(); ++s) {
    const size_t part = id_at + 19 + 14 * s;
    const SlotSetup& slot = slots[s];
    img[part] = static_cast<uint8_t>(slot.type);
    if (image) {
      img[part + 1] = static_cast<uint8_t>((img[part + 1] & ~7) | (kinds & 7));
      continue;
    }
    img[part + 1] = static_cast<uint8_t>((kinds & 7) | 0x08 | 0x10);  // circular, alarm at sample
    PutWord(img, part + 2, 0);
    PutWord(img, part + 4, 65520);
    PutWord(img, part + 6, 0);
    double scale = WholeUnits(slot.type) ? 1 : 10;
    PutWord(img, part + 8, static_cast<uint16_t>(static_cast<int16_t>(std::lround(slot.min * scale))));
    PutWord(img, part + 10, static_cast<uint16_t>(static_cast<int16_t>(std::lround(slot.max * scale))));
    PutWord(img, part + 12, 0);
  }
  return img;
}

CurrentValue SimConfig::CurrentOf(int slot) const {
  auto it = current.find(slot);
  if (it != current.end()) return it->second;
  uint16_t avg = static_cast<uint16_t>(30000 + 1000 * slot);
  return {static_cast<uint16_t>(avg - 500), static_cast<uint16_t>(avg + 500), avg};
}

uint16_t SampleWord(int channel, int sample, int kind) {
  int avg = 20000 + (sample * 97 + channel * 1000) % 20000;
  return static_cast<uint16_t>(kind == 0 ? avg - 300 : kind == 1 ? avg + 300 : avg);
}

}  // namespace qv::sim
