// What the host's process can see of the built plug-in: its module and its
// windows, the lines it answers a start request with and the state of the
// process's heaps. Shared by the Wine tests and the soak.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "hostlink/wire.h"

namespace dravlin {

inline std::string ProgramDirectory() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string directory = path;
  return directory.substr(0, directory.find_last_of("\\/") + 1);
}

// A fresh empty directory under the temporary directory, with its trailing separator.
inline std::string MakeTempDirectory() {
  char base[MAX_PATH] = "";
  GetTempPathA(MAX_PATH, base);
  for (unsigned attempt = GetTickCount();; ++attempt) {
    const std::string directory = std::string(base) + "dravlin-test-" + std::to_string(attempt) + "\\";
    if (CreateDirectoryA(directory.c_str(), nullptr)) return directory;
  }
}

inline std::string PluginPath() { return ProgramDirectory() + "dravlin.dll"; }

inline const std::string& InformationLines() {
  static const std::string lines =
      EncodeWireMessage(8, "Dravlin plug-in 1.2") +
      EncodeWireMessage(8, "Developed by the Dravlin developers (dravlin@example.org)");
  return lines;
}

inline BOOL CALLBACK CollectPluginWindow(HWND hwnd, LPARAM windows) {
  char title[64] = "";
  GetWindowTextA(hwnd, title, sizeof title);
  if (std::string(title) == "Dravlin") reinterpret_cast<std::vector<HWND>*>(windows)->push_back(hwnd);
  return TRUE;
}

// The plug-in's hidden windows, found among the windows of this thread.
inline std::vector<HWND> PluginWindows() {
  std::vector<HWND> windows;
  EnumThreadWindows(GetCurrentThreadId(), CollectPluginWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

inline HWND FindPluginWindow() {
  const std::vector<HWND> windows = PluginWindows();
  return windows.empty() ? nullptr : windows.front();
}

// Points a module's imports of a function, from whichever library, at a
// replacement. Returns what the first one pointed at before, or null when the
// module imports no such function.
template <typename Function>
Function RedirectImport(HMODULE module, const char* function, Function replacement) {
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  Function previous = nullptr;
  for (auto* library = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       imports.VirtualAddress && library->Name; ++library) {
    auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* name = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (lstrcmpA(reinterpret_cast<const char*>(name->Name), function) != 0) continue;
      DWORD protection = 0;
      VirtualProtect(slots, sizeof *slots, PAGE_READWRITE, &protection);
      if (!previous) previous = reinterpret_cast<Function>(slots->u1.Function);
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(slots, sizeof *slots, protection, &protection);
    }
  }
  return previous;
}

// Whether every heap of the process is sound. Under a debug heap (free blocks
// filled and checked, see the fault injection tests) this also finds a write
// into memory already freed.
inline bool HeapsAreSound() {
  HANDLE heaps[256];
  const DWORD count = GetProcessHeaps(256, heaps);
  for (DWORD i = 0; i < count && i < 256; ++i)
    if (!HeapValidate(heaps[i], 0, nullptr)) return false;
  return true;
}

}  // namespace dravlin
