// What the keyboard hook asks the window system about a keystroke, and where
// the popup menu opens for it.
#pragma once

#include <windows.h>

#include <optional>

#include "popup/trigger.h"

namespace dravlin {

// Where the root menu opens for a first key-down, or nothing: the trigger
// decision over what the window system reports about the keystroke.
std::optional<ScreenPoint> TriggerMenuPoint(HWND hostWindow, int triggerKey, WPARAM virtualKey,
                                            LPARAM keystrokeFlags);

}  // namespace dravlin
