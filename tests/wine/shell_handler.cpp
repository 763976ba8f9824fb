// Stands in for the shell's web browser and mail program: appends the address
// it was asked to open to the file named by DRAVLIN_SHELL_LOG. A windows
// program without windows, so that it takes neither a console nor the focus.
#include <windows.h>

#include <fstream>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char log[MAX_PATH] = "";
  if (!GetEnvironmentVariableA("DRAVLIN_SHELL_LOG", log, MAX_PATH)) return 1;
  std::ofstream(log, std::ios::app) << (__argc > 1 ? __argv[1] : "") << "\n";
  return 0;
}
