#pragma once
// Actions: one command with its caption, state and image, shared by the controls bound to it.
#include <functional>
#include <string>
#include <vector>

#include "platform/rtl/component.h"

namespace qv {

class TControl;

class TAction : public TComponent {
public:
  explicit TAction(TComponent* owner) : TComponent(owner) {}
  ~TAction() override;
  std::string ClassName() const override { return "TAction"; }

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& v);
  bool Checked() const { return checked_; }
  void SetChecked(bool v);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  bool Visible() const { return visible_; }
  void SetVisible(bool v);
  int ImageIndex() const { return image_index_; }
  void SetImageIndex(int v);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& v);

  // Runs OnExecute; false when there is none or the action is disabled.
  bool Execute();
  std::function<void(TComponent*)> OnExecute;

  // The controls bound to the action; each hears of every change.
  void AddClient(TControl* control);
  void RemoveClient(TControl* control);

private:
  void Changed();
  std::string caption_, hint_;
  bool checked_ = false, enabled_ = true, visible_ = true;
  int image_index_ = -1;
  std::vector<TControl*> clients_;
};

}  // namespace qv
