#include "tools/host_simulator.h"

#include <cstdio>
#include <fstream>

#include "hostlink/wire.h"

namespace dravlin {
namespace {

constexpr UINT kSocketMessage = WM_APP + 1;
constexpr int kConfigureButtonId = 100;
const char kWindowClass[] = "DravlinHostSimulator";

}  // namespace

std::string Printable(const std::string& bytes) {
  std::string text;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F) {
      text += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      text += hex;
    }
  }
  return text;
}

bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (done()) return true;
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - elapsed > 20 ? 20 : timeoutMs - elapsed,
                              QS_ALLINPUT);
  }
}

void PumpMessagesFor(DWORD ms) {
  PumpMessagesUntil([] { return false; }, ms);
}

HostSimulator::HostSimulator(std::string settingsDirectory, bool sendStartOnConnect)
    : settingsDirectory_(std::move(settingsDirectory)), sendStartOnConnect_(sendStartOnConnect) {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
}

HostSimulator::~HostSimulator() {
  for (Connection& c : connections_)
    if (c.socket != INVALID_SOCKET) closesocket(c.socket);
  if (listener_ != INVALID_SOCKET) closesocket(listener_);
  if (mainWindow_) DestroyWindow(mainWindow_);
  UnloadPlugin();
  WSACleanup();
}

bool HostSimulator::Create(HINSTANCE instance, int showCommand) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProcedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  RegisterClassA(&windowClass);
  mainWindow_ = CreateWindowExA(0, kWindowClass, "Host client simulator", WS_OVERLAPPEDWINDOW,
                                40, 40, 640, 420, nullptr, nullptr, instance, this);
  if (!mainWindow_ || !Listen()) return false;
  ShowWindow(mainWindow_, showCommand);
  UpdateWindow(mainWindow_);
  return true;
}

bool HostSimulator::Listen() {
  listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener_ == INVALID_SOCKET) return false;
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      listen(listener_, 4) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    return false;
  port_ = ntohs(address.sin_port);
  Log("listening on 127.0.0.1:" + std::to_string(port_));
  return WSAAsyncSelect(listener_, mainWindow_, kSocketMessage, FD_ACCEPT) == 0;
}

bool HostSimulator::LoadPlugin(const std::string& path) {
  plugin_ = LoadLibraryA(path.c_str());
  Log(plugin_ ? "loaded " + path : "could not load " + path);
  return plugin_ != nullptr;
}

void HostSimulator::UnloadPlugin() {
  if (plugin_) FreeLibrary(plugin_);
  plugin_ = nullptr;
}

HostSimulator::EntryPoint HostSimulator::Entry(const char* name) const {
  return plugin_ ? reinterpret_cast<EntryPoint>(GetProcAddress(plugin_, name)) : nullptr;
}

int HostSimulator::StartPlugin() {
  EntryPoint init = Entry("zanInit");
  if (!init) return 0;
  return init(mainWindow_, nullptr, reinterpret_cast<void*>(static_cast<UINT_PTR>(port_)), nullptr);
}

int HostSimulator::CallConfigure() {
  EntryPoint configure = Entry("zanConf");
  if (!configure) return 0;
  struct {
    void* unused[2];
    const char* settingsDirectory;
    void* more[5];
  } request = {{nullptr, nullptr}, settingsDirectory_.c_str(), {}};
  return configure(mainWindow_, nullptr, nullptr, &request);
}

bool HostSimulator::HasOpenConnection() const {
  return !connections_.empty() && connections_.back().socket != INVALID_SOCKET;
}

void HostSimulator::SendToPlugin(const std::string& bytes) {
  if (!HasOpenConnection()) return;
  Log("host sends " + Printable(bytes));
  const char* data = bytes.data();
  int left = static_cast<int>(bytes.size());
  while (left > 0) {
    const int sent = send(connections_.back().socket, data, left, 0);
    if (sent > 0) {
      data += sent;
      left -= sent;
    } else if (WSAGetLastError() == WSAEWOULDBLOCK) {
      Sleep(1);
    } else {
      return;
    }
  }
}

void HostSimulator::CloseConnection() {
  if (!HasOpenConnection()) return;
  Log("host closes the connection");
  closesocket(connections_.back().socket);
  connections_.back().socket = INVALID_SOCKET;
}

void HostSimulator::Log(const std::string& line) {
  constexpr std::size_t kLogKept = 32 * 1024;
  logText_ += line + "\r\n";
  if (logText_.size() > kLogKept) logText_.erase(0, logText_.size() - kLogKept);
  if (logView_) {
    SetWindowTextA(logView_, logText_.c_str());
    SendMessageA(logView_, EM_SETSEL, logText_.size(), logText_.size());
    SendMessageA(logView_, EM_SCROLLCARET, 0, 0);
  }
  if (!logFile_.empty()) std::ofstream(logFile_, std::ios::app) << line << "\n";
}

void HostSimulator::HideLog() {
  DestroyWindow(logView_);
  logView_ = nullptr;
}

LRESULT CALLBACK HostSimulator::WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<HostSimulator*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    self->mainWindow_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<HostSimulator*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcA(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    self->mainWindow_ = nullptr;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
  }
  return self->HandleMessage(message, wParam, lParam);
}

LRESULT HostSimulator::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnCreate();
      return 0;
    case WM_SIZE:
      OnSize(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == kConfigureButtonId) Log("zanConf returned " + std::to_string(CallConfigure()));
      return 0;
    case kSocketMessage:
      OnSocketEvent(static_cast<SOCKET>(wParam), lParam);
      return 0;
    default:
      return DefWindowProcA(mainWindow_, message, wParam, lParam);
  }
}

void HostSimulator::OnCreate() {
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(mainWindow_, GWLP_HINSTANCE));
  textField_ = CreateWindowExA(WS_EX_CLIENTEDGE, "Edit", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL,
                               0, 0, 0, 0, mainWindow_, nullptr, instance, nullptr);
  configureButton_ = CreateWindowExA(0, "Button", "Configure...", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON,
                                     0, 0, 0, 0, mainWindow_,
                                     reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kConfigureButtonId)),
                                     instance, nullptr);
  logView_ = CreateWindowExA(WS_EX_CLIENTEDGE, "Edit", "",
                             WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY, 0, 0, 0, 0,
                             mainWindow_, nullptr, instance, nullptr);
  const HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
  for (HWND control : {textField_, configureButton_, logView_})
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

void HostSimulator::OnSize(int width, int height) {
  const int margin = 8, line = 24, button = 110;
  MoveWindow(textField_, margin, margin, width - 3 * margin - button, line, TRUE);
  MoveWindow(configureButton_, width - margin - button, margin, button, line, TRUE);
  MoveWindow(logView_, margin, 2 * margin + line, width - 2 * margin, height - 3 * margin - line, TRUE);
}

HostSimulator::Connection* HostSimulator::FindConnection(SOCKET socket) {
  for (Connection& c : connections_)
    if (c.socket == socket) return &c;
  return nullptr;
}

void HostSimulator::OnSocketEvent(SOCKET socket, LPARAM event) {
  if (socket == listener_) {
    if (WSAGETSELECTEVENT(event) == FD_ACCEPT) OnAccept();
    return;
  }
  Connection* connection = FindConnection(socket);
  if (!connection) return;
  switch (WSAGETSELECTEVENT(event)) {
    case FD_READ:
      OnReceive(*connection);
      break;
    case FD_CLOSE:
      OnReceive(*connection);
      Log("the plug-in closed the connection");
      closesocket(connection->socket);
      connection->socket = INVALID_SOCKET;
      connection->closedByPlugin = true;
      break;
    default:
      break;
  }
}

void HostSimulator::OnAccept() {
  SOCKET accepted = accept(listener_, nullptr, nullptr);
  if (accepted == INVALID_SOCKET) return;
  WSAAsyncSelect(accepted, mainWindow_, kSocketMessage, FD_READ | FD_CLOSE);
  connections_.push_back(Connection{accepted, "", false});
  Log("the plug-in connected");
  if (!sendStartOnConnect_) return;
  SendToPlugin(EncodeWireMessage(54, settingsDirectory_) + EncodeWireMessage(1, ""));
}

void HostSimulator::OnReceive(Connection& connection) {
  char buffer[4096];
  for (;;) {
    const int received = recv(connection.socket, buffer, sizeof buffer, 0);
    if (received <= 0) return;
    const std::string bytes(buffer, received);
    connection.received += bytes;
    Log("plug-in sends " + Printable(bytes));
  }
}

}  // namespace dravlin
