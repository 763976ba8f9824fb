#include "tools/soak/supervisor.h"

#include <cstdio>
#include <string>

namespace dravlin::soak {
namespace {

const char kExecutionOptions[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\";
// Tail and free checking and parameter validation: a write into a freed or
// overrun block fails the next check of the heaps.
constexpr DWORD kCheckingHeapFlags = 0x10 | 0x20 | 0x40;
// The soak prints a line at every step; this long without one, it hangs.
constexpr DWORD kQuietLimitMs = 300 * 1000;

std::string ProgramPath() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

// The program's GlobalFlag, which Windows and Wine read when a process of
// that name starts; removed again when the soak ends.
class CheckingHeapOption {
 public:
  explicit CheckingHeapOption(const std::string& program)
      : key_(kExecutionOptions + program.substr(program.find_last_of("\\/") + 1)) {
    HKEY key = nullptr;
    result_ = RegCreateKeyExA(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (result_ != ERROR_SUCCESS) return;
    result_ = RegSetValueExA(key, "GlobalFlag", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&kCheckingHeapFlags),
                             sizeof kCheckingHeapFlags);
    RegCloseKey(key);
  }
  ~CheckingHeapOption() { RegDeleteKeyA(HKEY_LOCAL_MACHINE, key_.c_str()); }
  CheckingHeapOption(const CheckingHeapOption&) = delete;
  CheckingHeapOption& operator=(const CheckingHeapOption&) = delete;

  // The registry's error code; ERROR_SUCCESS once the option is written.
  LONG Result() const { return result_; }

 private:
  std::string key_;
  LONG result_ = ERROR_SUCCESS;
};

class Handle {
 public:
  explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
  ~Handle() {
    if (handle_) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE Get() const { return handle_; }
  HANDLE* Receive() { return &handle_; }
  void Reset() {
    if (handle_) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_;
};

// Passes the child's output on line by line, keeping the last step it began.
class Relay {
 public:
  void Take(const char* bytes, DWORD size) {
    std::fwrite(bytes, 1, size, stdout);
    std::fflush(stdout);
    pending_.append(bytes, size);
    for (std::size_t end; (end = pending_.find('\n')) != std::string::npos; pending_.erase(0, end + 1)) {
      const std::string line = pending_.substr(0, end);
      if (line.compare(0, 5, "step ") == 0) lastStep_ = line;
      if (line.compare(0, 6, "FAILED") == 0) failed_ = true;
      if (line.compare(0, 6, "soak: ") == 0 && line.find(kNoFaultLine) != std::string::npos) noFault_ = true;
    }
  }
  const std::string& LastStep() const { return lastStep_; }
  bool Failed() const { return failed_; }
  // The soak's own word that it ended without a fault; an exit code of 0
  // alone may come from anything that ended the process.
  bool NoFault() const { return noFault_ && !failed_; }

 private:
  std::string pending_;
  std::string lastStep_ = "the start";
  bool failed_ = false;
  bool noFault_ = false;
};

// Reads what is waiting in the pipe; false when nothing was.
bool RelayWaiting(HANDLE pipe, Relay& relay) {
  DWORD waiting = 0;
  if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr) || waiting == 0) return false;
  char buffer[4096];
  DWORD got = 0;
  if (!ReadFile(pipe, buffer, sizeof buffer < waiting ? sizeof buffer : waiting, &got, nullptr)) return false;
  relay.Take(buffer, got);
  return got > 0;
}

}  // namespace

DWORD GlobalFlagOfThisProcess() {
  using GetFlags = ULONG(WINAPI*)();
  const auto get = reinterpret_cast<GetFlags>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetNtGlobalFlags"));
  return get ? get() : 0;
}

bool HeapsCheckEveryBlock() { return (GlobalFlagOfThisProcess() & kCheckingHeapFlags) == kCheckingHeapFlags; }

int SuperviseSoak(const std::string& childArguments, unsigned seed) {
  const std::string program = ProgramPath();
  const CheckingHeapOption checkingHeap(program);
  if (checkingHeap.Result() != ERROR_SUCCESS) {
    std::printf("FAILED at the start\n  the checking heap could not be asked for: registry error %ld\n",
                checkingHeap.Result());
    return 2;
  }
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  Handle readEnd, writeEnd;
  if (!CreatePipe(readEnd.Receive(), writeEnd.Receive(), &inherited, 0)) return 2;
  SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = startup.hStdError = writeEnd.Get();
  PROCESS_INFORMATION child = {};
  std::string command = "\"" + program + "\" " + childArguments;
  if (!CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child))
    return 2;
  const Handle process(child.hProcess), thread(child.hThread);
  writeEnd.Reset();

  Relay relay;
  DWORD lastOutput = GetTickCount();
  for (;;) {
    if (RelayWaiting(readEnd.Get(), relay)) {
      lastOutput = GetTickCount();
    } else if (WaitForSingleObject(process.Get(), 50) == WAIT_OBJECT_0) {
      while (RelayWaiting(readEnd.Get(), relay)) {
      }
      break;
    } else if (GetTickCount() - lastOutput > kQuietLimitMs) {
      std::printf("FAILED at %s\n  nothing happened for %lu s: the soak hangs\n  seed %u\n", relay.LastStep().c_str(),
                  kQuietLimitMs / 1000, seed);
      TerminateProcess(process.Get(), 1);
      return 1;
    }
  }
  DWORD exitCode = 1;
  GetExitCodeProcess(process.Get(), &exitCode);
  if (exitCode == 0 && relay.NoFault()) return 0;
  if (!relay.Failed())
    std::printf("FAILED at %s\n  the soak process ended with exit code 0x%08lX without saying \"%s\"\n  seed %u\n",
                relay.LastStep().c_str(), exitCode, kNoFaultLine, seed);
  return 1;
}

}  // namespace dravlin::soak
