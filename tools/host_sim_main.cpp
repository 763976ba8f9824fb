// The demo host client: loads dravlin.dll from beside the program, starts it and
// lets a person type in its text field, press the trigger key and configure.
//   host_sim.exe [settings directory] [--log FILE] [--press-trigger]
// --press-trigger types a line and presses right Ctrl a moment after start, so
// that an unattended run shows the menu open.
#include <string>

#include "tools/host_simulator.h"

namespace {

std::string ProgramDirectory() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string directory = path;
  return directory.substr(0, directory.find_last_of("\\/") + 1);
}

HWND g_textField = nullptr;

void CALLBACK PressTrigger(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  SetForegroundWindow(GetAncestor(g_textField, GA_ROOT));
  SetFocus(g_textField);
  SetWindowTextA(g_textField, "Hello from the host client ");
  SendMessageA(g_textField, EM_SETSEL, 27, 27);
  INPUT press[2] = {};
  press[0].type = press[1].type = INPUT_KEYBOARD;
  press[0].ki.wVk = press[1].ki.wVk = VK_RCONTROL;
  press[0].ki.dwFlags = KEYEVENTF_EXTENDEDKEY;
  press[1].ki.dwFlags = KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP;
  SendInput(2, press, sizeof(INPUT));
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  std::string settingsDirectory = ProgramDirectory();
  std::string logFile;
  bool pressTrigger = false;
  for (int i = 1; i < __argc; ++i) {
    const std::string argument = __argv[i];
    if (argument == "--log" && i + 1 < __argc) logFile = __argv[++i];
    else if (argument == "--press-trigger") pressTrigger = true;
    else settingsDirectory = argument;
  }
  if (!settingsDirectory.empty() && settingsDirectory.back() != '\\') settingsDirectory += '\\';

  dravlin::HostSimulator host(settingsDirectory);
  host.SetLogFile(logFile);
  if (!host.Create(instance, showCommand)) return 1;
  host.Log("settings directory " + settingsDirectory);
  if (!host.LoadPlugin(ProgramDirectory() + "dravlin.dll")) return 1;
  host.Log("zanInit returned " + std::to_string(host.StartPlugin()));
  SetFocus(host.TextField());
  g_textField = host.TextField();
  if (pressTrigger) SetTimer(nullptr, 0, 2000, PressTrigger);

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    if (!IsWindow(host.MainWindow())) break;
  }
  return 0;
}
