#include "popup/trigger_hook_win32.h"

#include "plugin/plugin_window.h"
#include "popup/trigger.h"

namespace dravlin {
namespace {

constexpr LPARAM kKeyReleasedBit = 0x80000000;

// Whether the trigger key is down. Under Wine the key state inside a keyboard
// hook does not yet hold the keystroke being reported, so the keystroke itself
// counts as the trigger key when it is that key; on Windows the state already
// says so and this changes nothing.
bool TriggerKeyDown(int triggerKey, WPARAM virtualKey, LPARAM keystrokeFlags) {
  if (GetKeyState(triggerKey) & 0x8000) return true;
  const int key = static_cast<int>(virtualKey);
  return key == triggerKey || SidedVirtualKey(key, static_cast<std::uint32_t>(keystrokeFlags)) == triggerKey;
}

KeystrokeFacts GatherFacts(const PluginWindow& window, WPARAM virtualKey, LPARAM keystrokeFlags) {
  KeystrokeFacts facts;
  facts.keystrokeFlags = static_cast<std::uint32_t>(keystrokeFlags);
  // The key state is the cheaper query and fails for nearly every keystroke.
  facts.triggerKeyDown = TriggerKeyDown(window.TriggerKey(), virtualKey, keystrokeFlags);
  if (!facts.triggerKeyDown) return facts;
  facts.hostInForeground = GetForegroundWindow() == window.HostWindow();
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

void PluginWindow::OnKeystroke(WPARAM virtualKey, LPARAM keystrokeFlags) {
  const auto flags = static_cast<std::uint32_t>(keystrokeFlags);
  const bool isTriggerKey = SidedVirtualKey(static_cast<int>(virtualKey), flags) == TriggerKey();
  if (isTriggerKey && (keystrokeFlags & kKeyReleasedBit)) triggerPressServed_ = false;
  // Most keystrokes are repeats and releases: they are settled before any of
  // the window system's queries, which cost the host's thread on every key.
  if (!IsFirstKeyDown(flags)) return;
  // Wine's menu loop sees the trigger's key-down again, and after the menu
  // the held key's repeats arrive unflagged; one press opens one menu, and
  // never a menu inside the open one, as on Windows.
  if (menuOpen_ || (isTriggerKey && triggerPressServed_) || !RootMenu()) return;
  const auto at = DecideTrigger(GatherFacts(*this, virtualKey, keystrokeFlags));
  if (!at) return;
  triggerPressServed_ = isTriggerKey;
  menuOpen_ = true;
  TrackPopupMenu(RootMenu(), 0, at->x, at->y, 0, Handle(), nullptr);
  menuOpen_ = false;
}

LRESULT CALLBACK TriggerHookProcedure(int code, WPARAM virtualKey, LPARAM keystrokeFlags) {
  PluginWindow* window = CurrentPluginWindow();
  const LRESULT result = CallNextHookEx(window ? window->Hook() : nullptr, code, virtualKey, keystrokeFlags);
  // A keystroke only peeked at (HC_NOREMOVE) is reported again when it is
  // taken from the queue; acting on both would open the menu twice.
  if (code != HC_ACTION || !window) return result;
  try {
    window->OnKeystroke(virtualKey, keystrokeFlags);
  } catch (...) {
  }
  return result;
}

}  // namespace dravlin
