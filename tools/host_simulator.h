// A stand-in for the host client: a top-level window with a text field, a log
// of what the plug-in sends and a Configure button, listening on 127.0.0.1 for
// the plug-in's link. The demo runs it for a person; the Wine tests drive it.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace dravlin {

class HostSimulator {
 public:
  using EntryPoint = int(WINAPI*)(void*, void*, void*, void*);

  struct Connection {
    SOCKET socket = INVALID_SOCKET;
    std::string received;  // every byte the plug-in sent on this connection
    bool closedByPlugin = false;
  };

  // settingsDirectory goes out with code 054 before 001 when the plug-in connects,
  // unless sendStartOnConnect is false.
  explicit HostSimulator(std::string settingsDirectory, bool sendStartOnConnect = true);
  ~HostSimulator();

  bool Create(HINSTANCE instance, int showCommand);
  bool LoadPlugin(const std::string& path);
  void UnloadPlugin();

  // Calls zanInit with the main window and the listening port.
  int StartPlugin();
  int CallConfigure();

  HWND MainWindow() const { return mainWindow_; }
  HWND TextField() const { return textField_; }
  unsigned short Port() const { return port_; }
  HMODULE Plugin() const { return plugin_; }
  EntryPoint Entry(const char* name) const;

  const std::vector<Connection>& Connections() const { return connections_; }
  bool HasOpenConnection() const;
  void SendToPlugin(const std::string& bytes);
  void CloseConnection();

  // Appends a line to the on-screen log (and the log file, when one is set).
  void Log(const std::string& line);
  void SetLogFile(const std::string& path) { logFile_ = path; }
  // Takes the log off the screen; the log file still gets every line.
  void HideLog();

 private:
  static LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnCreate();
  void OnSize(int width, int height);
  void OnSocketEvent(SOCKET socket, LPARAM event);
  void OnAccept();
  void OnReceive(Connection& connection);
  bool Listen();
  Connection* FindConnection(SOCKET socket);

  std::string settingsDirectory_;
  bool sendStartOnConnect_;
  HWND mainWindow_ = nullptr;
  HWND textField_ = nullptr;
  HWND logView_ = nullptr;
  HWND configureButton_ = nullptr;
  SOCKET listener_ = INVALID_SOCKET;
  unsigned short port_ = 0;
  HMODULE plugin_ = nullptr;
  std::vector<Connection> connections_;
  std::string logFile_;
  std::string logText_;
};

// Runs the calling thread's message loop until done() holds or the time is up;
// true when done() held.
bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs);

// Runs the message loop for a while.
void PumpMessagesFor(DWORD ms);

// Renders bytes for the log: printable text as it is, others as \xNN.
std::string Printable(const std::string& bytes);

}  // namespace dravlin
