#pragma once
// A list of strings with an attached object pointer each, optionally kept sorted,
// with the duplicate policy of the runtime's string list. Positions count from 0.
#include <cstddef>
#include <string>
#include <vector>

namespace qv {

enum class TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList {
public:
  TStringList() = default;
  virtual ~TStringList() = default;

  int Count() const { return static_cast<int>(items_.size()); }
  const std::string& operator[](int index) const { return Get(index); }
  const std::string& Get(int index) const;
  void Put(int index, const std::string& s);
  void* GetObject(int index) const;
  void PutObject(int index, void* object);

  // Adds at the end, or at the sorted place when Sorted; answers the position.
  int Add(const std::string& s) { return AddObject(s, nullptr); }
  int AddObject(const std::string& s, void* object);
  void Insert(int index, const std::string& s) { InsertObject(index, s, nullptr); }
  void InsertObject(int index, const std::string& s, void* object);
  void Delete(int index);
  void Clear();
  void Exchange(int a, int b);
  void Move(int from, int to);
  void Assign(const TStringList& other);
  void AddStrings(const TStringList& other);

  int IndexOf(const std::string& s) const;
  int IndexOfObject(const void* object) const;
  // Binary search of a sorted list: true with the position of s, else false with its insert position.
  bool Find(const std::string& s, int& index) const;
  void Sort();

  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates d) { duplicates_ = d; }
  bool CaseSensitive() const { return case_sensitive_; }
  void SetCaseSensitive(bool cs);

  // Lines joined with "\n"; SetText splits at "\r\n", "\n" or "\r".
  std::string Text() const;
  void SetText(const std::string& text);
  // Name=Value access.
  std::string Names(int index) const;
  std::string ValueFromIndex(int index) const;
  std::string Values(const std::string& name) const;
  void SetValues(const std::string& name, const std::string& value);
  int IndexOfName(const std::string& name) const;
  std::string CommaText() const;
  void SetCommaText(const std::string& text);

  // File text: UTF-8 lines; a line that is not valid UTF-8 is read as Windows-1252.
  void LoadFromFile(const std::string& file_name);
  void SaveToFile(const std::string& file_name) const;

  const std::vector<std::string> Strings() const;

private:
  struct Item {
    std::string text;
    void* object = nullptr;
  };
  int Compare(const std::string& a, const std::string& b) const;
  void CheckIndex(int index) const;

  std::vector<Item> items_;
  bool sorted_ = false;
  bool case_sensitive_ = false;
  TDuplicates duplicates_ = TDuplicates::dupIgnore;
};

}  // namespace qv
