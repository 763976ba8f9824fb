// A user's steps while the plug-in runs a modal dialog, and the dialogs a step
// waits for.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <vector>

namespace dravlin {

inline constexpr char kConfigTitle[] = "Configure Dravlin";

// Steps taken from a timer, which the modal loops of the dialog and its
// message box dispatch: each runs once, when its condition first holds.
class Steps {
 public:
  struct Step {
    std::function<bool()> ready;
    std::function<void()> act;
  };
  explicit Steps(std::vector<Step> steps) : steps_(std::move(steps)) {
    current_ = this;
    timer_ = SetTimer(nullptr, 0, 20, Tick);
  }
  ~Steps() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  std::size_t Taken() const { return next_; }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    Steps* self = current_;
    if (!self || self->next_ == self->steps_.size() || !self->steps_[self->next_].ready()) return;
    self->steps_[self->next_++].act();
  }

  static inline Steps* current_ = nullptr;
  std::vector<Step> steps_;
  std::size_t next_ = 0;
  UINT_PTR timer_ = 0;
};

// The dialog with this title when it is on the screen and takes input.
inline HWND ShownDialog(const char* title) {
  const HWND dialog = FindWindowA("#32770", title);
  return dialog && IsWindowVisible(dialog) && IsWindowEnabled(dialog) ? dialog : nullptr;
}

}  // namespace dravlin
