#include "win/async_socket.h"

namespace dravlin {
namespace {
const char kNotificationClass[] = "DravlinSocketNotification";
}

AsyncSocket::~AsyncSocket() { Close(); }

bool AsyncSocket::Create(long eventMask) {
  WNDCLASSA windowClass = {};
  windowClass.lpszClassName = kNotificationClass;
  if (!Handle()) {
    if (!RegisterWindowClass(windowClass)) return false;
    // A message-only window: it receives the socket's notifications and nothing else.
    if (!CreateSystemWindow(0, kNotificationClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE)) return false;
  }
  socket_.Reset(socket(AF_INET, SOCK_STREAM, 0));
  if (!socket_) return false;
  sockaddr_in local = {};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = 0;
  if (bind(socket_.Get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) return false;
  return WSAAsyncSelect(socket_.Get(), Handle(), kSocketMessage, eventMask) == 0;
}

bool AsyncSocket::Connect(const char* host, unsigned port) {
  sockaddr_in remote = {};
  remote.sin_family = AF_INET;
  remote.sin_port = htons(static_cast<u_short>(port & 0xFFFF));
  remote.sin_addr.s_addr = inet_addr(host);
  if (remote.sin_addr.s_addr == INADDR_NONE) {
    const hostent* entry = gethostbyname(host);
    if (!entry || entry->h_addrtype != AF_INET) return false;
    remote.sin_addr = *reinterpret_cast<const in_addr*>(entry->h_addr_list[0]);
  }
  if (connect(socket_.Get(), reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0) return true;
  return WSAGetLastError() == WSAEWOULDBLOCK;
}

int AsyncSocket::Send(const char* data, int size) { return send(socket_.Get(), data, size, 0); }

int AsyncSocket::Receive(char* buffer, int size) { return recv(socket_.Get(), buffer, size, 0); }

void AsyncSocket::Close() { socket_.Reset(); }

LRESULT AsyncSocket::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kSocketMessage) return DefaultProcessing(message, wParam, lParam);
  OnSocketEvent(static_cast<SOCKET>(wParam), lParam);
  return 0;
}

void AsyncSocket::OnSocketEvent(SOCKET socket, LPARAM event) {
  // Notifications still queued for a socket already closed are stale.
  if (!socket_ || socket != socket_.Get()) return;
  const int error = WSAGETSELECTERROR(event);
  switch (WSAGETSELECTEVENT(event)) {
    case FD_READ: OnReceive(error); break;
    case FD_WRITE: OnSend(error); break;
    case FD_CLOSE: OnClose(error); break;
    default: break;
  }
}

}  // namespace dravlin
