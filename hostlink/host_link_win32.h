// The plug-in's TCP connection to the host client: bytes in go to the protocol,
// start and stop requests go to the plug-in window as posted messages.
#pragma once

#include <string>

#include "hostlink/host_link.h"
#include "win/async_socket.h"

namespace dravlin {

constexpr UINT kStartRequest = WM_USER + 13;
constexpr UINT kStopRequest = WM_USER + 15;

// What a host that never reads may leave waiting in the send queue; a message
// that does not fit is dropped whole, so the stream stays well framed.
constexpr std::size_t kMaxQueuedSendBytes = 1024 * 1024;

class HostLink : public AsyncSocket {
 public:
  explicit HostLink(HWND requestTarget);

  // The stream socket with notifications for read, write, out-of-band, accept,
  // connect and close.
  bool CreateSocket();
  bool Connect(unsigned port);

  void SendInformationLine(const std::string& text) { SendMessageText(kCodeInformation, text); }
  void SendCommandMessage(const std::string& text) { SendMessageText(kCodeCommand, text); }

  std::string SettingsDirectory() const { return protocol_.SettingsDirectory(); }

 private:
  void OnReceive(int error) override;
  void OnSend(int error) override;
  void OnClose(int error) override;

  void SendMessageText(int code, const std::string& text);
  void FlushSendQueue();

  HWND requestTarget_;
  unsigned port_ = 0;
  HostLinkProtocol protocol_;
  std::string sendQueue_;
};

}  // namespace dravlin
