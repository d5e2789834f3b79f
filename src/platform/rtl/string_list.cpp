#include "platform/rtl/string_list.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/rtl/file_io.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/store_changed.h"
#include "platform/rtl/text_encoding.h"
#include "platform/rtl/text_utils.h"

namespace qv {

namespace {}  // namespace

int TStringList::Compare(const std::string& a, const std::string& b) const {
  if (case_sensitive_) return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
  return CompareText(a, b);
}

void TStringList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) throw Exception("List index out of bounds (" + std::to_string(index) + ")");
}

const std::string& TStringList::Get(int index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)].text;
}

void TStringList::Put(int index, const std::string& s) {
  CheckIndex(index);
  if (sorted_) throw Exception("Operation not allowed on sorted list");
  items_[static_cast<size_t>(index)].text = s;
}

void* TStringList::GetObject(int index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)].object;
}

void TStringList::PutObject(int index, void* object) {
  CheckIndex(index);
  items_[static_cast<size_t>(index)].object = object;
}

int TStringList::AddObject(const std::string& s, void* object) {
  int index = Count();
  if (sorted_) {
    if (Find(s, index)) {
      switch (duplicates_) {
        case TDuplicates::dupIgnore: return index;
        case TDuplicates::dupError: throw Exception("String list does not allow duplicates");
        case TDuplicates::dupAccept: break;
      }
    }
  }
  items_.insert(items_.begin() + index, Item{s, object});
  return index;
}

void TStringList::InsertObject(int index, const std::string& s, void* object) {
  if (sorted_) throw Exception("Operation not allowed on sorted list");
  if (index < 0 || index > Count()) throw Exception("List index out of bounds (" + std::to_string(index) + ")");
  items_.insert(items_.begin() + index, Item{s, object});
}

void TStringList::Delete(int index) {
  CheckIndex(index);
  items_.erase(items_.begin() + index);
}

void TStringList::Clear() { items_.clear(); }

void TStringList::Exchange(int a, int b) {
  CheckIndex(a);
  CheckIndex(b);
  std::swap(items_[static_cast<size_t>(a)], items_[static_cast<size_t>(b)]);
}

void TStringList::Move(int from, int to) {
  CheckIndex(from);
  CheckIndex(to);
  Item item = items_[static_cast<size_t>(from)];
  items_.erase(items_.begin() + from);
  items_.insert(items_.begin() + to, item);
}

void TStringList::Assign(const TStringList& other) {
  if (&other == this) return;
  items_.clear();
  AddStrings(other);
}

void TStringList::AddStrings(const TStringList& other) {
  std::vector<Item> copy = other.items_;  // other may be this list
  for (const Item& it : copy) AddObject(it.text, it.object);
}

int TStringList::IndexOf(const std::string& s) const {
  if (sorted_) {
    int index = 0;
    return Find(s, index) ? index : -1;
  }
  for (int i = 0; i < Count(); ++i)
    if (Compare(items_[static_cast<size_t>(i)].text, s) == 0) return i;
  return -1;
}

int TStringList::IndexOfObject(const void* object) const {
  for (int i = 0; i < Count(); ++i)
    if (items_[static_cast<size_t>(i)].object == object) return i;
  return -1;
}

bool TStringList::Find(const std::string& s, int& index) const {
  int lo = 0, hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    int mid = lo + (hi - lo) / 2;
    int c = Compare(items_[static_cast<size_t>(mid)].text, s);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (duplicates_ != TDuplicates::dupAccept) lo = mid;
      }
    }
  }
  index = lo;
  return found;
}

void TStringList::Sort() {
  std::stable_sort(items_.begin(), items_.end(),
                   [this](const Item& a, const Item& b) { return Compare(a.text, b.text) < 0; });
}

void TStringList::SetSorted(bool sorted) {
  if (sorted && !sorted_) {
    sorted_ = true;
    Sort();
  }
  sorted_ = sorted;
}

void TStringList::SetCaseSensitive(bool cs) {
  if (!StoreChanged(case_sensitive_, cs)) return;
  if (sorted_) Sort();
}

std::string TStringList::Text() const {
  std::string out;
  for (const Item& it : items_) {
    out += it.text;
    out += '\n';
  }
  return out;
}

void TStringList::SetText(const std::string& text) {
  items_.clear();
  size_t i = 0, start = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      AddObject(text.substr(start, i - start), nullptr);
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
    ++i;
  }
  if (start < text.size()) AddObject(text.substr(start), nullptr);
}

std::string TStringList::Names(int index) const {
  const std::string& s = Get(index);
  size_t p = s.find('=');
  return p == std::string::npos ? std::string() : s.substr(0, p);
}

std::string TStringList::ValueFromIndex(int index) const {
  const std::string& s = Get(index);
  size_t p = s.find('=');
  return p == std::string::npos ? std::string() : s.substr(p + 1);
}

int TStringList::IndexOfName(const std::string& name) const {
  for (int i = 0; i < Count(); ++i) {
    const std::string& s = items_[static_cast<size_t>(i)].text;
    size_t p = s.find('=');
    if (p != std::string::npos && Compare(s.substr(0, p), name) == 0) return i;
  }
  return -1;
}

std::string TStringList::Values(const std::string& name) const {
  int i = IndexOfName(name);
  return i < 0 ? std::string() : ValueFromIndex(i);
}

void TStringList::SetValues(const std::string& name, const std::string& value) {
  int i = IndexOfName(name);
  if (value.empty()) {
    if (i >= 0) Delete(i);
    return;
  }
  if (i < 0) {
    Add(name + "=" + value);
  } else {
    items_[static_cast<size_t>(i)].text = name + "=" + value;
  }
}

std::string TStringList::CommaText() const {
  std::string out;
  for (size_t i = 0; i < items_.size(); ++i) {
    if (i) out += ',';
    const std::string& s = items_[i].text;
    bool quote = s.empty() || s.find_first_of(" ,\"") != std::string::npos;
    if (!quote) {
      out += s;
      continue;
    }
    out += '"';
    for (char c : s) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  return out;
}

void TStringList::SetCommaText(const std::string& text) {
  items_.clear();
  size_t i = 0, n = text.size();
  auto skip_blanks = [&] {
    while (i < n && static_cast<unsigned char>(text[i]) <= ' ') ++i;
  };
  skip_blanks();
  while (i < n) {
    std::string item;
    if (text[i] == '"') {
      ++i;
      while (i < n) {
        if (text[i] == '"') {
          if (i + 1 < n && text[i + 1] == '"') {
            item += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item += text[i++];
      }
    } else {
      while (i < n && text[i] != ',' && static_cast<unsigned char>(text[i]) > ' ') item += text[i++];
    }
    AddObject(item, nullptr);
    skip_blanks();
    if (i < n && text[i] == ',') {
      ++i;
      skip_blanks();
      if (i >= n) AddObject("", nullptr);
    }
  }
}

void TStringList::LoadFromFile(const std::string& file_name) {
  std::string bytes = ReadFileBytes(file_name);
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  TStringList lines;
  lines.SetText(bytes);
  items_.clear();
  for (const Item& it : lines.items_) AddObject(TextLineToUtf8(it.text), nullptr);
}

void TStringList::SaveToFile(const std::string& file_name) const { WriteFileAtomic(file_name, Text()); }

const std::vector<std::string> TStringList::Strings() const {
  std::vector<std::string> out;
  out.reserve(items_.size());
  for (const Item& it : items_) out.push_back(it.text);
  return out;
}

}  // namespace qv
