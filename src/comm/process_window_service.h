#pragma once
// What the protocols use of the application shell: the progress window they run under. The
// shell provides it and installs it at start-up; the communication code never includes the
// shell.
#include <cstdint>
#include <functional>
#include <string>

namespace qv {

// The modal progress window with three text lines and an optional Cancel button. Its work is
// started from the first idle pass after it has been shown (OnProcess) and ends the modal run
// with Finish.
class TProcessWindowService {
public:
  using TProcessEvent = std::function<void(TProcessWindowService* window)>;
  virtual ~TProcessWindowService() = default;

  virtual bool Visible() const = 0;
  virtual bool GetCancelVisible() const = 0;
  virtual void SetCancelVisible(bool visible) = 0;
  // An empty text hides the line.
  virtual void SetText1(const std::string& text) = 0;
  virtual void SetText2(const std::string& text) = 0;
  virtual void SetText3(const std::string& text) = 0;
  // Ends the modal run with the result (1 OK, 2 cancel).
  virtual void Finish(int result) = 0;
  // Shows the window modally and answers its modal result.
  virtual int ShowModal() = 0;
  // Frees the window; inside its own modal run the free waits until that run has ended.
  virtual void Free() = 0;

  // Called once from an idle task after the window has been shown.
  TProcessEvent OnProcess;
  // Called when the user presses Cancel.
  TProcessEvent OnCancel;
};

// The progress window while one exists (at most one at a time); null otherwise. Main thread only.
extern TProcessWindowService* ProcessWindow;
// Creates a progress window (hidden); installed by the shell. Without it no protocol can run
// modally.
extern std::function<TProcessWindowService*()> ProcessWindowFactory;

}  // namespace qv
