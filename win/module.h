// The plug-in module's own instance handle, for every class, window, dialog,
// icon and string it loads (GetModuleHandle(NULL) would be the host's).
#pragma once

#include <windows.h>

namespace dravlin {

HINSTANCE ModuleInstance();
void SetModuleInstance(HINSTANCE instance);

}  // namespace dravlin
