// The demo host client: loads dravlin.dll from beside the program, starts it and
// lets a person type in its text field, press the trigger key and configure.
//   host_sim.exe [settings directory] [--log FILE] [--press-trigger]
// --press-trigger types a line and presses right Ctrl once the plug-in has
// answered the start code, then logs "the popup menu is open" when it is, so
// that an unattended run shows the menu open however slowly the machine runs.
#include <string>

#include "tools/host_simulator.h"

namespace {

std::string ProgramDirectory() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string directory = path;
  return directory.substr(0, directory.find_last_of("\\/") + 1);
}

dravlin::HostSimulator* g_host = nullptr;
bool g_triggerPressed = false;

bool PluginHasStarted() {
  for (const auto& connection : g_host->Connections())
    if (connection.received.find("008 ") != std::string::npos) return true;
  return false;
}

void PressTrigger() {
  HWND textField = g_host->TextField();
  SetForegroundWindow(GetAncestor(textField, GA_ROOT));
  SetFocus(textField);
  SetWindowTextA(textField, "Hello from the host client ");
  SendMessageA(textField, EM_SETSEL, 27, 27);
  INPUT press[2] = {};
  press[0].type = press[1].type = INPUT_KEYBOARD;
  press[0].ki.wVk = press[1].ki.wVk = VK_RCONTROL;
  press[0].ki.dwFlags = KEYEVENTF_EXTENDEDKEY;
  press[1].ki.dwFlags = KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP;
  SendInput(2, press, sizeof(INPUT));
}

void CALLBACK ShowTheMenu(HWND, UINT, UINT_PTR timer, DWORD) {
  if (!g_triggerPressed) {
    if (PluginHasStarted()) {
      PressTrigger();
      g_triggerPressed = true;
    }
  } else if (FindWindowA("#32768", nullptr)) {
    KillTimer(nullptr, timer);
    g_host->Log("the popup menu is open");
  }
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
  g_host = &host;
  if (pressTrigger) SetTimer(nullptr, 0, 250, ShowTheMenu);

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    if (!IsWindow(host.MainWindow())) break;
  }
  return 0;
}
