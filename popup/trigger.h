// The trigger hook's decision, as a pure function of what the hook can learn
// about one keystroke.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace dravlin {

struct ScreenPoint {
  long x = 0;
  long y = 0;
  bool operator==(const ScreenPoint& o) const { return x == o.x && y == o.y; }
};

struct KeystrokeFacts {
  std::uint32_t keystrokeFlags = 0;  // the hook's lParam: repeat, scan code, bits 24, 30, 31
  bool hostInForeground = false;     // the foreground window is the host window itself
  bool triggerKeyDown = false;       // the key state reports the trigger key down
  bool hasFocusWindow = false;
  std::string focusClassName;
  bool caretKnown = false;           // the caret position could be read
  ScreenPoint caret;                 // in the focus window's client coordinates
  ScreenPoint clientOrigin;          // the focus window's client (0, 0) on the screen
};

// Whether the keystroke flags report a key's first key-down: neither a repeat
// (bit 30) nor a release (bit 31).
bool IsFirstKeyDown(std::uint32_t keystrokeFlags);

// Where to open the root menu, or nothing. When the caret position cannot be
// read the menu opens at the text field's client origin.
std::optional<ScreenPoint> DecideTrigger(const KeystrokeFacts& facts);

// Whether a window class is a text field: its lower-cased name contains
// "textbox" or is exactly "edit".
bool IsTextFieldClass(const std::string& className);

// The keystroke's own key with left and right told apart: the generic Ctrl and
// Shift codes become their left or right variants from the keystroke flags
// (extended bit for Ctrl, scan code for Shift).
int SidedVirtualKey(int virtualKey, std::uint32_t keystrokeFlags);

}  // namespace dravlin
