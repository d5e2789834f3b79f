#pragma once
// The phone book: named telephone numbers for modem connections to loggers, kept in section
// "TelBook" of the program's INI file, and its two dialogs (the list and one entry).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/forms/multilingual_form.h"

namespace qv {

class TButton;
class TEdit;
class TLabel;
class TBevel;
class TStyCustomTabbedListBox;

constexpr int32_t MaxPhoneId = 32767;  // valid ids are 0 .. MaxPhoneId - 1

class TPhoneNr {
public:
  explicit TPhoneNr(int32_t id) : Id(id) {}
  int32_t Id;
  std::string Name = "unbenannt";
  std::string Number;
  std::function<void()> OnChange;  // the book's save
};

class TPhoneBook {
public:
  // Loads the book from IniFileName.
  TPhoneBook();
  virtual ~TPhoneBook();
  TPhoneBook(const TPhoneBook&) = delete;
  TPhoneBook& operator=(const TPhoneBook&) = delete;

  int Count() const { return static_cast<int>(entries_.size()); }
  TPhoneNr* Entry(int index) const;
  TPhoneNr* EntryById(int32_t id) const;
  int IndexOfId(int32_t id) const;
  bool IdExists(int32_t id) const { return IndexOfId(id) >= 0; }
  // A free id; -1 (after reporting it) when none is free.
  int32_t NewId();
  // Appends a new entry; its id, or -1.
  int32_t AddEntry();
  void DeleteAt(int index);
  void DeleteById(int32_t id);
  void Save();
  // Runs the phone-book dialog; the book is saved afterwards.
  int Edit();
  // Runs the entry dialog; on OK the name and number are taken.
  int EditEntry(TPhoneNr* entry);

  int32_t SelID = -1;

protected:
  virtual TPhoneNr* CreateEntry(int32_t id);

private:
  void Load();
  std::vector<std::unique_ptr<TPhoneNr>> entries_;
};

// The book created by the application module; null before and after.
extern TPhoneBook* PhoneBook;

class TD27_EdPhoneBook : public TMultilingualForm2 {
public:
  TD27_EdPhoneBook(TComponent* owner, TPhoneBook* book);
  std::string ClassName() const override { return "TD27_EdPhoneBook"; }

  // Shows the book's entries and selects SelID's row.
  void FillGrid();
  // The entry of the selected row, or null.
  TPhoneNr* SelectedEntry() const;

  TLabel* NameTitle;
  TLabel* NumberTitle;
  TStyCustomTabbedListBox* TelNrGrid;
  TButton* OKBtn;
  TButton* CancelBtn;
  TButton* HelpBtn;
  TButton* NewBtn;
  TButton* ChangeBtn;
  TButton* d27_DeleteBtn;

private:
  void NewClick();
  void ChangeClick();
  void DeleteClick();
  void OKClick();
  TPhoneBook* book_;
};

class TD28_EditPhoneNr : public TMultilingualForm2 {
public:
  explicit TD28_EditPhoneNr(TComponent* owner);
  std::string ClassName() const override { return "TD28_EditPhoneNr"; }

  // Fills both edits; OK stays disabled until the user changes one.
  void SetEntry(const std::string& name, const std::string& number);

  TLabel* NameLbl;
  TLabel* NumberLbl;
  TEdit* NameEdit;
  TEdit* NumberEdit;
  TBevel* Bevel1;
  TButton* OKBtn;
  TButton* CancelBtn;
  TButton* HelpBtn;

  std::string EnteredName;
  std::string EnteredNumber;

private:
  void EditChanged();
};

}  // namespace qv
