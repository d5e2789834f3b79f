#pragma once
// A list of 32-bit integers with an optional range and an optional sorted mode, so that a control
// can publish a list of numbers as one property (the tab stops of the tabbed list boxes).
#include <cstdint>
#include <vector>

#include "platform/rtl/exception.h"
#include "platform/rtl/string_list.h"

namespace qv {

// A value outside the list's range.
QV_DECLARE_EXCEPTION(EOutOfRange, EListError);

class TStyIntegerList {
public:
  TStyIntegerList() = default;
  virtual ~TStyIntegerList() = default;
  TStyIntegerList(const TStyIntegerList&) = delete;
  TStyIntegerList& operator=(const TStyIntegerList&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  int32_t operator[](int index) const { return Get(index); }
  int32_t Get(int index) const;

  virtual bool Find(int32_t value, int& index) const;
  virtual void PutItem(int index, int32_t value);
  virtual void Sort();
  virtual int Add(int32_t value);
  virtual void AddIntegers(const TStyIntegerList& list);
  virtual void Clear();
  virtual void Delete(int index);
  virtual void Exchange(int index1, int index2);
  virtual int IndexOf(int32_t value) const;
  virtual void Insert(int index, int32_t value);
  virtual void InsertItem(int index, int32_t value);
  virtual void Move(int cur_index, int new_index);
  // Copies the values (through Add, so this list's own rules apply); limits and flags stay.
  virtual void Assign(const TStyIntegerList& source);
  bool Equals(const TStyIntegerList& other) const { return items_ == other.items_; }

  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates d) { duplicates_ = d; }
  bool Sorted() const { return sorted_; }
  void SetSorted(bool v) { sorted_ = v; }
  int32_t Min() const { return min_; }
  void SetMin(int32_t v);
  int32_t Max() const { return max_; }
  void SetMax(int32_t v);

protected:
  void CheckRange(int32_t value) const;
  void CheckIndex(int index) const;

private:
  void QuickSort(int l, int r);
  std::vector<int32_t> items_;
  TDuplicates duplicates_ = TDuplicates::dupIgnore;
  int32_t min_ = 0, max_ = 0;
  bool sorted_ = false;
};

}  // namespace qv
