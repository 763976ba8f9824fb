#include "popup/trigger_hook_win32.h"

#include "plugin/plugin_window.h"

namespace dravlin {

LRESULT CALLBACK TriggerHookProcedure(int code, WPARAM virtualKey, LPARAM keystrokeFlags) {
  PluginWindow* window = CurrentPluginWindow();
  return CallNextHookEx(window ? window->Hook() : nullptr, code, virtualKey, keystrokeFlags);
}

}  // namespace dravlin
