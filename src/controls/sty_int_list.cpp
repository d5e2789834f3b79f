#include "controls/sty_int_list.h"

#include <utility>

#include "platform/rtl/format.h"

namespace qv {

namespace {
const char* const kIndexError = "List index out of bounds (%d)";
}

void TStyIntegerList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format(kIndexError, index));
}

int32_t TStyIntegerList::Get(int index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)];
}

void TStyIntegerList::CheckRange(int32_t value) const {
  if (min_ != max_ && (value < min_ || value > max_))
    throw EOutOfRange(Format("Value must be within %d..%d", min_, max_));
}

bool TStyIntegerList::Find(int32_t value, int& index) const {
  bool result = false;
  int l = 0, h = Count() - 1;
  while (l <= h) {
    int i = static_cast<int>(static_cast<unsigned>(l + h) >> 1);
    if (items_[static_cast<size_t>(i)] < value) {
      l = i + 1;
    } else {
      h = i - 1;
      if (items_[static_cast<size_t>(i)] == value) {
        result = true;
        if (duplicates_ != TDuplicates::dupAccept) l = i;
      }
    }
  }
  index = l;
  return result;
}

void TStyIntegerList::PutItem(int index, int32_t value) {
  CheckRange(value);
  CheckIndex(index);
  items_[static_cast<size_t>(index)] = value;
}

int TStyIntegerList::Add(int32_t value) {
  int index = Count();
  if (sorted_ && Find(value, index)) {
    if (duplicates_ == TDuplicates::dupIgnore) return index;
    if (duplicates_ == TDuplicates::dupError) throw EListError("Duplicates not allowed");
  }
  InsertItem(index, value);
  return index;
}

void TStyIntegerList::AddIntegers(const TStyIntegerList& list) {
  // A copy first: the list may be this one.
  std::vector<int32_t> values = list.items_;
  for (int32_t v : values) Add(v);
}

void TStyIntegerList::InsertItem(int index, int32_t value) {
  CheckRange(value);
  items_.insert(items_.begin() + index, value);
}

void TStyIntegerList::Insert(int index, int32_t value) {
  if (sorted_) throw EListError("Operation not allowed on sorted list");
  if (index < 0 || index > Count()) throw EListError(Format(kIndexError, index));
  InsertItem(index, value);
}

void TStyIntegerList::Clear() { items_.clear(); }

void TStyIntegerList::Delete(int index) {
  CheckIndex(index);
  items_.erase(items_.begin() + index);
}

void TStyIntegerList::Exchange(int index1, int index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  std::swap(items_[static_cast<size_t>(index1)], items_[static_cast<size_t>(index2)]);
}

void TStyIntegerList::Move(int cur_index, int new_index) {
  if (cur_index == new_index) return;
  CheckIndex(cur_index);
  CheckIndex(new_index);
  int32_t v = items_[static_cast<size_t>(cur_index)];
  items_.erase(items_.begin() + cur_index);
  items_.insert(items_.begin() + new_index, v);
}

int TStyIntegerList::IndexOf(int32_t value) const {
  if (sorted_) {
    int index = 0;
    return Find(value, index) ? index : -1;
  }
  for (int i = 0; i < Count(); ++i)
    if (items_[static_cast<size_t>(i)] == value) return i;
  return -1;
}

void TStyIntegerList::Assign(const TStyIntegerList& source) {
  if (&source == this) return;
  Clear();
  AddIntegers(source);
}

void TStyIntegerList::Sort() {
  if (!sorted_ && Count() > 1) QuickSort(0, Count() - 1);
}

void TStyIntegerList::QuickSort(int l, int r) {
  int i = l;
  do {
    i = l;
    int j = r;
    int32_t p = items_[static_cast<size_t>(static_cast<unsigned>(l + r) >> 1)];
    do {
      while (items_[static_cast<size_t>(i)] < p) ++i;
      while (items_[static_cast<size_t>(j)] > p) --j;
      if (i <= j) {
        std::swap(items_[static_cast<size_t>(i)], items_[static_cast<size_t>(j)]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (l < j) QuickSort(l, j);
    l = i;
  } while (i < r);
}

void TStyIntegerList::SetMin(int32_t v) {
  if (v == min_) return;
  for (int32_t x : items_)
    if (x < v) throw EOutOfRange(Format("Unable to set new minimum value.\rList contains values below %d", v));
  min_ = v;
  if (max_ < v) max_ = v;
}

void TStyIntegerList::SetMax(int32_t v) {
  if (v == max_) return;
  for (int32_t x : items_)
    if (x > v) throw EOutOfRange(Format("Unable to set new maximum value.\rList contains values above %d", v));
  max_ = v;
  if (v < min_) min_ = v;
}

}  // namespace qv
