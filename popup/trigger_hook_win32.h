// The keyboard hook that opens the popup menu at the caret.
#pragma once

#include <windows.h>

#include <optional>

#include "popup/trigger.h"

namespace dravlin {

LRESULT CALLBACK TriggerHookProcedure(int code, WPARAM virtualKey, LPARAM keystrokeFlags);

// Where the root menu opens for a first key-down, or nothing: the trigger
// decision over what the window system reports about the keystroke.
std::optional<ScreenPoint> TriggerMenuPoint(HWND hostWindow, int triggerKey, WPARAM virtualKey,
                                            LPARAM keystrokeFlags);

}  // namespace dravlin
