// The plug-in module's own instance handle, for every class, window, dialog,
// icon and string it loads (GetModuleHandle(NULL) would be the host's).
#pragma once

#include <windows.h>

namespace dravlin {

HINSTANCE ModuleInstance();
void SetModuleInstance(HINSTANCE instance);

// Keeps the module mapped while a call that may dispatch messages runs on the
// calling thread (one of its modal loops, the next hook of the chain): the
// host may unload it from a message dispatched inside, and the call would
// then return into nothing. The first pin takes a reference; the last gives
// it back once the thread has left the module's code, so that the unload the
// host asked for happens then. Where that cannot be done, the module stays
// mapped for the process's life.
class ModulePin {
 public:
  ModulePin();
  ~ModulePin();
  ModulePin(const ModulePin&) = delete;
  ModulePin& operator=(const ModulePin&) = delete;
};

}  // namespace dravlin
