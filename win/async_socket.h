// A stream socket whose events arrive as notifications through the creating
// thread's message loop (WSAAsyncSelect), delivered to virtual handlers.
#pragma once

#include "win/handles.h"
#include "win/window.h"

namespace dravlin {

class AsyncSocket : private Window {
 public:
  AsyncSocket() = default;
  ~AsyncSocket() override;

  // A TCP socket bound to any local address and port, reporting the events of
  // the mask. False when any step fails.
  bool Create(long eventMask);

  // Starts a non-blocking connection; host is tried as a dotted address, then
  // resolved by name. The call returns before the connection is made.
  bool Connect(const char* host, unsigned port);

  int Send(const char* data, int size);
  int Receive(char* buffer, int size);
  void Close();

 protected:
  // Each handler receives the error half of the notification.
  virtual void OnReceive(int /*error*/) {}
  virtual void OnSend(int /*error*/) {}
  virtual void OnClose(int /*error*/) {}

 private:
  static constexpr UINT kSocketMessage = WM_USER + 1;

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnSocketEvent(SOCKET socket, LPARAM event);

  SocketHandle socket_;
};

}  // namespace dravlin
