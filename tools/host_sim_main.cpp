// The demo host client: loads dravlin.dll from beside the program, starts it and
// lets a person type in its text field, press the trigger key and configure.
//   host_sim.exe [settings directory] [--log FILE]
#include <string>

#include "tools/host_simulator.h"

namespace {

std::string ProgramDirectory() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string directory = path;
  return directory.substr(0, directory.find_last_of("\\/") + 1);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  std::string settingsDirectory = ProgramDirectory();
  std::string logFile;
  for (int i = 1; i < __argc; ++i) {
    const std::string argument = __argv[i];
    if (argument == "--log" && i + 1 < __argc) logFile = __argv[++i];
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

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    if (!IsWindow(host.MainWindow())) break;
  }
  return 0;
}
