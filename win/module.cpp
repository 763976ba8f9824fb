#include "win/module.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <utility>

namespace dravlin {
namespace {

HINSTANCE g_moduleInstance = nullptr;
int g_pins = 0;
HMODULE g_pinnedModule = nullptr;

template <typename T>
void Append(std::uint8_t*& at, T value) {
  std::memcpy(at, &value, sizeof value);
  at += sizeof value;
}

// A timer procedure of a few instructions, outside the module's code:
// KillTimer(NULL, id), then FreeLibrary(module). It runs the platform's own
// functions, looked up in their modules rather than through the module's
// import stubs, which go with it.
TIMERPROC MakeReleaseProcedure(HMODULE module) {
  const auto killTimer = reinterpret_cast<std::uintptr_t>(GetProcAddress(GetModuleHandleA("user32.dll"), "KillTimer"));
  const auto freeLibrary =
      reinterpret_cast<std::uintptr_t>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "FreeLibrary"));
  auto* code = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, 64, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!code || !killTimer || !freeLibrary) return nullptr;
  std::uint8_t* at = code;
  const auto bytes = [&at](std::initializer_list<std::uint8_t> list) {
    for (const std::uint8_t byte : list) *at++ = byte;
  };
#if defined(_M_X64) || defined(__x86_64__)
  bytes({0x48, 0x83, 0xEC, 0x28});                   // sub rsp, 40
  bytes({0x31, 0xC9, 0x4C, 0x89, 0xC2});             // xor ecx, ecx; mov rdx, r8 (the id)
  bytes({0x48, 0xB8}), Append<std::uint64_t>(at, killTimer);
  bytes({0xFF, 0xD0});                               // call rax
  bytes({0x48, 0xB9}), Append<std::uint64_t>(at, reinterpret_cast<std::uintptr_t>(module));
  bytes({0x48, 0xB8}), Append<std::uint64_t>(at, freeLibrary);
  bytes({0xFF, 0xD0, 0x48, 0x83, 0xC4, 0x28, 0xC3});  // call rax; add rsp, 40; ret
#else
  bytes({0xFF, 0x74, 0x24, 0x0C, 0x6A, 0x00});       // push the id; push NULL
  bytes({0xB8}), Append<std::uint32_t>(at, static_cast<std::uint32_t>(killTimer));
  bytes({0xFF, 0xD0, 0x68});                         // call eax; push the module
  Append<std::uint32_t>(at, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(module)));
  bytes({0xB8}), Append<std::uint32_t>(at, static_cast<std::uint32_t>(freeLibrary));
  bytes({0xFF, 0xD0, 0xC2, 0x10, 0x00});             // call eax; ret 16
#endif
  DWORD previous = 0;
  VirtualProtect(code, 64, PAGE_EXECUTE_READ, &previous);
  FlushInstructionCache(GetCurrentProcess(), code, 64);
  return reinterpret_cast<TIMERPROC>(code);
}

// Dropping the last reference from the module's own code would unmap that
// code under the thread. A thread timer drops it instead, from a procedure
// outside the module, once a message loop dispatches it: the host's, since
// ours have returned, or one of ours that holds its own pin. An unload it
// completes runs on this thread, as the host's own would have, and takes the
// windows and the hook with it. The procedure outlives the module.
void ReleaseFromMessageLoop(HMODULE module) {
  static const TIMERPROC release = MakeReleaseProcedure(module);
  // Without it the module stays mapped for the process's life: better than
  // unmapping it under the thread.
  if (release) SetTimer(nullptr, 0, 0, release);
}

}  // namespace

HINSTANCE ModuleInstance() { return g_moduleInstance; }
void SetModuleInstance(HINSTANCE instance) { g_moduleInstance = instance; }

ModulePin::ModulePin() {
  if (g_pins++ > 0) return;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&g_pins), &g_pinnedModule);
}

ModulePin::~ModulePin() {
  if (--g_pins > 0 || !g_pinnedModule) return;
  ReleaseFromMessageLoop(std::exchange(g_pinnedModule, nullptr));
}

}  // namespace dravlin
