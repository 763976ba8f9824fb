// A host client simulator with the built plug-in loaded, for tests that drive
// the plug-in the way a host client does.
#pragma once

#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "hostlink/wire.h"
#include "tests/wine/menu_watcher.h"
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

// Whether a test's full name matches one pattern of a test filter (* and ?).
inline bool MatchesFilterPattern(const char* name, const char* pattern) {
  if (*pattern == '*')
    return MatchesFilterPattern(name, pattern + 1) || (*name && MatchesFilterPattern(name + 1, pattern));
  if (!*pattern) return !*name;
  return *name && (*pattern == '?' || *pattern == *name) && MatchesFilterPattern(name + 1, pattern + 1);
}

// The full names of the tests that passed in a test report (XML): a passed
// test's element is completed and holds no failure.
inline std::vector<std::string> PassedTests(const std::string& report) {
  const auto attribute = [](const std::string& tag, const std::string& name) {
    const std::size_t at = tag.find(" " + name + "=\"");
    if (at == std::string::npos) return std::string();
    const std::size_t begin = at + name.size() + 3;
    return tag.substr(begin, tag.find('"', begin) - begin);
  };
  std::vector<std::string> passed;
  for (std::size_t at = report.find("<testcase "); at != std::string::npos; at = report.find("<testcase ", at + 1)) {
    const std::string tag = report.substr(at, report.find('>', at) + 1 - at);
    if (attribute(tag, "result") == "completed" && tag.compare(tag.size() - 2, 2, "/>") == 0)
      passed.push_back(attribute(tag, "classname") + "." + attribute(tag, "name"));
  }
  return passed;
}

// Runs the tests of this program that the filter names (patterns joined by
// ':', disabled tests included: those exist only to run this way) in a
// process of its own. Passes only when that process passed and every pattern
// ran a test: an exit code of 0 also comes from a filter that matches nothing.
inline ::testing::AssertionResult PassedInChild(const std::string& filter, DWORD timeoutMs) {
  const std::string report = MakeTempDirectory() + "report.xml";
  char program[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  std::string command = "\"" + std::string(program) + "\" --gtest_also_run_disabled_tests --gtest_filter=" + filter +
                        " --gtest_output=xml:" + report;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child = {};
  if (!CreateProcessA(program, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child))
    return ::testing::AssertionFailure() << "the child process did not start";
  if (WaitForSingleObject(child.hProcess, timeoutMs) != WAIT_OBJECT_0) TerminateProcess(child.hProcess, 1);
  DWORD exitCode = 1;
  GetExitCodeProcess(child.hProcess, &exitCode);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  if (exitCode != 0) return ::testing::AssertionFailure() << "the child process ended with " << exitCode;
  std::ifstream in(report, std::ios::binary);
  const std::vector<std::string> passed =
      PassedTests(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
  for (std::size_t begin = 0, end; begin <= filter.size(); begin = end + 1) {
    end = std::min(filter.find(':', begin), filter.size());
    const std::string pattern = filter.substr(begin, end - begin);
    if (std::none_of(passed.begin(), passed.end(),
                     [&](const std::string& name) { return MatchesFilterPattern(name.c_str(), pattern.c_str()); }))
      return ::testing::AssertionFailure() << "no test of \"" << pattern << "\" passed in the child process";
  }
  return ::testing::AssertionSuccess();
}

class PluginTest : public ::testing::Test {
 protected:
  explicit PluginTest(bool sendStartOnConnect = true)
      : settingsDirectory_(MakeTempDirectory()), host_(settingsDirectory_, sendStartOnConnect) {}

  void SetUp() override {
    ASSERT_TRUE(host_.Create(GetModuleHandleA(nullptr), SW_SHOWNORMAL));
    ASSERT_TRUE(host_.LoadPlugin(PluginPath()));
  }

  void TearDown() override {
    EXPECT_EQ(MenuWatcher::StuckMenusClosed(), stuckMenusAtStart_)
        << "a menu ignored the keys meant to close it, and its watcher closed it";
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

  void FocusTextField() {
    SetForegroundWindow(host_.MainWindow());
    SetFocus(host_.TextField());
    PumpMessagesFor(50);
  }

  // Presses right Ctrl in the text field and types keys into the menu once it
  // shows; true when it opened and has closed again. The plug-in makes its
  // menus when they are first shown.
  bool OpenMenuAndType(std::initializer_list<WORD> keys) {
    MenuWatcher watcher;
    watcher.whileOpen = [&](int tick) {
      if (tick == 0) SendKeys(keys);
    };
    SendKeys({VK_RCONTROL});
    return WaitFor([&] { return !watcher.opened.empty() && !VisibleMenuWindow(); });
  }

  std::string settingsDirectory_;
  HostSimulator host_;
  const int stuckMenusAtStart_ = MenuWatcher::StuckMenusClosed();
};

}  // namespace dravlin
