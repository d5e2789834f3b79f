#pragma once
// Plays a user's steps into the modal windows a call opens: each step runs, on an idle cycle,
// once a modal form is open and waiting (its active control focused), whichever form it is.
// When the steps are used up, a form still open is closed, so a dialog that stays open cannot
// hang the test.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/gui/forms.h"
#include "platform/gui/user_input.h"
#include "platform/rtl/msg_dlg_types.h"

namespace qv::test {

class TModalDriver {
public:
  using TStep = std::function<void(TForm& form)>;
  explicit TModalDriver(std::vector<TStep> steps) : steps_(std::move(steps)) {
    Application->OnIdle = [this](TComponent*, bool& done) {
      done = true;
      TModalWindow w;
      if (!TopModalWindow(w) || !w.Form || w.Form->ModalResult() != mrNone) return;
      TForm& f = *w.Form;
      if (f.ActiveControl() && !f.ActiveControl()->Focused() && ++waits_ < 20) {
        done = false;
        return;
      }
      waits_ = 0;
      if (next_ == steps_.size()) {
        f.Close();
        return;
      }
      steps_[next_++](f);
      done = false;
    };
  }
  ~TModalDriver() { Application->OnIdle = nullptr; }
  TModalDriver(const TModalDriver&) = delete;
  TModalDriver& operator=(const TModalDriver&) = delete;
  // Steps run so far; a test checks that all of them ran.
  size_t Done() const { return next_; }
  size_t Count() const { return steps_.size(); }

private:
  std::vector<TStep> steps_;
  size_t next_ = 0;
  int waits_ = 0;
};

}  // namespace qv::test
