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
#include "tests/wine/plugin_probe.h"
#include "tools/host_simulator.h"

namespace dravlin {

constexpr DWORD kTimeoutMs = 5000;

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
