// A host client simulator with the built plug-in loaded, for tests that drive
// the plug-in the way a host client does.
#pragma once

#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <psapi.h>

#include <string>
#include <vector>

#include "hostlink/wire.h"
#include "tools/host_simulator.h"

namespace dravlin {

constexpr DWORD kTimeoutMs = 5000;

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

// The process's private bytes (its commit charge), the memory the plug-in
// could make grow. Wine gives them here but not as PrivateUsage.
inline SIZE_T PrivateBytes() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.PagefileUsage;
}

class PluginTest : public ::testing::Test {
 protected:
  explicit PluginTest(bool sendStartOnConnect = true)
      : settingsDirectory_(MakeTempDirectory()), host_(settingsDirectory_, sendStartOnConnect) {}

  void SetUp() override {
    ASSERT_TRUE(host_.Create(GetModuleHandleA(nullptr), SW_SHOWNORMAL));
    ASSERT_TRUE(host_.LoadPlugin(PluginPath()));
  }

  // Starts the plug-in and waits until it has answered the start code.
  void StartAndWaitForAnswer() {
    ASSERT_EQ(host_.StartPlugin(), 1);
    ASSERT_TRUE(WaitFor([&] { return Received() == InformationLines(); })) << Printable(Received());
  }

  bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = kTimeoutMs) {
    return PumpMessagesUntil(done, timeoutMs);
  }

  std::string Received() const {
    return host_.Connections().empty() ? std::string() : host_.Connections().back().received;
  }

  std::string settingsDirectory_;
  HostSimulator host_;
};

}  // namespace dravlin
