// A heap that gives every block pages of its own and takes them away when the
// block is freed, so that any later read of the block faults at once; a debug
// heap's fill patterns only show writes. A loaded module is switched to it by
// redirecting its imports of the C runtime's allocation functions.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstring>
#include <initializer_list>
#include <map>
#include <mutex>

#include "tests/wine/plugin_probe.h"

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
    for (const char* name : {"malloc", "calloc", "realloc", "free"})
      if (RedirectImport(module, name, Replacement(name))) ++redirected;
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
