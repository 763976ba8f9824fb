// The other process of the save fault tests, so that a save can be ended at
// any moment and a file can be held by a program other than the host client.
//   fault_child save DIRECTORY READY DONE   (DIRECTORY without its last separator)
//     opens the configuration dialog on DIRECTORY's menu, sets the event READY
//     as it presses OK and DONE when OK is done;
//   fault_child hold DIRECTORY READY RELEASE
//     opens DIRECTORY's menu file without sharing, sets READY, and lets go of
//     it when RELEASE is set.
#include <string>

#include "tools/host_simulator.h"

namespace {

const char kConfigTitle[] = "Configure Dravlin";

HANDLE g_ready = nullptr;
HANDLE g_done = nullptr;

std::string ProgramDirectory() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string directory = path;
  return directory.substr(0, directory.find_last_of("\\/") + 1);
}

void CALLBACK PressOkWhenTheDialogShows(HWND, UINT, UINT_PTR timer, DWORD) {
  const HWND dialog = FindWindowA("#32770", kConfigTitle);
  if (!dialog || !IsWindowVisible(dialog)) return;
  KillTimer(nullptr, timer);
  SetEvent(g_ready);
  SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  SetEvent(g_done);
}

int Save(const std::string& directory) {
  dravlin::HostSimulator host(directory, false);
  if (!host.Create(GetModuleHandleA(nullptr), SW_SHOWNORMAL) ||
      !host.LoadPlugin(ProgramDirectory() + "dravlin.dll"))
    return 1;
  SetTimer(nullptr, 0, 10, PressOkWhenTheDialogShows);
  return host.CallConfigure() == 1 ? 0 : 1;
}

int Hold(const std::string& directory, HANDLE release) {
  const HANDLE file = CreateFileA((directory + "dravlin.ini").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  SetEvent(g_ready);
  WaitForSingleObject(release, 60000);
  CloseHandle(file);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  const std::string mode = argv[1], directory = std::string(argv[2]) + "\\";
  g_ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]);
  const HANDLE last = OpenEventA(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, argv[4]);
  if (!g_ready || !last) return 2;
  if (mode == "hold") return Hold(directory, last);
  g_done = last;
  return mode == "save" ? Save(directory) : 2;
}
