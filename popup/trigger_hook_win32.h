// The keyboard hook that opens the popup menu at the caret.
#pragma once

#include <windows.h>

namespace dravlin {

LRESULT CALLBACK TriggerHookProcedure(int code, WPARAM virtualKey, LPARAM keystrokeFlags);

}  // namespace dravlin
