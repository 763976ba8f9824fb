// Faults a host client, a damaged file or a bad moment can bring: a link
// closed in the middle of a message, a flood, a host that never reads, menu
// files with absurd counts, a huge value or random bytes, a save ended at any
// moment and a file held by another program. The plug-in keeps working, the
// host client's window keeps answering and no menu is lost.
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <thread>

#include "hostlink/host_link_win32.h"
#include "menufile/profile_file.h"
#include "popup/menu_tables.h"
#include "res/resource.h"
#include "tests/wine/menu_watcher.h"
#include "tests/wine/modal_steps.h"
#include "tests/wine/plugin_fixture.h"

namespace dravlin {
namespace {

const std::string S(1, kWireSeparator);

// Asks a window from another thread, again and again, whether it answers, and
// keeps the longest wait. The window's thread answers whenever it looks at its
// queue, so a long wait means one message held the thread that long.
class ResponsivenessProbe {
 public:
  explicit ResponsivenessProbe(HWND window) : window_(window), thread_([this] { Run(); }) {}
  ~ResponsivenessProbe() {
    stop_ = true;
    thread_.join();
  }

  DWORD LongestWaitMs() const { return longest_; }
  int Unanswered() const { return unanswered_; }

 private:
  void Run() {
    while (!stop_) {
      const DWORD start = GetTickCount();
      DWORD_PTR result = 0;
      if (!SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result)) ++unanswered_;
      longest_ = std::max<DWORD>(longest_, GetTickCount() - start);
      Sleep(20);
    }
  }

  HWND window_;
  std::atomic<bool> stop_{false};
  std::atomic<DWORD> longest_{0};
  std::atomic<int> unanswered_{0};
  std::thread thread_;
};

// Splits what the plug-in sent into its messages, each starting at a separator.
std::vector<std::string> Messages(const std::string& bytes) {
  std::vector<std::string> messages;
  for (std::size_t at = bytes.find(kWireSeparator); at != std::string::npos;) {
    const std::size_t next = bytes.find(kWireSeparator, at + 1);
    messages.push_back(bytes.substr(at, next == std::string::npos ? std::string::npos : next - at));
    at = next;
  }
  return messages;
}

class FaultInjectionTest : public PluginTest {
 protected:
  FaultInjectionTest() : PluginTest(false) {}

  void Connect() {
    ASSERT_EQ(host_.StartPlugin(), 1);
    ASSERT_TRUE(WaitFor([&] { return host_.HasOpenConnection(); }));
  }

  void WriteMenu(const std::string& ini) {
    std::ofstream(settingsDirectory_ + "dravlin.ini", std::ios::binary) << ini;
  }

  // Presses right Ctrl in the text field and returns the menus that opened.
  std::vector<SeenMenu> PressTriggerKey() {
    SetForegroundWindow(host_.MainWindow());
    SetFocus(host_.TextField());
    PumpMessagesFor(50);
    MenuWatcher watcher;
    SendKeys({VK_RCONTROL});
    WaitFor([&] { return !watcher.opened.empty() && !VisibleMenuWindow(); }, 20000);
    return watcher.opened;
  }
};

TEST_F(FaultInjectionTest, HostClosingInTheMiddleOfAMessageStopsThePluginCleanly) {
  for (const std::string& cut : {S + "054 " + settingsDirectory_.substr(0, 4), S + "00"}) {
    Connect();
    host_.SendToPlugin(cut);
    PumpMessagesFor(100);
    host_.CloseConnection();
    ASSERT_TRUE(WaitFor([] { return FindPluginWindow() == nullptr; })) << Printable(cut);
    EXPECT_TRUE(Received().empty());
  }
  // The host client may start the plug-in again as if nothing had happened.
  Connect();
  host_.SendToPlugin(S + "054 " + settingsDirectory_ + S + "001 ");
  ASSERT_TRUE(WaitFor([&] { return Received() == InformationLines(); }));
}

TEST_F(FaultInjectionTest, MegabyteAtOnceIsUnderstoodWhileTheWindowAnswers) {
  WriteMenu("[folder0]\r\nCount=2\r\nCapt1=one\r\nCapt2=two\r\n");
  Connect();
  // Host values and settings directories that lead nowhere, then the real ones.
  std::string flood;
  for (int i = 0; flood.size() < 1024 * 1024; ++i)
    flood += S + "05" + std::to_string(i % 5) + " C:\\nowhere\\" + std::to_string(i) + "\\";
  flood += S + "054 " + settingsDirectory_ + S + "001 ";
  const SOCKET socket = host_.Connections().back().socket;
  const DWORD start = GetTickCount();
  ResponsivenessProbe probe(host_.MainWindow());
  std::thread sender([&] {
    for (std::size_t at = 0; at < flood.size();) {
      const int sent = send(socket, flood.data() + at, static_cast<int>(flood.size() - at), 0);
      if (sent > 0) {
        at += sent;
      } else if (WSAGetLastError() == WSAEWOULDBLOCK) {
        Sleep(1);
      } else {
        return;
      }
    }
  });
  const bool answered = WaitFor([&] { return Received() == InformationLines(); }, 30000);
  sender.join();
  std::printf("1 MB understood in %lu ms; longest wait of the window %lu ms\n", GetTickCount() - start,
              probe.LongestWaitMs());
  ASSERT_TRUE(answered) << Printable(Received());
  PumpMessagesFor(300);
  EXPECT_EQ(Received(), InformationLines()) << "one start request, answered once";
  EXPECT_EQ(probe.Unanswered(), 0);
  EXPECT_LT(probe.LongestWaitMs(), 1000u);

  // The menu comes from the last settings directory sent.
  const std::vector<SeenMenu> opened = PressTriggerKey();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].items.size(), 4u);  // two entries, separator, cancel
}

TEST_F(FaultInjectionTest, HostThatNeverReadsCostsBoundedMemory) {
  // An entry whose command fills half a megabyte on the wire each time it is chosen.
  const std::string command(512 * 1024, 'c');
  WriteMenu("[folder0]\r\nCount=1\r\nCapt1=big\r\nCommand1=" + command + "\r\n");
  // A host of our own that accepts and then only sends.
  const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
  ASSERT_EQ(listen(listener, 1), 0);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  const auto port = static_cast<UINT_PTR>(ntohs(address.sin_port));
  ASSERT_EQ(host_.Entry("zanInit")(host_.MainWindow(), nullptr, reinterpret_cast<void*>(port), nullptr), 1);
  const SOCKET host = accept(listener, nullptr, nullptr);
  ASSERT_NE(host, INVALID_SOCKET);
  closesocket(listener);

  // Start requests before the settings directory, so that each reads no file;
  // then the menu with the big entry.
  constexpr int kStarts = 2000;
  constexpr int kChoices = 64;
  const SIZE_T before = PrivateBytes();
  SIZE_T peak = before;
  {
    ResponsivenessProbe probe(host_.MainWindow());
    std::string batch;
    for (int i = 0; i < 100; ++i) batch += S + "001 ";
    for (int sent = 0; sent < kStarts; sent += 100) {
      ASSERT_EQ(send(host, batch.data(), static_cast<int>(batch.size()), 0), static_cast<int>(batch.size()));
      PumpMessagesFor(10);
      peak = std::max(peak, PrivateBytes());
    }
    const std::string settings = S + "054 " + settingsDirectory_ + S + "001 ";
    send(host, settings.data(), static_cast<int>(settings.size()), 0);
    PumpMessagesFor(500);
    // What the popup menu sends each time a user chooses the entry.
    for (int i = 0; i < kChoices; ++i) {
      PostMessageA(FindPluginWindow(), WM_COMMAND, 201, 0);
      PumpMessagesFor(20);
      peak = std::max(peak, PrivateBytes());
    }
    std::printf("Private bytes %lu KB before, %lu KB at most; the window answered within %lu ms\n",
                static_cast<unsigned long>(before / 1024), static_cast<unsigned long>(peak / 1024),
                probe.LongestWaitMs());
    EXPECT_EQ(probe.Unanswered(), 0);
    EXPECT_LT(probe.LongestWaitMs(), 1000u);
  }
  // Unbounded, the commands alone would take 32 MB less what the kernel holds.
  EXPECT_LT(peak - before, SIZE_T(12) << 20);

  // Now the host reads: what waited arrives as whole messages, and what did
  // not fit was dropped.
  u_long nonBlocking = 1;
  ioctlsocket(host, FIONBIO, &nonBlocking);
  std::string received;
  auto drain = [&] {
    char buffer[65536];
    for (int got; (got = recv(host, buffer, sizeof buffer, 0)) > 0;) received.append(buffer, got);
  };
  DWORD quietSince = GetTickCount();
  while (GetTickCount() - quietSince < 1000) {
    const std::size_t size = received.size();
    PumpMessagesFor(20);
    drain();
    if (received.size() != size) quietSince = GetTickCount();
  }
  const std::vector<std::string> lines = Messages(InformationLines());
  const std::string commandMessage = EncodeWireMessage(kCodeCommand, command);
  int answers = 0, commands = 0;
  for (const std::string& message : Messages(received)) {
    if (message == commandMessage) ++commands;
    else if (message == lines[0] || message == lines[1]) ++answers;
    else ADD_FAILURE() << "a broken message: " << Printable(message.substr(0, 80));
  }
  std::printf("%zu bytes arrived: %d information lines of %d, %d commands of %d\n", received.size(), answers,
              2 * kStarts + 2, commands, kChoices);
  EXPECT_EQ(answers, 2 * kStarts + 2);
  EXPECT_LT(commands, kChoices);

  // With the queue drained the link works as before.
  const std::size_t sizeBefore = received.size();
  send(host, (S + "001 ").data(), 5, 0);
  PumpMessagesUntil([&] {
    drain();
    return received.size() >= sizeBefore + InformationLines().size();
  }, kTimeoutMs);
  EXPECT_EQ(received.substr(sizeBefore), InformationLines());
  closesocket(host);
}

// The hostile files a start must survive.
struct HostileFile {
  const char* name;
  std::string text;
};

std::vector<HostileFile> HostileFiles() {
  std::vector<HostileFile> files;
  files.push_back({"2147483647 in every count",
                   "[general]\r\nVirtKey=163\r\nCount=2147483647\r\n"
                   "[folder0]\r\nCount=2147483647\r\nCapt1=first\r\nCommand1=first\r\n"
                   "[folder1]\r\nText=big\r\nParentID=0\r\nCount=2147483647\r\n"});
  files.push_back({"negative and huge parent ids",
                   "[general]\r\nCount=6\r\n"
                   "[folder1]\r\nText=a\r\nParentID=-1\r\n[folder2]\r\nText=b\r\nParentID=2147483647\r\n"
                   "[folder3]\r\nText=c\r\nParentID=-2147483648\r\n[folder4]\r\nText=d\r\nParentID=4\r\n"
                   "[folder5]\r\nText=e\r\nParentID=99999999999999999999\r\nCount=1\r\nCapt1=x\r\n"});
  files.push_back({"a 10 MB value",
                   "[folder0]\r\nCount=1\r\nCapt1=" + std::string(10 << 20, 'W') + "\r\nCommand1=c\r\n"});
  std::mt19937 random(20240517);
  std::string bytes(256 * 1024, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  files.push_back({"random bytes", bytes});
  return files;
}

TEST_F(FaultInjectionTest, HostileMenuFilesGiveABoundedMenuAndNoHang) {
  Connect();
  std::string expected;
  for (const HostileFile& file : HostileFiles()) {
    WriteMenu(file.text);
    const DWORD start = GetTickCount();
    host_.SendToPlugin(S + "054 " + settingsDirectory_ + S + "001 ");
    expected += InformationLines();
    ASSERT_TRUE(WaitFor([&] { return Received() == expected; }, 10000)) << file.name;
    const DWORD started = GetTickCount() - start;
    const std::vector<SeenMenu> opened = PressTriggerKey();
    std::printf("%s: started in %lu ms, the menu opened and closed in %lu ms\n", file.name, started,
                GetTickCount() - start - started);
    ASSERT_EQ(opened.size(), 1u) << file.name;
    EXPECT_LE(opened[0].items.size(), std::size_t(kMaxMenuItems)) << file.name;
  }
}

// Counts the exceptions raised by running code in memory that may not be run.
// This program is linked for data execution prevention, so Wine, like
// Windows, runs nothing from a page that was never made executable.
class ExecutionFaults {
 public:
  ExecutionFaults() : handler_(AddVectoredExceptionHandler(1, Count)) {}
  ~ExecutionFaults() { RemoveVectoredExceptionHandler(handler_); }
  int Seen() const { return count_; }

 private:
  static LONG CALLBACK Count(EXCEPTION_POINTERS* exception) {
    MEMORY_BASIC_INFORMATION memory = {};
    const DWORD runnable = PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    if (VirtualQuery(exception->ExceptionRecord->ExceptionAddress, &memory, sizeof memory) &&
        !(memory.Protect & runnable))
      ++count_;
    return EXCEPTION_CONTINUE_SEARCH;
  }

  static inline std::atomic<int> count_{0};
  PVOID handler_;
};

BOOL WINAPI RefuseToProtect(LPVOID, SIZE_T, DWORD, PDWORD) {
  SetLastError(1655);  // ERROR_DYNAMIC_CODE_BLOCKED, as under Arbitrary Code Guard
  return FALSE;
}

// A host that forbids generated code: the plug-in cannot make the procedure
// that drops its reference after an unload asked inside its menu, and keeps
// the module mapped instead. A copy under another name keeps the module
// mapped for the life of this process only.
TEST_F(FaultInjectionTest, HostForbiddingGeneratedCodeKeepsTheModuleMapped) {
  const std::string copy = settingsDirectory_ + "dravlin_no_code.dll";
  ASSERT_TRUE(CopyFileA(PluginPath().c_str(), copy.c_str(), FALSE));
  host_.UnloadPlugin();
  ASSERT_TRUE(host_.LoadPlugin(copy));
  ASSERT_TRUE(RedirectImport(host_.Plugin(), "VirtualProtect", &RefuseToProtect));
  WriteMenu("[folder0]\r\nCount=1\r\nCapt1=one\r\nCommand1=1\r\n");
  Connect();
  host_.SendToPlugin(S + "054 " + settingsDirectory_ + S + "001 ");
  ASSERT_TRUE(WaitFor([&] { return Received() == InformationLines(); }));
  const ExecutionFaults faults;
  SetForegroundWindow(host_.MainWindow());
  SetFocus(host_.TextField());
  PumpMessagesFor(50);
  MenuWatcher watcher;
  watcher.whileOpen = [&](int tick) {
    if (tick != 1) return;
    host_.CloseConnection();
    host_.UnloadPlugin();
    EndMenu();
  };
  SendKeys({VK_RCONTROL});
  ASSERT_TRUE(WaitFor([&] { return !watcher.opened.empty() && !VisibleMenuWindow(); }));
  PumpMessagesFor(300);
  EXPECT_EQ(faults.Seen(), 0) << "a procedure ran from a page that may not be run";
  EXPECT_NE(GetModuleHandleA("dravlin_no_code.dll"), nullptr);
  EXPECT_TRUE(PluginWindows().empty());
}

std::string Environment(const char* name) {
  char value[MAX_PATH] = "";
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length > 0 && length < sizeof value ? value : "";
}

// fault_child.exe, beside this program, saving the menu or holding its file.
class Child {
 public:
  Child(const std::string& directory, bool hold) {
    const std::string tag = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++count_);
    const std::string readyName = "dravlin-ready-" + tag, lastName = "dravlin-last-" + tag;
    ready_ = CreateEventA(nullptr, TRUE, FALSE, readyName.c_str());
    last_ = CreateEventA(nullptr, TRUE, FALSE, lastName.c_str());
    const std::string program = ProgramDirectory() + "fault_child.exe";
    // Without its last separator, which would escape the closing quote.
    const std::string quoted = "\"" + directory.substr(0, directory.size() - 1) + "\"";
    std::string command =
        "\"" + program + "\" " + (hold ? "hold " : "save ") + quoted + " " + readyName + " " + lastName;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    started_ = CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process_) != FALSE;
  }
  ~Child() {
    LetGo();
    if (started_) {
      if (WaitForSingleObject(process_.hProcess, 30000) != WAIT_OBJECT_0) Terminate();
      CloseHandle(process_.hThread);
      CloseHandle(process_.hProcess);
    }
    CloseHandle(ready_);
    CloseHandle(last_);
  }

  bool WaitUntilReady() { return started_ && WaitForSingleObject(ready_, 30000) == WAIT_OBJECT_0; }
  // Saving: OK is done. Holding: no use.
  bool WaitUntilDone() { return WaitForSingleObject(last_, 30000) == WAIT_OBJECT_0; }
  void Terminate() {
    TerminateProcess(process_.hProcess, 1);
    WaitForSingleObject(process_.hProcess, 30000);
  }
  // Holding: lets go of the file.
  void LetGo() { SetEvent(last_); }

 private:
  static inline int count_ = 0;
  bool started_ = false;
  PROCESS_INFORMATION process_ = {};
  HANDLE ready_ = nullptr;
  HANDLE last_ = nullptr;
};

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// 10,000 entries, 100 to a folder, captions in reverse order, so that the
// dialog's sort gives every value a new place and a save rewrites the file.
std::string LargeMenu() {
  constexpr int kFolders = 100, kPerFolder = 100;
  std::string text = "[general]\r\nCount=" + std::to_string(kFolders) + "\r\n";
  for (int f = 0; f < kFolders; ++f) {
    text += "[folder" + std::to_string(f) + "]\r\nText=folder " + std::to_string(kFolders - f) +
            "\r\nParentID=" + std::to_string(f == 0 ? 0 : (f - 1) / 10) + "\r\nCount=" +
            std::to_string(kPerFolder) + "\r\n";
    for (int k = 1; k <= kPerFolder; ++k) {
      const std::string n = std::to_string(k);
      const std::string caption = "entry " + std::to_string(100000 - f * kPerFolder - k);
      text += "Capt" + n + "=" + caption + "\r\nCommand" + n + "=command for " + caption + "\r\n";
    }
  }
  return text;
}

TEST_F(FaultInjectionTest, SaveEndedAtRandomMomentsLeavesTheOldOrTheNewMenu) {
  const std::string path = settingsDirectory_ + "dravlin.ini";
  const std::string oldMenu = LargeMenu();
  WriteMenu(oldMenu);
  // One save left to finish gives the new menu and how long a save takes.
  DWORD saveMs = 0;
  {
    Child child(settingsDirectory_, false);
    ASSERT_TRUE(child.WaitUntilReady());
    const DWORD start = GetTickCount();
    ASSERT_TRUE(child.WaitUntilDone());
    saveMs = GetTickCount() - start;
  }
  const std::string newMenu = ReadFileBytes(path);
  ASSERT_TRUE(newMenu != oldMenu);
  ASSERT_EQ(ProfileFile(path).Read("folder0", "Capt1", ""), "entry 99900");

  // Half the trials end the save at any moment of it, half just after the
  // new file appears, while it is written and moved over the old one.
  // DRAVLIN_SAVE_TRIALS asks for more.
  const int trials = std::max(std::atoi(Environment("DRAVLIN_SAVE_TRIALS").c_str()), 40);
  const std::string temporary = path + ".new";
  std::mt19937 random(GetTickCount());
  int oldKept = 0, newWritten = 0, whileWriting = 0;
  for (int trial = 0; trial < trials; ++trial) {
    WriteMenu(oldMenu);
    DeleteFileA(temporary.c_str());
    Child child(settingsDirectory_, false);
    ASSERT_TRUE(child.WaitUntilReady());
    if (trial % 2 == 0) {
      Sleep(std::uniform_int_distribution<DWORD>(0, saveMs + saveMs / 4)(random));
    } else {
      const DWORD start = GetTickCount();
      while (GetFileAttributesA(temporary.c_str()) == INVALID_FILE_ATTRIBUTES &&
             GetTickCount() - start < 2 * saveMs) {
      }
      const int spins = std::uniform_int_distribution<int>(0, 200000)(random);
      for (int spin = 0; spin < spins; ++spin) YieldProcessor();
    }
    child.Terminate();
    const std::string bytes = ReadFileBytes(path);
    ASSERT_TRUE(bytes == oldMenu || bytes == newMenu)
        << "trial " << trial << ": " << bytes.size() << " bytes, neither the old nor the new menu";
    ++(bytes == oldMenu ? oldKept : newWritten);
    if (GetFileAttributesA(temporary.c_str()) != INVALID_FILE_ATTRIBUTES) ++whileWriting;
  }
  std::printf("%d saves of %zu bytes ended (a save takes %lu ms): %d left the old menu, %d the new; "
              "%d ended before the new file replaced the old\n",
              trials, newMenu.size(), saveMs, oldKept, newWritten, whileWriting);
}

TEST_F(FaultInjectionTest, SaveWhileAnotherProcessHoldsTheFileKeepsItAndTheDialog) {
  const std::string path = settingsDirectory_ + "dravlin.ini";
  const std::string oldMenu = LargeMenu();
  WriteMenu(oldMenu);
  std::unique_ptr<Child> holder;
  std::string told;
  bool kept = false;
  Steps steps({
      // With the menu loaded, another program opens the file without sharing.
      {[] { return ShownDialog(kConfigTitle) != nullptr; },
       [&] {
         holder = std::make_unique<Child>(settingsDirectory_, true);
         ASSERT_TRUE(holder->WaitUntilReady());
         PostMessageA(GetDlgItem(ShownDialog(kConfigTitle), IDOK), BM_CLICK, 0, 0);
       }},
      {[] { return ShownDialog("Dravlin") != nullptr; },
       [&] {
         char text[512] = "";
         GetDlgItemTextA(ShownDialog("Dravlin"), 0xFFFF, text, sizeof text);
         told = text;
         holder.reset();
         kept = ReadFileBytes(path) == oldMenu;
         PostMessageA(GetDlgItem(ShownDialog("Dravlin"), IDOK), BM_CLICK, 0, 0);
       }},
      // Back in the dialog, which stayed open with the menu: OK again saves.
      {[] { return !FindWindowA("#32770", "Dravlin") && ShownDialog(kConfigTitle); },
       [] { PostMessageA(GetDlgItem(ShownDialog(kConfigTitle), IDOK), BM_CLICK, 0, 0); }},
  });
  EXPECT_EQ(host_.CallConfigure(), 1);
  EXPECT_EQ(steps.Taken(), 3u);
  EXPECT_NE(told.find(path), std::string::npos) << told;
  EXPECT_TRUE(kept) << "the held file is as it was";
  EXPECT_EQ(ProfileFile(path).Read("folder0", "Capt1", ""), "entry 99900");
  EXPECT_EQ(ProfileFile(path).Read("folder99", "Count", ""), "100");
}

TEST_F(FaultInjectionTest, LinkClosedWhileTheConfigurationDialogIsOpenThenOk) {
  const std::string path = settingsDirectory_ + "dravlin.ini";
  WriteMenu("[folder0]\r\nCount=1\r\nCapt1=one\r\nCommand1=1\r\n");
  Connect();
  host_.SendToPlugin(S + "054 " + settingsDirectory_ + S + "001 ");
  ASSERT_TRUE(WaitFor([&] { return Received() == InformationLines(); }));
  DWORD closedAt = 0;
  Steps steps({
      {[] { return ShownDialog(kConfigTitle) != nullptr; },
       [&] {
         host_.CloseConnection();
         closedAt = GetTickCount();
       }},
      // Long after the stop request has come, the user goes on in the dialog.
      {[&] { return GetTickCount() - closedAt > 500 && ShownDialog(kConfigTitle); },
       [] {
         const HWND dialog = ShownDialog(kConfigTitle);
         SendMessageA(GetDlgItem(dialog, IDC_INSERT_KEY), BM_CLICK, 0, 0);
         PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
       }},
  });
  EXPECT_EQ(host_.CallConfigure(), 1);
  EXPECT_EQ(steps.Taken(), 2u);
  EXPECT_EQ(ProfileFile(path).Read("general", "VirtKey", ""), "45");
  EXPECT_EQ(ProfileFile(path).Read("folder0", "Capt1", ""), "one");
  EXPECT_TRUE(WaitFor([] { return PluginWindows().empty(); }));
  EXPECT_TRUE(HeapsAreSound());
}

// The tests in which the host client acts inside a loop of the plug-in, again
// in a child process whose heaps fill freed blocks and check them, so that a
// write into freed memory fails them. Wine, like Windows, takes the heap flags
// from the program's GlobalFlag when it starts.
TEST(DebugHeapTest, HostActingInsideThePluginsLoopsWritesNoFreedMemory) {
  const char kOptions[] =
      "Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\plugin_wine_tests.exe";
  // Tail and free checking and parameter validation.
  const DWORD kGlobalFlag = 0x10 | 0x20 | 0x40;
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kOptions, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const LONG written =
      RegSetValueExA(key, "GlobalFlag", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&kGlobalFlag), sizeof kGlobalFlag);
  RegCloseKey(key);
  EXPECT_EQ(written, ERROR_SUCCESS) << "the child would run without the checking heap";
  if (written == ERROR_SUCCESS)
    EXPECT_TRUE(PassedInChild("OpenMenuTest.*:FaultInjectionTest.LinkClosedWhileTheConfigurationDialog*", 100000));
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kOptions);
}

}  // namespace
}  // namespace dravlin
