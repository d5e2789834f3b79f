#include "base/ini_file.h"

#include <sys/stat.h>

#include <filesystem>
#include <iterator>
#include <map>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "base/app_globals.h"
#include "platform/rtl/file_io.h"
#include "platform/rtl/float_text.h"
#include "platform/rtl/format_settings.h"
#include "platform/rtl/stream.h"
#include "platform/rtl/text_encoding.h"
#include "platform/rtl/text_utils.h"

namespace qv {

namespace {

constexpr size_t kPlainMaxChars = 2047;

// Names and values lose surrounding blanks and tabs only.
std::string TrimBlank(const std::string& s) { return Trim(s, " \t"); }

std::string Unquote(const std::string& v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

// Cuts UTF-8 text after max_chars characters, never inside a character.
std::string CutChars(const std::string& s, size_t max_chars) {
  size_t chars = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) continue;
    if (chars == max_chars) return s.substr(0, i);
    ++chars;
  }
  return s;
}

// The runtime's integer text: optional sign, then decimal digits or "$"/"0x" and hex digits.
bool ParseInt32(const std::string& s, int32_t& out) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == s.size()) return false;
  uint64_t v = 0;
  for (; i < s.size(); ++i) {
    int d;
    char c = s[i];
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return false;
    v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    if (v > 0xFFFFFFFFull) return false;
  }
  if (base == 16) {
    // A hex text gives the 32-bit pattern.
    uint32_t bits = static_cast<uint32_t>(v);
    if (negative) bits = 0u - bits;
    out = static_cast<int32_t>(bits);
    return true;
  }
  if (negative ? v > 2147483648ull : v > 2147483647ull) return false;
  out = static_cast<int32_t>(negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v));
  return true;
}

std::string ResolveFileName(const std::string& file_name) {
  std::string path = file_name.find('/') == std::string::npos ? ExePath + file_name : file_name;
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) return path;
  // Files from older installations may differ in case.
  const size_t slash = path.find_last_of('/');
  const std::string found = FindFileIgnoringCase(path.substr(0, slash + 1), path.substr(slash + 1));
  return found.empty() ? path : found;
}

}  // namespace

// One INI file's lines, shared by every TIniFile object on that file.
class IniStore {
public:
  explicit IniStore(std::string path) : path_(std::move(path)) {}

  struct Line {
    enum Kind { kOther, kSection, kKey } kind = kOther;
    std::string text;   // as in the file
    std::string name;   // section or key name, trimmed
    std::string value;  // key value, trimmed, quotes kept
  };

  // Reads the lines under the store's lock.
  template <class F>
  auto Read(F f) {
    std::lock_guard<std::mutex> lock(mutex_);
    Refresh();
    return f(static_cast<const std::vector<Line>&>(lines_));
  }

  // Changes the lines under the store's lock; f answers whether it changed anything, which is
  // then written to disk at once.
  template <class F>
  void Modify(const std::string& file_name, F f) {
    std::lock_guard<std::mutex> lock(mutex_);
    Refresh();
    // Writing what could not be read would replace the file with the new keys alone.
    if (unreadable_) throw EIniFileException("Unable to write to " + file_name + ": " + read_error_);
    if (!f(lines_)) return;
    std::string bytes;
    for (const Line& l : lines_) bytes += l.text + "\r\n";
    try {
      WriteFileAtomic(path_, bytes);
    } catch (const Exception& e) {
      loaded_ = false;  // take the file's contents again next time
      const auto* stream_error = dynamic_cast<const EStreamError*>(&e);
      const std::string reason = stream_error && !stream_error->Reason().empty() ? stream_error->Reason() : e.Message();
      throw EIniFileException("Unable to write to " + file_name + ": " + reason);
    }
    stamp_ = Stamp();
  }

  static Line Parse(const std::string& text) {
    Line l;
    l.text = text;
    const std::string t = TrimBlank(text);
    if (t.empty() || t[0] == ';') return l;
    if (t[0] == '[') {
      l.kind = Line::kSection;
      l.name = TrimBlank(t.substr(1, t.find(']') == std::string::npos ? std::string::npos : t.find(']') - 1));
      return l;
    }
    size_t eq = t.find('=');
    if (eq == std::string::npos) return l;
    l.kind = Line::kKey;
    l.name = TrimBlank(t.substr(0, eq));
    l.value = TrimBlank(t.substr(eq + 1));
    return l;
  }

private:
  struct FileStamp {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    int64_t mtime_ns = 0;
    int64_t ctime_ns = 0;
    bool operator==(const FileStamp&) const = default;
  };

  FileStamp Stamp() const {
    FileStamp s;
    struct stat st;
    if (::stat(path_.c_str(), &st) != 0) return s;
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtime_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.ctime_ns = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return s;
  }

  void Refresh() {
    FileStamp now = Stamp();
    if (loaded_ && now == stamp_) return;
    lines_.clear();
    unreadable_ = false;
    if (now.exists) {
      std::string bytes;
      try {
        bytes = ReadFileBytes(path_);
      } catch (const Exception& e) {
        bytes.clear();  // an unreadable file reads as empty, as the profile calls do
        unreadable_ = true;
        read_error_ = e.Message();
      }
      if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
      size_t pos = 0;
      while (pos < bytes.size()) {
        size_t nl = bytes.find('\n', pos);
        std::string line = bytes.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines_.push_back(Parse(TextLineToUtf8(line)));
        if (nl == std::string::npos) break;
        pos = nl + 1;
      }
    }
    stamp_ = now;
    loaded_ = true;
  }

  const std::string path_;
  std::mutex mutex_;  // guards everything below; never held while taking another lock
  std::vector<Line> lines_;
  FileStamp stamp_;
  bool loaded_ = false;
  bool unreadable_ = false;  // the file exists but its bytes could not be read
  std::string read_error_;   // why, while unreadable_
};

namespace {

using Line = IniStore::Line;
using Lines = std::vector<Line>;

// The first section of that name: [header + 1, end) of its lines; false when there is none.
bool FindSection(const Lines& lines, const std::string& section, size_t& begin, size_t& end) {
  const std::string name = TrimBlank(section);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].kind != Line::kSection || !SameText(lines[i].name, name)) continue;
    begin = i + 1;
    end = begin;
    while (end < lines.size() && lines[end].kind != Line::kSection) ++end;
    return true;
  }
  return false;
}

const Line* FindKey(const Lines& lines, const std::string& section, const std::string& ident) {
  size_t begin, end;
  if (!FindSection(lines, section, begin, end)) return nullptr;
  const std::string name = TrimBlank(ident);
  for (size_t i = begin; i < end; ++i)
    if (lines[i].kind == Line::kKey && SameText(lines[i].name, name)) return &lines[i];
  return nullptr;
}

// ASCII lower case, the key under which SameName finds a name.
std::string FoldedName(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// The names of the lines of one kind in [begin, end), each once (first spelling), in file order.
std::vector<std::string> DistinctNames(const Lines& lines, size_t begin, size_t end, Line::Kind kind) {
  std::vector<std::string> names;
  std::unordered_set<std::string> seen;
  for (size_t i = begin; i < end; ++i)
    if (lines[i].kind == kind && seen.insert(FoldedName(lines[i].name)).second) names.push_back(lines[i].name);
  return names;
}

std::vector<std::string> KeyNames(const Lines& lines, const std::string& section) {
  size_t begin, end;
  if (!FindSection(lines, section, begin, end)) return {};
  return DistinctNames(lines, begin, end, Line::kKey);
}

std::mutex& RegistryMutex() {
  static std::mutex m;  // protects Registry(); a leaf lock, no other lock is taken while held
  return m;
}

// Stores by canonical path; an entry lives while an object uses it.
std::map<std::string, std::weak_ptr<IniStore>>& Registry() {
  static auto* stores = new std::map<std::string, std::weak_ptr<IniStore>>;  // outlives every object
  return *stores;
}

std::shared_ptr<IniStore> StoreFor(const std::string& path) {
  std::error_code ec;
  std::string key = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec).string();
  if (ec || key.empty()) key = path;
  std::lock_guard<std::mutex> lock(RegistryMutex());
  auto& stores = Registry();
  for (auto it = stores.begin(); it != stores.end();) it = it->second.expired() ? stores.erase(it) : std::next(it);
  auto& slot = stores[key];
  std::shared_ptr<IniStore> store = slot.lock();
  if (!store) {
    store = std::make_shared<IniStore>(key);
    slot = store;
  }
  return store;
}

}  // namespace

TIniFile::TIniFile(const std::string& file_name)
    : file_name_(ResolveFileName(file_name)), store_(StoreFor(file_name_)) {}

TIniFile::~TIniFile() = default;

std::string TIniFile::ReadValue(const std::string& section, const std::string& ident, const std::string& def,
                                size_t max_chars) const {
  std::string v = store_->Read([&](const Lines& lines) {
    const Line* l = FindKey(lines, section, ident);
    return l ? Unquote(l->value) : def;
  });
  return CutChars(v, max_chars);
}

std::string TIniFile::ReadString(const std::string& section, const std::string& ident, const std::string& def) const {
  return ReadValue(section, ident, def, MaxValueChars());
}

size_t TIniFile::MaxValueChars() const { return kPlainMaxChars; }

namespace {

// Sets one key in the lines; false when it held that value already.
bool SetKey(Lines& lines, const std::string& sec, const std::string& key, const std::string& value) {
  // A line break in a value would end the line and turn the rest into keys of its own.
  std::string v = value;
  for (char& c : v)
    if (c == '\r' || c == '\n') c = ' ';
  size_t begin, end;
  if (!FindSection(lines, sec, begin, end)) {
    lines.push_back(IniStore::Parse("[" + sec + "]"));
    lines.push_back(IniStore::Parse(key + "=" + v));
    return true;
  }
  size_t insert_at = begin;
  for (size_t i = begin; i < end; ++i) {
    if (lines[i].kind == Line::kKey && SameText(lines[i].name, key)) {
      if (lines[i].value == v) return false;
      lines[i] = IniStore::Parse(lines[i].name + "=" + v);
      return true;
    }
    if (!TrimBlank(lines[i].text).empty()) insert_at = i + 1;
  }
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insert_at), IniStore::Parse(key + "=" + v));
  return true;
}

}  // namespace

void TIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value) {
  WriteValues(section, {{ident, value}});
}

void TIniFile::WriteValues(const std::string& section, const std::vector<std::pair<std::string, std::string>>& values) {
  const std::string sec = TrimBlank(section);
  store_->Modify(file_name_, [&](Lines& lines) {
    bool changed = false;
    for (const auto& [ident, value] : values) changed = SetKey(lines, sec, TrimBlank(ident), value) || changed;
    return changed;  // unchanged: no rewrite
  });
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& ident, int32_t def) const {
  int32_t v;
  return ParseInt32(ReadString(section, ident, ""), v) ? v : def;
}

void TIniFile::WriteInteger(const std::string& section, const std::string& ident, int32_t value) {
  WriteString(section, ident, std::to_string(value));
}

bool TIniFile::ReadBool(const std::string& section, const std::string& ident, bool def) const {
  return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

void TIniFile::WriteBool(const std::string& section, const std::string& ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

double TIniFile::ReadFloat(const std::string& section, const std::string& ident, double def) const {
  double v;
  return TryStrToFloat(ReadString(section, ident, ""), v, CurrentFormatSettings().DecimalSeparator) ? v : def;
}

void TIniFile::WriteFloat(const std::string& section, const std::string& ident, double value) {
  WriteString(section, ident, FloatToStr(value, CurrentFormatSettings().DecimalSeparator));
}

void TIniFile::ReadSection(const std::string& section, TStringList& strings) const {
  strings.Clear();
  for (const std::string& n : store_->Read([&](const Lines& lines) { return KeyNames(lines, section); }))
    strings.Add(n);
}

void TIniFile::ReadSections(TStringList& strings) const {
  strings.Clear();
  std::vector<std::string> names =
      store_->Read([](const Lines& lines) { return DistinctNames(lines, 0, lines.size(), Line::kSection); });
  for (const std::string& n : names) strings.Add(n);
}

void TIniFile::ReadSectionValues(const std::string& section, TStringList& strings) const {
  strings.Clear();
  // One pass over the section: each key's first line gives its value, as ReadString would find.
  const size_t max_chars = MaxValueChars();
  const std::vector<std::string> pairs = store_->Read([&](const Lines& lines) {
    std::vector<std::string> out;
    size_t begin, end;
    if (!FindSection(lines, section, begin, end)) return out;
    std::unordered_set<std::string> seen;
    for (size_t i = begin; i < end; ++i) {
      const Line& l = lines[i];
      if (l.kind == Line::kKey && seen.insert(FoldedName(l.name)).second)
        out.push_back(l.name + "=" + CutChars(Unquote(l.value), max_chars));
    }
    return out;
  });
  for (const std::string& p : pairs) strings.Add(p);
}

std::vector<std::pair<std::string, TIniFile::TKeyValues>> TIniFile::ReadAllSections() const {
  const size_t max_chars = MaxValueChars();
  return store_->Read([&](const Lines& lines) {
    std::vector<std::pair<std::string, TKeyValues>> out;
    std::unordered_set<std::string> seen;
    for (const Line& l : lines) {
      if (l.kind == Line::kSection) {
        out.emplace_back(l.name, TKeyValues());
        seen.clear();
      } else if (l.kind == Line::kKey && !out.empty() && seen.insert(FoldedName(l.name)).second) {
        out.back().second.emplace_back(l.name, CutChars(Unquote(l.value), max_chars));
      }
    }
    return out;
  });
}

void TIniFile::ReplaceSections(const std::vector<std::string>& erase,
                               const std::vector<std::pair<std::string, TKeyValues>>& write) {
  std::unordered_set<std::string> erased;
  for (const std::string& e : erase) erased.insert(FoldedName(TrimBlank(e)));
  store_->Modify(file_name_, [&](Lines& lines) {
    Lines kept;
    kept.reserve(lines.size());
    std::unordered_set<std::string> present;
    // New sections take the place of the first erased one, so rewriting keeps the file's order.
    size_t insert_at = std::string::npos;
    bool dropping = false;
    for (Line& l : lines) {
      if (l.kind == Line::kSection) {
        dropping = erased.count(FoldedName(l.name)) != 0;
        if (dropping && insert_at == std::string::npos) insert_at = kept.size();
        if (!dropping) present.insert(FoldedName(l.name));
      }
      if (!dropping) kept.push_back(std::move(l));
    }
    if (insert_at == std::string::npos) insert_at = kept.size();
    Lines added;
    for (const auto& [section, values] : write) {
      const std::string sec = TrimBlank(section);
      if (present.count(FoldedName(sec))) continue;
      present.insert(FoldedName(sec));
      added.push_back(IniStore::Parse("[" + sec + "]"));
      for (const auto& [ident, value] : values) {
        std::string v = value;
        for (char& c : v)
          if (c == '\r' || c == '\n') c = ' ';
        added.push_back(IniStore::Parse(TrimBlank(ident) + "=" + v));
      }
    }
    kept.insert(kept.begin() + static_cast<std::ptrdiff_t>(insert_at), std::make_move_iterator(added.begin()),
                std::make_move_iterator(added.end()));
    lines = std::move(kept);
    // Sections that were there and stay: their keys are set in place.
    std::unordered_set<std::string> fresh;
    for (const Line& l : added)
      if (l.kind == Line::kSection) fresh.insert(FoldedName(l.name));
    for (const auto& [section, values] : write) {
      const std::string sec = TrimBlank(section);
      if (fresh.count(FoldedName(sec))) continue;
      for (const auto& [ident, value] : values) SetKey(lines, sec, TrimBlank(ident), value);
    }
    return true;
  });
}

void TIniFile::EraseSection(const std::string& section) {
  const std::string sec = TrimBlank(section);
  store_->Modify(file_name_, [&](Lines& lines) {
    bool changed = false;
    size_t begin, end;
    while (FindSection(lines, sec, begin, end)) {
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(begin - 1),
                  lines.begin() + static_cast<std::ptrdiff_t>(end));
      changed = true;
    }
    return changed;
  });
}

void TIniFile::DeleteKey(const std::string& section, const std::string& ident) {
  const std::string key = TrimBlank(ident);
  store_->Modify(file_name_, [&](Lines& lines) {
    size_t begin, end;
    if (!FindSection(lines, section, begin, end)) return false;
    bool changed = false;
    for (size_t i = end; i-- > begin;) {
      if (lines[i].kind == Line::kKey && SameText(lines[i].name, key)) {
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
        changed = true;
      }
    }
    return changed;
  });
}

bool TIniFile::SectionExists(const std::string& section) const {
  return store_->Read([&](const Lines& lines) { return !KeyNames(lines, section).empty(); });
}

bool TIniFile::ValueExists(const std::string& section, const std::string& ident) const {
  return store_->Read([&](const Lines& lines) { return FindKey(lines, section, ident) != nullptr; });
}

}  // namespace qv
