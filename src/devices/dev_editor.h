#pragma once
// The device node's editor as the node fills and reads it. The frame with its controls and its
// validation come with the device editor dialogs, which install their creator at start-up.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "datastore/expl_element.h"

namespace qv {

class TDevEditor : public TExplEditor {
public:
  // The id of the last successful Validate.
  int32_t Id = -1;
  // Asked by Validate whether an edited id may be taken; true when not set.
  std::function<bool(int32_t id)> OnCheckId;

  virtual void SetId(int32_t id) = 0;
  virtual bool GetIdReadOnly() const = 0;
  virtual void SetIdReadOnly(bool read_only) = 0;
  virtual std::string GetNameText() const = 0;
  virtual void SetNameText(const std::string& text) = 0;
  virtual std::string GetSNameText() const = 0;
  virtual void SetSNameText(const std::string& text) = 0;
};

// Creates the editor of a node class in a parent control; null when none can be made.
using TDevEditorCreator = std::function<std::unique_ptr<TDevEditor>(TWinControl* parent)>;
// The editor of plain device nodes.
void SetDevEditorCreator(TDevEditorCreator creator);
const TDevEditorCreator& DevEditorCreator();
// The editors of the other node classes, by editor class name ("TTv10ModEditor", "TTv10SubModEd");
// a null creator removes the entry. Unknown names answer a null creator.
void RegisterDevEditorClass(const std::string& name, TDevEditorCreator creator);
TDevEditorCreator FindDevEditorClass(const std::string& name);

}  // namespace qv
