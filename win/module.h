// The plug-in module's own instance handle, for every class, window, dialog,
// icon and string it loads (GetModuleHandle(NULL) would be the host's).
#pragma once

#include <windows.h>

namespace dravlin {

HINSTANCE ModuleInstance();
void SetModuleInstance(HINSTANCE instance);

// Keeps the module mapped while one of its modal loops runs on the calling
// thread: the host may unload it from a message dispatched inside the loop,
// and the loop would then return into nothing. The first pin takes a
// reference; the last gives it back once the thread has left the module's
// code, so that the unload the host asked for happens then.
class ModulePin {
 public:
  ModulePin();
  ~ModulePin();
  ModulePin(const ModulePin&) = delete;
  ModulePin& operator=(const ModulePin&) = delete;
};

}  // namespace dravlin
