#include "popup/trigger_hook_win32.h"

namespace dravlin {
namespace {

// Whether the trigger key is down. Under Wine the key state inside a keyboard
// hook does not yet hold the keystroke being reported, so the keystroke itself
// counts as the trigger key when it is that key; on Windows the state already
// says so and this changes nothing.
bool TriggerKeyDown(int triggerKey, WPARAM virtualKey, LPARAM keystrokeFlags) {
  if (GetKeyState(triggerKey) & 0x8000) return true;
  const int key = static_cast<int>(virtualKey);
  return key == triggerKey || SidedVirtualKey(key, static_cast<std::uint32_t>(keystrokeFlags)) == triggerKey;
}

KeystrokeFacts GatherFacts(HWND hostWindow, int triggerKey, WPARAM virtualKey, LPARAM keystrokeFlags) {
  KeystrokeFacts facts;
  facts.keystrokeFlags = static_cast<std::uint32_t>(keystrokeFlags);
  // The key state is the cheaper query and fails for nearly every keystroke.
  facts.triggerKeyDown = TriggerKeyDown(triggerKey, virtualKey, keystrokeFlags);
  if (!facts.triggerKeyDown) return facts;
  facts.hostInForeground = GetForegroundWindow() == hostWindow;
  HWND focus = GetFocus();
  facts.hasFocusWindow = focus != nullptr;
  if (!facts.hostInForeground || !focus) return facts;
  POINT caret = {0, 0};
  facts.caretKnown = GetCaretPos(&caret) != FALSE;
  facts.caret = {caret.x, caret.y};
  char className[128] = "";
  const int length = GetClassNameA(focus, className, sizeof className);
  CharLowerBuffA(className, static_cast<DWORD>(length));
  facts.focusClassName.assign(className, length);
  POINT origin = {0, 0};
  ClientToScreen(focus, &origin);
  facts.clientOrigin = {origin.x, origin.y};
  return facts;
}

}  // namespace

std::optional<ScreenPoint> TriggerMenuPoint(HWND hostWindow, int triggerKey, WPARAM virtualKey,
                                            LPARAM keystrokeFlags) {
  return DecideTrigger(GatherFacts(hostWindow, triggerKey, virtualKey, keystrokeFlags));
}

}  // namespace dravlin
