#include "win/module.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <utility>

namespace dravlin {
namespace {

HINSTANCE g_moduleInstance = nullptr;
int g_pins = 0;
HMODULE g_reference = nullptr;  // taken by the first pin, dropped by the release timer
UINT_PTR g_releaseTimer = 0;
bool g_keptForLife = false;

constexpr SIZE_T kReleaseCodeSize = 64;
// How long the reference outlives the last pin: typing takes a pin for every
// keystroke, and a quarter of a second lets one reference and one timer serve
// a run of them instead of a trip through the loader lock each. An unload the
// host asks meanwhile completes when the timer fires.
constexpr UINT kReleaseDelayMs = 250;

template <typename T>
void Append(std::uint8_t*& at, T value) {
  std::memcpy(at, &value, sizeof value);
  at += sizeof value;
}

// Runs from the release procedure while the reference still maps the module.
// A pin taken since the timer was set keeps the reference; its end sets the
// timer again.
HMODULE WINAPI TakeReleasedReference() {
  KillTimer(nullptr, std::exchange(g_releaseTimer, 0));
  return g_pins > 0 ? nullptr : std::exchange(g_reference, nullptr);
}

// A timer procedure of a few instructions, outside the module's code: asks
// the module for the reference to drop, then drops it with FreeLibrary, found
// in its own module rather than through the module's import stubs, which go
// with it. Null when any step fails, as where the host forbids generated code.
TIMERPROC MakeReleaseProcedure() {
  const auto freeLibrary =
      reinterpret_cast<std::uintptr_t>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "FreeLibrary"));
  const auto takeReference = reinterpret_cast<std::uintptr_t>(&TakeReleasedReference);
  if (!freeLibrary) return nullptr;
  auto* code = static_cast<std::uint8_t*>(
      VirtualAlloc(nullptr, kReleaseCodeSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!code) return nullptr;
  std::uint8_t* at = code;
  const auto bytes = [&at](std::initializer_list<std::uint8_t> list) {
    for (const std::uint8_t byte : list) *at++ = byte;
  };
#if defined(_M_X64) || defined(__x86_64__)
  bytes({0x48, 0x83, 0xEC, 0x28});                   // sub rsp, 40
  bytes({0x48, 0xB8}), Append<std::uint64_t>(at, takeReference);
  bytes({0xFF, 0xD0, 0x48, 0x85, 0xC0, 0x74, 0x0F});  // call rax; test rax, rax; jz the end
  bytes({0x48, 0x89, 0xC1});                         // mov rcx, rax
  bytes({0x48, 0xB8}), Append<std::uint64_t>(at, freeLibrary);
  bytes({0xFF, 0xD0, 0x48, 0x83, 0xC4, 0x28, 0xC3});  // call rax; add rsp, 40; ret
#else
  bytes({0xB8}), Append<std::uint32_t>(at, static_cast<std::uint32_t>(takeReference));
  bytes({0xFF, 0xD0, 0x85, 0xC0, 0x74, 0x08, 0x50});  // call eax; test eax, eax; jz the end; push eax
  bytes({0xB8}), Append<std::uint32_t>(at, static_cast<std::uint32_t>(freeLibrary));
  bytes({0xFF, 0xD0, 0xC2, 0x10, 0x00});             // call eax; ret 16
#endif
  DWORD previous = 0;
  if (!VirtualProtect(code, kReleaseCodeSize, PAGE_EXECUTE_READ, &previous) ||
      !FlushInstructionCache(GetCurrentProcess(), code, kReleaseCodeSize)) {
    VirtualFree(code, 0, MEM_RELEASE);
    return nullptr;
  }
  return reinterpret_cast<TIMERPROC>(code);
}

// Dropping the last reference from the module's own code would unmap that
// code under the thread. A thread timer drops it instead, from a procedure
// outside the module, once a message loop dispatches it: the host's, since
// ours have returned, or one of ours that holds its own pin. An unload it
// completes runs on this thread, as the host's own would have, and takes the
// windows and the hook with it. The procedure outlives the module.
void ScheduleRelease() {
  static const TIMERPROC release = MakeReleaseProcedure();
  if (release) g_releaseTimer = SetTimer(nullptr, 0, kReleaseDelayMs, release);
  if (g_releaseTimer) return;
  // Better mapped for the process's life than unmapped under the thread.
  HMODULE ignored = nullptr;
  g_keptForLife = GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                                     reinterpret_cast<LPCSTR>(&g_pins), &ignored) != FALSE;
}

}  // namespace

HINSTANCE ModuleInstance() { return g_moduleInstance; }
void SetModuleInstance(HINSTANCE instance) { g_moduleInstance = instance; }

ModulePin::ModulePin() {
  // A release still pending hands its reference over.
  if (g_pins++ > 0 || g_reference || g_keptForLife) return;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&g_pins), &g_reference);
}

ModulePin::~ModulePin() {
  if (--g_pins > 0 || !g_reference || g_releaseTimer || g_keptForLife) return;
  ScheduleRelease();
}

}  // namespace dravlin
