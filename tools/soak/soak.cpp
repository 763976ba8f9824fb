#include "tools/soak/soak.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>

#include "hostlink/host_link.h"
#include "menufile/profile_file.h"
#include "tests/wine/menu_watcher.h"
#include "tests/wine/plugin_probe.h"
#include "tools/soak/supervisor.h"

namespace dravlin::soak {
namespace {

// Emulated 32-bit Wine under a checking heap is slow; a step that takes longer
// than this is stuck.
constexpr DWORD kStepLimitMs = 180 * 1000;
constexpr DWORD kAnswerTimeoutMs = 30 * 1000;

BOOL CALLBACK CollectShownDialog(HWND hwnd, LPARAM titles) {
  char className[16] = "", title[128] = "";
  GetClassNameA(hwnd, className, sizeof className);
  GetWindowTextA(hwnd, title, sizeof title);
  if (std::string(className) == "#32770" && IsWindowVisible(hwnd))
    reinterpret_cast<std::vector<std::string>*>(titles)->push_back(title);
  return TRUE;
}

// Whether the window's thread takes a sent message: asked from another thread
// while this one goes on dispatching.
bool WindowAnswers(HWND window) {
  std::atomic<int> answer{0};
  std::thread probe([&] {
    DWORD_PTR result = 0;
    answer = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result) ? 1 : 2;
  });
  PumpMessagesUntil([&] { return answer != 0; }, 20000);
  probe.join();
  return answer == 1;
}

// The file of the module that holds address, empty when none does.
std::string ModuleAt(const void* address) {
  HMODULE module = nullptr;
  char path[MAX_PATH] = "";
  if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         static_cast<LPCSTR>(address), &module))
    GetModuleFileNameA(module, path, MAX_PATH);
  return path;
}

// Each window with the module its window procedure lies in, which tells a
// window of an unloaded module from one of the loaded copy.
std::string DescribeWindows(const std::vector<HWND>& windows) {
  std::string text = std::to_string(windows.size());
  for (const HWND window : windows) {
    const std::string module = ModuleAt(reinterpret_cast<const void*>(GetWindowLongPtrA(window, GWLP_WNDPROC)));
    char handle[32];
    std::snprintf(handle, sizeof handle, "%p", static_cast<void*>(window));
    text += std::string("; ") + handle + " run by " + (module.empty() ? "no module" : module);
  }
  return text;
}

void RegisterShellHandler() {
  const std::string command = "\"" + ProgramDirectory() + "shell_handler.exe\" \"%1\"";
  for (const char* scheme : {"http\\shell\\open\\command", "mailto\\shell\\open\\command"})
    RegSetValueA(HKEY_CLASSES_ROOT, scheme, REG_SZ, command.c_str(), static_cast<DWORD>(command.size()));
}

int ProfileNumber(const std::string& path, const std::string& section, const std::string& key, int fallback) {
  return static_cast<int>(GetPrivateProfileIntA(section.c_str(), key.c_str(), fallback, path.c_str()));
}

std::string ProfileText(const std::string& path, const std::string& section, const std::string& key) {
  std::vector<char> value(64 * 1024);
  GetPrivateProfileStringA(section.c_str(), key.c_str(), "", value.data(), static_cast<DWORD>(value.size()),
                           path.c_str());
  return value.data();
}

EntryAction ExpectedAction(int kind, const std::string& command) {
  switch (kind) {
    case kNormalCommandKind: return {EntryAction::Type::SendCommand, command};
    case kWebSiteKind: return {EntryAction::Type::OpenWithShell, command};
    case kEmailAddressKind:
      return {EntryAction::Type::OpenWithShell,
              _strnicmp(command.c_str(), "mailto:", 7) == 0 ? command : "mailto:" + command};
    default: return {};
  }
}

}  // namespace

ExpectedMenu ReadExpectedMenu(const std::string& path) {
  const auto item = [](ExpectedItem::Type type, std::string caption, int kind) {
    ExpectedItem made;
    made.type = type;
    made.caption = std::move(caption);
    made.kind = kind;
    return made;
  };
  ExpectedMenu menu;
  menu.triggerKey = ProfileNumber(path, "general", "VirtKey", kDefaultTriggerKey);
  const int count = std::max(1, ProfileNumber(path, "general", "count", 1));
  menu.folders.resize(static_cast<std::size_t>(count));
  for (int i = 1; i < count; ++i) {
    const std::string section = "folder" + std::to_string(i);
    const int parent = ProfileNumber(path, section, "parentID", 0);
    ExpectedItem folder = item(ExpectedItem::Type::Folder, ProfileText(path, section, "Text"), kFolderKind);
    folder.folder = static_cast<std::size_t>(i);
    menu.folders[parent > 0 && parent < i ? static_cast<std::size_t>(parent) : 0].push_back(folder);
  }
  for (int i = 0; i < count; ++i) {
    const std::string section = "folder" + std::to_string(i);
    for (int k = 1, entries = ProfileNumber(path, section, "count", 0); k <= entries; ++k) {
      const std::string number = std::to_string(k);
      ExpectedItem entry = item(ExpectedItem::Type::Entry, ProfileText(path, section, "capt" + number),
                                ProfileNumber(path, section, "type" + number, kNormalCommandKind));
      entry.action = ExpectedAction(entry.kind, ProfileText(path, section, "command" + number));
      menu.folders[static_cast<std::size_t>(i)].push_back(entry);
    }
  }
  std::vector<ExpectedItem>& root = menu.folders.front();
  std::size_t entries = 0;
  for (const std::vector<ExpectedItem>& folder : menu.folders)
    entries += static_cast<std::size_t>(std::count_if(folder.begin(), folder.end(), [](const ExpectedItem& shown) {
      return shown.type == ExpectedItem::Type::Entry;
    }));
  // A menu of many entries opens with its finder's item.
  if (entries > 40)
    root.insert(root.begin(), {item(ExpectedItem::Type::Find, "Find...\tCtrl+F", 0),
                               item(ExpectedItem::Type::Separator, "", 0)});
  root.push_back(item(ExpectedItem::Type::Separator, "", 0));
  root.push_back(item(ExpectedItem::Type::Cancel, kCancelCaption, kCancelKind));
  return menu;
}

std::string ReadFileBytes(const std::string& path, bool& exists) {
  exists = GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> ShownDialogTitles() {
  std::vector<std::string> titles;
  EnumThreadWindows(GetCurrentThreadId(), CollectShownDialog, reinterpret_cast<LPARAM>(&titles));
  return titles;
}

std::string DescribeScreen() {
  std::string text = VisibleMenuWindow() ? "a popup menu is open" : "no popup menu is open";
  for (const std::string& title : ShownDialogTitles()) text += "; dialog \"" + title + "\" is open";
  return text;
}

std::string PluginCopy::Received() const {
  return host->Connections().empty() ? std::string() : host->Connections().back().received;
}

int RunSoak(const SoakOptions& options) { return Soak(options).Run(); }

const std::vector<Soak::StepKind>& Soak::Kinds() {
  static const std::vector<StepKind> kinds = {
      {"link: opening 054/001", 6, &Soak::IsRunning, &Soak::SendOpening},
      {"link: hostile bytes", 6, &Soak::IsRunning, &Soak::SendHostileBytes},
      {"link: 1 MB flood", 1, &Soak::IsRunning, &Soak::SendFlood},
      {"host: closes the link", 3, &Soak::IsRunning, &Soak::CloseLink},
      {"host: zanInit after a stop", 4, &Soak::IsStopped, &Soak::Restart},
      {"host: zanInit while running", 3, &Soak::IsRunning, &Soak::InitWhileRunning},
      {"host: FreeLibrary, LoadLibrary", 2, &Soak::Always, &Soak::UnloadAndLoad},
      {"host: second copy loaded", 2, &Soak::IsFirstAlone, &Soak::LoadSecondCopy},
      {"host: second copy unloaded", 1, &Soak::IsSecond, &Soak::UnloadSecondCopy},
      {"menu: Escape", 4, &Soak::HasTrigger, &Soak::EscapeFromMenu},
      {"menu: choice", 8, &Soak::HasTrigger, &Soak::ChooseFromMenu},
      {"in menu: zanInit", 2, &Soak::HasTrigger, &Soak::InitInMenu},
      {"in menu: zanConf", 2, &Soak::HasTrigger, &Soak::ConfigureInMenu},
      {"in menu: FreeLibrary", 2, &Soak::HasTrigger, &Soak::UnloadInMenu},
      {"in menu: link closed", 2, &Soak::HasTrigger, &Soak::CloseLinkInMenu},
      {"in menu: new file, 001", 2, &Soak::HasTrigger, &Soak::NewFileInMenu},
      {"in menu: other copy stopped", 2, &Soak::HasTriggerAndOtherRunning, &Soak::StopOtherInMenu},
      {"in menu: other copy restarted", 2, &Soak::HasTriggerAndOther, &Soak::RestartOtherInMenu},
      {"finder: choice", 4, &Soak::HasTrigger, &Soak::ChooseInFinder},
      {"in finder: zanInit", 1, &Soak::HasTrigger, &Soak::InitInFinder},
      {"in finder: FreeLibrary", 1, &Soak::HasTrigger, &Soak::UnloadInFinder},
      {"in finder: link closed", 1, &Soak::HasTrigger, &Soak::CloseLinkInFinder},
      {"in finder: new file, 001", 1, &Soak::HasTrigger, &Soak::NewFileInFinder},
      {"dialog: edits, OK", 5, &Soak::Always, &Soak::EditAndOk},
      {"dialog: edits, Cancel", 3, &Soak::Always, &Soak::EditAndCancel},
      {"in dialog: zanInit", 1, &Soak::Always, &Soak::InitInDialog},
      {"in dialog: zanConf", 2, &Soak::Always, &Soak::ConfigureInDialog},
      {"in dialog: FreeLibrary", 1, &Soak::Always, &Soak::UnloadInDialog},
      {"in dialog: link closed", 1, &Soak::IsRunning, &Soak::CloseLinkInDialog},
      {"in dialog: 001", 1, &Soak::IsRunning, &Soak::StartRequestInDialog},
      {"in dialog: trigger key", 1, &Soak::Always, &Soak::TriggerInDialog},
      {"file: rewritten", 3, &Soak::Always, &Soak::RewriteMenuFile},
      {"file: replaced", 2, &Soak::Always, &Soak::ReplaceMenuFile},
      {"file: deleted", 1, &Soak::Always, &Soak::DeleteMenuFile},
      {"file: held open", 3, &Soak::Always, &Soak::HoldMenuFile},
  };
  return kinds;
}

Soak::Soak(const SoakOptions& options)
    : options_(options), random_(options.seed), workDirectory_(MakeTempDirectory()) {
  current_ = this;
  hostThread_ = GetCurrentThreadId();
  AddVectoredExceptionHandler(1, OnFirstChanceFault);
  SetUnhandledExceptionFilter(OnCrash);
  scratchPath_ = workDirectory_ + "shape.ini";
  shellLogPath_ = workDirectory_ + "shell.log";
  SetEnvironmentVariableA("DRAVLIN_SHELL_LOG", shellLogPath_.c_str());
  RegisterShellHandler();
  auto first = std::make_unique<PluginCopy>();
  first->modulePath = PluginPath();
  first->settingsDirectory = workDirectory_ + "first\\";
  CreateDirectoryA(first->settingsDirectory.c_str(), nullptr);
  first->host = std::make_unique<HostSimulator>(first->settingsDirectory, false);
  if (!first->host->Create(GetModuleHandleA(nullptr), SW_SHOWNORMAL)) Fail("the host window could not be made");
  WriteMenuFile(*first, RandomMenuFile(random_));
  copies_.push_back(std::move(first));
  LoadAndStart(*copies_.front());
}

int Soak::Run() {
  std::printf("soak: seed %u for %lu s\n", options_.seed, options_.durationMs / 1000);
  stepLine_ = "the start";
  CheckAfterStep();
  const DWORD start = GetTickCount();
  const UINT_PTR deadline = SetTimer(nullptr, 0, 1000, OnDeadlineTimer);
  while (GetTickCount() - start < options_.durationMs) {
    ++step_;
    stepStart_ = GetTickCount();
    const auto [kind, copy] = DrawStep();
    kindName_ = kind->name;
    (this->*kind->take)(*copy);
    CheckAfterStep();
    ++taken_[kind->name];
  }
  KillTimer(nullptr, deadline);
  std::printf("soak: %d steps in %lu s, seed %u: %s\n", step_, (GetTickCount() - start) / 1000, options_.seed,
              kNoFaultLine);
  for (const StepKind& kind : Kinds()) std::printf("%6d  %s\n", taken_[kind.name], kind.name);
  std::fflush(stdout);
  return 0;
}

int Soak::Draw(int range) { return std::uniform_int_distribution<int>(0, range - 1)(random_); }

std::pair<const Soak::StepKind*, PluginCopy*> Soak::DrawStep() {
  int total = 0;
  for (const StepKind& kind : Kinds()) total += kind.weight;
  for (;;) {
    int at = Draw(total);
    const StepKind* kind = &Kinds().front();
    while (at >= kind->weight) at -= (kind++)->weight;
    std::vector<PluginCopy*> targets;
    for (const auto& copy : copies_)
      if ((this->*kind->applies)(*copy)) targets.push_back(copy.get());
    if (!targets.empty()) return {kind, targets[static_cast<std::size_t>(Draw(static_cast<int>(targets.size())))]};
  }
}

void Soak::Announce(PluginCopy& copy, const std::string& details) {
  stepLine_ = "step " + std::to_string(step_) + " (copy " + std::to_string(copy.number) + ") " + kindName_ +
              (details.empty() ? "" : ": " + details);
  std::printf("%s\n", stepLine_.c_str());
  std::fflush(stdout);
}

void Soak::Fail(const std::string& what) {
  std::printf("FAILED at %s\n  %s\n  seed %u\n", stepLine_.c_str(), what.c_str(), options_.seed);
  std::fflush(stdout);
  // Whatever state the plug-in left behind, nothing more of it may run.
  TerminateProcess(GetCurrentProcess(), 1);
  for (;;) Sleep(INFINITE);
}

void CALLBACK Soak::OnDeadlineTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (current_ && GetTickCount() - current_->stepStart_ > kStepLimitMs)
    current_->Fail("the step did not end within " + std::to_string(kStepLimitMs / 1000) + " s; " + DescribeScreen());
}

// A fault of code is reported when it happens: Wine lets a timer callback,
// where the user's steps run, swallow it, and its debugger would wait on a
// dialog nobody sees. Faults in other modules are left to their handlers, as
// the system probes memory under handlers of its own.
LONG WINAPI Soak::OnFirstChanceFault(EXCEPTION_POINTERS* exception) {
  const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
  const DWORD code = record.ExceptionCode;
  const bool codeFault = code == EXCEPTION_ACCESS_VIOLATION || code == EXCEPTION_ILLEGAL_INSTRUCTION ||
                         code == EXCEPTION_PRIV_INSTRUCTION || code == EXCEPTION_STACK_OVERFLOW;
  const std::string module = ModuleAt(record.ExceptionAddress);
  const std::string name = module.substr(module.find_last_of("\\/") + 1);
  if (!codeFault || (!module.empty() && name.compare(0, 7, "dravlin") != 0)) return EXCEPTION_CONTINUE_SEARCH;
  return OnCrash(exception);
}

LONG WINAPI Soak::OnCrash(EXCEPTION_POINTERS* exception) {
  const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
  const std::string module = ModuleAt(record.ExceptionAddress);
  char text[MAX_PATH + 100];
  std::snprintf(text, sizeof text, "the process crashed: exception 0x%08lX at %p (%s) on %s",
                static_cast<unsigned long>(record.ExceptionCode), record.ExceptionAddress,
                module.empty() ? "in no module" : module.c_str(),
                GetCurrentThreadId() == current_->hostThread_ ? "the host's thread" : "another thread");
  current_->Fail(text);
}

void Soak::CheckAfterStep() {
  if (!HeapsAreSound()) Fail("a heap of the process is damaged");
  if (VisibleMenuWindow() || !ShownDialogTitles().empty()) Fail("left open: " + DescribeScreen());
  for (const auto& copy : copies_) {
    CheckMenuFile(*copy);
    if (copy->running) {
      CheckAnswers(*copy);
    } else {
      CheckStopped(*copy);
    }
  }
}

void Soak::CheckMenuFile(const PluginCopy& copy) {
  const std::string name = "copy " + std::to_string(copy.number) + "'s menu file";
  if (GetFileAttributesA((copy.MenuPath() + ".new").c_str()) != INVALID_FILE_ATTRIBUTES)
    Fail(name + ": a save left its new file behind");
  bool exists = false;
  const std::string bytes = ReadFileBytes(copy.MenuPath(), exists);
  if (exists == copy.menuFileExists && bytes == copy.menuFile) return;
  const std::string expected = copy.menuFileExists ? std::to_string(copy.menuFile.size()) + " bytes" : "no file";
  Fail(name + (exists ? " holds " + std::to_string(bytes.size()) + " bytes" : " is gone") + " where " + expected +
       " were expected; what differs:\n" +
       DescribeDifference(ShapeOfMenuFile(copy.menuFile, scratchPath_), ShapeOfMenuFile(bytes, scratchPath_)));
}

void Soak::CheckAnswers(PluginCopy& copy) {
  const std::string name = "copy " + std::to_string(copy.number);
  WaitForQuietLink(copy);
  if (!copy.host->HasOpenConnection()) Fail(name + ": the plug-in closed its link");
  if (!WaitFor([&] { return PluginWindowsOf(copy).size() == 1; }, 10000))
    Fail(name + ": plug-in windows where one runs: " + DescribeWindows(PluginWindowsOf(copy)));
  const std::string before = copy.Received();
  SendBytes(copy, EncodeWireMessage(kSettingsDirectoryCode, copy.settingsDirectory) + EncodeWireMessage(kCodeStart, ""));
  const std::string expected = before + InformationLines();
  if (!WaitFor([&] { return copy.Received().size() >= expected.size(); }, kAnswerTimeoutMs) ||
      (PumpMessagesFor(200), copy.Received() != expected))
    Fail(name + ": a fresh start request was answered with \"" + Printable(copy.Received().substr(before.size())) +
         "\"");
  if (!WindowAnswers(PluginWindowsOf(copy).front())) Fail(name + ": the plug-in window does not answer WM_NULL");
}

void Soak::CheckStopped(PluginCopy& copy) {
  if (!WaitFor([&] { return PluginWindowsOf(copy).empty(); }, 10000))
    Fail("copy " + std::to_string(copy.number) + ": the plug-in window outlived its stop");
}

bool Soak::WaitFor(const std::function<bool()>& done, DWORD timeoutMs) { return PumpMessagesUntil(done, timeoutMs); }

void Soak::ExpectConnectedAgain(const PluginCopy& copy, std::size_t before, const std::string& who) {
  if (!WaitFor([&] { return copy.host->Connections().size() > before; }, 15000))
    Fail(who + " did not connect after zanInit");
}

void Soak::WaitForQuietLink(const PluginCopy& copy) {
  std::size_t size = copy.Received().size();
  DWORD quietSince = GetTickCount();
  const DWORD start = quietSince;
  while (GetTickCount() - quietSince < 300 && GetTickCount() - start < 10000) {
    PumpMessagesFor(20);
    if (copy.Received().size() == size) continue;
    size = copy.Received().size();
    quietSince = GetTickCount();
  }
}

// The plug-in reads on this thread, so a send that would block waits while
// this thread dispatches.
void Soak::SendBytes(PluginCopy& copy, const std::string& bytes) {
  const DWORD start = GetTickCount();
  for (std::size_t at = 0; at < bytes.size() && copy.host->HasOpenConnection();) {
    const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size() - at, 64 * 1024));
    const int sent = send(copy.host->Connections().back().socket, bytes.data() + at, chunk, 0);
    if (sent > 0) {
      at += static_cast<std::size_t>(sent);
    } else if (WSAGetLastError() == WSAEWOULDBLOCK) {
      PumpMessagesFor(5);
    } else {
      return;
    }
    if (GetTickCount() - start > 60000) Fail("the plug-in stopped reading its link");
  }
}

void Soak::SendInPieces(PluginCopy& copy, const std::vector<std::string>& pieces) {
  for (const std::string& piece : pieces) {
    SendBytes(copy, piece);
    PumpMessagesFor(static_cast<DWORD>(Draw(60)));
  }
}

void Soak::StartCopy(PluginCopy& copy) {
  const std::string name = "copy " + std::to_string(copy.number);
  const std::size_t connections = copy.host->Connections().size();
  if (copy.host->StartPlugin() != 1) Fail(name + ": zanInit did not return 1");
  ExpectConnectedAgain(copy, connections, name + ": the plug-in");
  copy.running = true;
}

void Soak::LoadAndStart(PluginCopy& copy) {
  if (!copy.host->LoadPlugin(copy.modulePath)) Fail("LoadLibrary failed for " + copy.modulePath);
  StartCopy(copy);
}

std::vector<HWND> Soak::PluginWindowsOf(const PluginCopy& copy) const {
  std::vector<HWND> windows;
  for (const HWND window : PluginWindows()) {
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    if (GetWindow(window, GW_OWNER) == copy.host->MainWindow() && std::string(className) != "#32770")
      windows.push_back(window);
  }
  return windows;
}

PluginCopy* Soak::OtherCopy(const PluginCopy& copy) {
  for (const auto& other : copies_)
    if (other.get() != &copy) return other.get();
  return nullptr;
}

ExpectedMenu Soak::RunningMenu(const PluginCopy& copy) const { return ReadExpectedMenu(copy.MenuPath()); }

MenuShape Soak::ShapeOf(const PluginCopy& copy) const { return ShapeOfMenuFile(copy.menuFile, scratchPath_); }

void Soak::WriteMenuFile(PluginCopy& copy, const std::string& bytes) {
  std::ofstream(copy.MenuPath(), std::ios::binary | std::ios::trunc) << bytes;
  copy.menuFile = bytes;
  copy.menuFileExists = true;
}

std::string Soak::ShellLog() const {
  // Written as text, with CR LF line ends.
  std::ifstream in(shellLogPath_);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Soak::FocusTextField(const PluginCopy& copy) {
  SetForegroundWindow(copy.host->MainWindow());
  SetFocus(copy.host->TextField());
  PumpMessagesFor(50);
}

bool Soak::HasTrigger(const PluginCopy& copy) const {
  const int key = RunningMenu(copy).triggerKey;
  return copy.running && (key == VK_RCONTROL || key == VK_RSHIFT || key == VK_INSERT);
}

bool Soak::HasTriggerAndOther(const PluginCopy& copy) const { return HasTrigger(copy) && copies_.size() == 2; }

bool Soak::HasTriggerAndOtherRunning(const PluginCopy& copy) const {
  return HasTriggerAndOther(copy) && copies_[copy.number == 1 ? 1 : 0]->running;
}

bool Soak::IsFirstAlone(const PluginCopy& copy) const { return copy.number == 1 && copies_.size() == 1; }

}  // namespace dravlin::soak
