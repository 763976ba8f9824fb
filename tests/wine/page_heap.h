// A heap that gives every block pages of its own and takes them away when the
// block is freed, so that any later read of the block faults at once; a debug
// heap's fill patterns only show writes. A loaded module is switched to it by
// redirecting its imports of the C runtime's allocation functions.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>

namespace dravlin {

class PageHeap {
 public:
  // Faults on freed blocks since the heap was first used. The window system
  // swallows an exception raised inside a hook procedure, so the test asks.
  static int FreedBlockFaults() { return faults_; }

  // Blocks the module allocated before keep going to the runtime's own heap.
  // Returns how many of the four functions the module imports were redirected.
  static int Redirect(HMODULE module) {
    static const PVOID handler = AddVectoredExceptionHandler(1, CountFreedBlockFault);
    static_cast<void>(handler);
    int redirected = 0;
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* library = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         library->Name; ++library) {
      if (lstrcmpiA(reinterpret_cast<const char*>(base + library->Name), "msvcrt.dll") != 0) continue;
      auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
      auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
      for (; names->u1.AddressOfData; ++names, ++slots) {
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
        const char* name = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name;
        if (const void* replacement = Replacement(name)) {
          Patch(slots, replacement);
          ++redirected;
        }
      }
    }
    return redirected;
  }

 private:
  static constexpr std::size_t kPage = 4096;

  // Under QEMU's user-mode emulator an access violation arrives as an illegal
  // instruction without its address.
  static LONG CALLBACK CountFreedBlockFault(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    if (record.ExceptionCode == EXCEPTION_ILLEGAL_INSTRUCTION) ++faults_;
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2 &&
        WasFreed(reinterpret_cast<const BYTE*>(record.ExceptionInformation[1])))
      ++faults_;
    return EXCEPTION_CONTINUE_SEARCH;
  }

  static bool WasFreed(const BYTE* address) {
    const std::lock_guard<std::mutex> hold(Lock());
    auto after = Freed().upper_bound(address);
    return after != Freed().begin() && address < (--after)->first + after->second;
  }

  static const void* Replacement(const char* name) {
    if (!std::strcmp(name, "malloc")) return reinterpret_cast<const void*>(&Allocate);
    if (!std::strcmp(name, "calloc")) return reinterpret_cast<const void*>(&AllocateZeroed);
    if (!std::strcmp(name, "realloc")) return reinterpret_cast<const void*>(&Reallocate);
    if (!std::strcmp(name, "free")) return reinterpret_cast<const void*>(&Free);
    return nullptr;
  }

  static void Patch(IMAGE_THUNK_DATA* slot, const void* replacement) {
    DWORD protection = 0;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
    slot->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
    VirtualProtect(slot, sizeof *slot, protection, &protection);
  }

  static std::map<void*, std::size_t>& Blocks() {
    static std::map<void*, std::size_t> blocks;
    return blocks;
  }
  static std::map<const BYTE*, std::size_t>& Freed() {
    static std::map<const BYTE*, std::size_t> freed;
    return freed;
  }
  static std::mutex& Lock() {
    static std::mutex lock;
    return lock;
  }

  // Freed pages are decommitted but stay reserved, so that no later block
  // reuses their addresses.
  static void* __cdecl Allocate(std::size_t size) {
    void* block = VirtualAlloc(nullptr, size ? size : 1, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!block) return nullptr;
    const std::lock_guard<std::mutex> hold(Lock());
    Blocks()[block] = size;
    return block;
  }

  static void* __cdecl AllocateZeroed(std::size_t count, std::size_t size) { return Allocate(count * size); }

  static void __cdecl Free(void* block) {
    if (!block) return;
    {
      const std::lock_guard<std::mutex> hold(Lock());
      const auto found = Blocks().find(block);
      if (found != Blocks().end()) {
        const std::size_t pages = (found->second + kPage - 1) / kPage * kPage;
        VirtualFree(block, pages, MEM_DECOMMIT);
        Freed()[static_cast<const BYTE*>(block)] = pages;
        Blocks().erase(found);
        return;
      }
    }
    std::free(block);
  }

  static void* __cdecl Reallocate(void* block, std::size_t size) {
    std::size_t old = 0;
    {
      const std::lock_guard<std::mutex> hold(Lock());
      const auto found = block ? Blocks().find(block) : Blocks().end();
      if (block && found == Blocks().end()) return std::realloc(block, size);
      if (block) old = found->second;
    }
    void* grown = Allocate(size);
    if (grown && block) std::memcpy(grown, block, old < size ? old : size);
    Free(block);
    return grown;
  }
  static inline std::atomic<int> faults_{0};
};

}  // namespace dravlin
