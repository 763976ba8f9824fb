// The module's entry points, the plug-in window and its start and stop, seen
// from the host client's side.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include "tests/wine/plugin_fixture.h"

namespace dravlin {
namespace {

#if defined(__i386__)
// Calls a function with four 32-bit arguments pushed right to left and reports
// how far the stack pointer moved: 0 when the callee removed its arguments.
int CallMeasuringStack(FARPROC function, const uint32_t (&args)[4], int32_t* stackDelta) {
  int result;
  int32_t delta;
  __asm__ volatile(
      "movl %%esp, %%esi\n\t"
      "pushl 12(%%eax)\n\t"
      "pushl 8(%%eax)\n\t"
      "pushl 4(%%eax)\n\t"
      "pushl (%%eax)\n\t"
      "call *%%ebx\n\t"
      "movl %%esp, %%edi\n\t"
      "subl %%esi, %%edi\n\t"
      "movl %%esi, %%esp\n\t"
      : "=a"(result), "=D"(delta)
      : "a"(args), "b"(function)
      : "ecx", "edx", "esi", "memory", "cc");
  *stackDelta = delta;
  return result;
}
#endif

// The names in the module's export directory.
std::set<std::string> ExportedNames(HMODULE module) {
  auto* base = reinterpret_cast<const unsigned char*>(module);
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  std::set<std::string> result;
  for (DWORD i = 0; i < exports->NumberOfNames; ++i)
    result.insert(reinterpret_cast<const char*>(base + names[i]));
  EXPECT_EQ(exports->NumberOfFunctions, exports->NumberOfNames);
  return result;
}

bool IsPluginLoaded() { return GetModuleHandleA("dravlin.dll") != nullptr; }

// Types a key into the window that has the focus, as a user would.
void PressKey(WORD virtualKey) {
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_KEYBOARD;
  input[0].ki.wVk = input[1].ki.wVk = virtualKey;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof(INPUT));
}

class LifecycleTest : public PluginTest {
 protected:
  // Unloads the module, then lets a keystroke reach this thread: a keyboard hook
  // left behind would bring the module back (or crash) when the key is processed.
  void ExpectNoHookLeftAfterUnload() {
    host_.UnloadPlugin();
    ASSERT_FALSE(IsPluginLoaded());
    ExpectNoHookLeft();
  }

  void ExpectNoHookLeft() {
    SetForegroundWindow(host_.MainWindow());
    SetFocus(host_.TextField());
    PressKey('A');
    PumpMessagesFor(300);
    EXPECT_FALSE(IsPluginLoaded()) << "a keyboard hook outlived the plug-in window";
  }
};

TEST_F(LifecycleTest, ExportsExactlyFourStdcallEntryPoints) {
  EXPECT_EQ(ExportedNames(host_.Plugin()),
            (std::set<std::string>{"zanConf", "zanCred", "zanInfo", "zanInit"}));
#if defined(__i386__)
  std::vector<unsigned char> record(256, 0);
  const uint32_t infoArgs[4] = {0, 0, 0, reinterpret_cast<uint32_t>(record.data())};
  const uint32_t credArgs[4] = {7, 8, 9, 10};
  int32_t delta = -1;
  EXPECT_EQ(CallMeasuringStack(GetProcAddress(host_.Plugin(), "zanInfo"), infoArgs, &delta), 1);
  EXPECT_EQ(delta, 0);
  EXPECT_EQ(CallMeasuringStack(GetProcAddress(host_.Plugin(), "zanCred"), credArgs, &delta), 0);
  EXPECT_EQ(delta, 0);
  const uint32_t initArgs[4] = {reinterpret_cast<uint32_t>(host_.MainWindow()), 0, host_.Port(), 0};
  EXPECT_EQ(CallMeasuringStack(GetProcAddress(host_.Plugin(), "zanInit"), initArgs, &delta), 1);
  EXPECT_EQ(delta, 0);
#endif
}

TEST_F(LifecycleTest, InfoFillsNameAndIntegersOnly) {
  auto info = host_.Entry("zanInfo");
  std::vector<unsigned char> zeroed(256, 0);
  EXPECT_EQ(info(nullptr, nullptr, nullptr, zeroed.data()), 1);
  EXPECT_STREQ(reinterpret_cast<const char*>(zeroed.data()), "Dravlin plug-in");
  int32_t integers[3];
  std::memcpy(integers, zeroed.data() + 128, sizeof integers);
  EXPECT_EQ(integers[0], 1);
  EXPECT_EQ(integers[1], 1);
  EXPECT_EQ(integers[2], 0);
  EXPECT_EQ(std::count(zeroed.begin() + 140, zeroed.end(), 0), 256 - 140);

  std::vector<unsigned char> prefilled(256, 'x');
  info(nullptr, nullptr, nullptr, prefilled.data());
  EXPECT_EQ(std::string(prefilled.begin(), prefilled.begin() + 20), "Dravlin plug-inxxxxx");
  EXPECT_EQ(prefilled[127], 'x');
  EXPECT_EQ(prefilled[140], 'x');

  EXPECT_EQ(info(nullptr, nullptr, nullptr, nullptr), 1);
}

TEST_F(LifecycleTest, CreditsAnswerZeroWithNullArguments) {
  EXPECT_EQ(host_.Entry("zanCred")(nullptr, nullptr, nullptr, nullptr), 0);
}

TEST_F(LifecycleTest, ModuleCarriesItsVersionAndLoadFailureText) {
  const std::string path = PluginPath();
  DWORD ignored = 0;
  std::vector<char> version(GetFileVersionInfoSizeA(path.c_str(), &ignored));
  ASSERT_FALSE(version.empty());
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, version.size(), version.data()));
  auto value = [&](const char* name) {
    char* text = nullptr;
    UINT length = 0;
    const std::string key = std::string("\\StringFileInfo\\041004b0\\") + name;
    return VerQueryValueA(version.data(), key.c_str(), reinterpret_cast<void**>(&text), &length)
               ? std::string(text) : std::string("(missing)");
  };
  EXPECT_EQ(value("FileVersion"), "1, 2, 0, 0");
  EXPECT_EQ(value("ProductVersion"), "1, 1, 0, 0");
  EXPECT_EQ(value("InternalName"), "dravlin");
  EXPECT_EQ(value("OriginalFilename"), "dravlin.DLL");

  const WORD italian = MAKELANGID(LANG_ITALIAN, SUBLANG_ITALIAN);
  EXPECT_NE(FindResourceExA(host_.Plugin(), RT_STRING, MAKEINTRESOURCEA(101 / 16 + 1), italian), nullptr);
  EXPECT_NE(FindResourceExA(host_.Plugin(), RT_GROUP_ICON, MAKEINTRESOURCEA(13000), italian), nullptr);
  char text[128] = "";
  LoadStringA(host_.Plugin(), 101, text, sizeof text);
  EXPECT_STREQ(text, "Inizializzazione dei connettori di Windows non riuscita.");
}

TEST_F(LifecycleTest, InitWithNothingListeningLeavesAnIdleWindow) {
  SOCKET probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  bind(probe, reinterpret_cast<sockaddr*>(&address), length);
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  closesocket(probe);  // the port is now one where nothing listens

  EXPECT_EQ(host_.Entry("zanInit")(host_.MainWindow(), nullptr,
                                   reinterpret_cast<void*>(static_cast<UINT_PTR>(ntohs(address.sin_port))),
                                   nullptr),
            1);
  PumpMessagesFor(500);
  EXPECT_NE(FindPluginWindow(), nullptr);
  EXPECT_TRUE(host_.Connections().empty());
  DWORD_PTR answer = 0;
  EXPECT_NE(SendMessageTimeoutA(host_.MainWindow(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer), 0);
  ExpectNoHookLeftAfterUnload();
  EXPECT_EQ(FindPluginWindow(), nullptr);
}

TEST_F(LifecycleTest, WindowIsHiddenOwnedAndPlaced) {
  StartAndWaitForAnswer();
  HWND window = FindPluginWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(GetWindow(window, GW_OWNER), host_.MainWindow());
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)) & ~WS_CLIPSIBLINGS, WS_OVERLAPPEDWINDOW);
  RECT r;
  GetWindowRect(window, &r);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 731);
  EXPECT_EQ(r.right - r.left, 1280);
  EXPECT_EQ(r.bottom - r.top, 265);
  EXPECT_EQ(GetClassLongA(window, GCL_STYLE), 0u);
  EXPECT_EQ(GetClassLongPtrA(window, GCLP_HBRBACKGROUND), COLOR_BTNFACE + 1);
  EXPECT_NE(GetClassLongPtrA(window, GCLP_HICON), 0u);
}

TEST_F(LifecycleTest, HostClosingTheLinkStopsThePlugin) {
  StartAndWaitForAnswer();
  host_.CloseConnection();
  ASSERT_TRUE(WaitFor([] { return FindPluginWindow() == nullptr; }));
  ExpectNoHookLeftAfterUnload();
}

TEST_F(LifecycleTest, DestroyingTheHostWindowStopsThePlugin) {
  HWND otherHost = CreateWindowExA(0, "Static", "other host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                   nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  host_.Entry("zanInit")(otherHost, nullptr, reinterpret_cast<void*>(static_cast<UINT_PTR>(host_.Port())),
                         nullptr);
  ASSERT_TRUE(WaitFor([&] { return Received() == InformationLines(); }));
  DestroyWindow(otherHost);
  EXPECT_EQ(FindPluginWindow(), nullptr);
  ASSERT_TRUE(WaitFor([&] { return host_.Connections().back().closedByPlugin; }));
  ExpectNoHookLeftAfterUnload();
}

TEST_F(LifecycleTest, FreshInitAfterStopConnectsAgain) {
  StartAndWaitForAnswer();
  host_.CloseConnection();
  ASSERT_TRUE(WaitFor([] { return FindPluginWindow() == nullptr; }));
  StartAndWaitForAnswer();
  EXPECT_EQ(host_.Connections().size(), 2u);
  EXPECT_NE(FindPluginWindow(), nullptr);
}

TEST_F(LifecycleTest, SecondInitReplacesTheRunningWindow) {
  StartAndWaitForAnswer();
  HWND first = FindPluginWindow();
  StartAndWaitForAnswer();
  EXPECT_FALSE(IsWindow(first));
  EXPECT_TRUE(host_.Connections().front().closedByPlugin ||
              WaitFor([&] { return host_.Connections().front().closedByPlugin; }));
  EXPECT_EQ(PluginWindows().size(), 1u);
  host_.CloseConnection();
  ASSERT_TRUE(WaitFor([] { return FindPluginWindow() == nullptr; }));
  ExpectNoHookLeftAfterUnload();
}

TEST_F(LifecycleTest, UnloadWhileRunningDestroysWindowAndLink) {
  StartAndWaitForAnswer();
  ExpectNoHookLeftAfterUnload();
  EXPECT_EQ(FindPluginWindow(), nullptr);
  EXPECT_TRUE(WaitFor([&] { return host_.Connections().back().closedByPlugin; }));
}

int g_references = 0;

BOOL WINAPI CountedReference(DWORD flags, LPCSTR name, HMODULE* module) {
  if (!(flags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT)) ++g_references;
  return GetModuleHandleExA(flags, name, module);
}

// The hook keeps the module mapped across the hooks below it; typing does not
// pay the loader lock for that at every keystroke, and an unload right after
// it still completes.
TEST_F(LifecycleTest, TypingSharesTheHooksModuleReference) {
  StartAndWaitForAnswer();
  ASSERT_TRUE(RedirectImport(host_.Plugin(), "GetModuleHandleExA", &CountedReference));
  SetForegroundWindow(host_.MainWindow());
  SetFocus(host_.TextField());
  PumpMessagesFor(100);
  g_references = 0;
  for (int key = 0; key < 10; ++key) {
    PressKey('A');
    PumpMessagesFor(30);
  }
  EXPECT_GE(g_references, 1);
  EXPECT_LE(g_references, 4) << "typed over about 300 ms";
  host_.UnloadPlugin();
  EXPECT_TRUE(WaitFor([] { return !IsPluginLoaded(); }));
  ExpectNoHookLeft();
}

// The host starts the plug-in from one of its threads and unloads it from
// another while the first is blocked. The unload runs under the loader lock:
// it neither waits for that thread nor leaves it a window or a hook that would
// call into the unmapped module once it runs again.
TEST_F(LifecycleTest, UnloadFromAnotherThreadWhileTheWindowsThreadIsBlocked) {
  const HANDLE answered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  const HANDLE blocked = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  const HANDLE resume = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  const auto init = host_.Entry("zanInit");
  std::size_t windowsLeft = 99;
  std::thread windowsThread([&] {
    init(host_.MainWindow(), nullptr, reinterpret_cast<void*>(static_cast<UINT_PTR>(host_.Port())), nullptr);
    PumpMessagesUntil([&] { return WaitForSingleObject(answered, 0) == WAIT_OBJECT_0; }, kTimeoutMs);
    SetEvent(blocked);
    WaitForSingleObject(resume, 30000);
    PumpMessagesFor(300);
    windowsLeft = PluginWindows().size();
  });
  EXPECT_TRUE(WaitFor([&] { return Received() == InformationLines(); }));
  SetEvent(answered);
  WaitForSingleObject(blocked, 30000);
  const DWORD start = GetTickCount();
  host_.UnloadPlugin();
  const DWORD unloadMs = GetTickCount() - start;
  std::printf("unloaded in %lu ms while the window's thread was blocked\n", unloadMs);
  EXPECT_LT(unloadMs, 1000u);
  EXPECT_FALSE(IsPluginLoaded());
  EXPECT_TRUE(WaitFor([&] { return host_.Connections().back().closedByPlugin; }));
  ExpectNoHookLeft();
  SetEvent(resume);
  windowsThread.join();
  EXPECT_EQ(windowsLeft, 0u);
  for (const HANDLE event : {answered, blocked, resume}) CloseHandle(event);
}

}  // namespace
}  // namespace dravlin
