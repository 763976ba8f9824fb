#include "hostlink/host_link_win32.h"

namespace dravlin {
namespace {

// One notification reads at most this much, so that a host flooding the link
// cannot hold the host client's thread; the rest raises another notification.
constexpr int kMaxBytesPerNotification = 64 * 1024;
constexpr int kReceiveChunk = 4096;

bool IsAnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

}  // namespace

HostLink::HostLink(HWND requestTarget)
    : requestTarget_(requestTarget), protocol_(IsAnsiLeadByte, [this] {
        if (requestTarget_) PostMessageA(requestTarget_, kStartRequest, 0, 0);
      }) {}

bool HostLink::CreateSocket() {
  return Create(FD_READ | FD_WRITE | FD_OOB | FD_ACCEPT | FD_CONNECT | FD_CLOSE);
}

bool HostLink::Connect(unsigned port) {
  port_ = port;
  return AsyncSocket::Connect("localhost", port);
}

void HostLink::OnReceive(int error) {
  if (error) return;
  char buffer[kReceiveChunk];
  for (int total = 0; total < kMaxBytesPerNotification;) {
    const int received = Receive(buffer, sizeof buffer);
    if (received <= 0) return;
    protocol_.Receive(buffer, static_cast<std::size_t>(received));
    total += received;
  }
}

void HostLink::OnSend(int error) {
  if (!error) FlushSendQueue();
}

void HostLink::OnClose(int /*error*/) {
  if (requestTarget_) PostMessageA(requestTarget_, kStopRequest, 0, 0);
}

void HostLink::SendMessageText(int code, const std::string& text) {
  const std::string message = EncodeWireMessage(code, text);
  if (sendQueue_.size() + message.size() > kMaxQueuedSendBytes) return;
  sendQueue_ += message;
  FlushSendQueue();
}

void HostLink::FlushSendQueue() {
  while (!sendQueue_.empty()) {
    const int sent = Send(sendQueue_.data(), static_cast<int>(sendQueue_.size()));
    if (sent <= 0) {
      // Would-block waits for the write notification; any other failure (not
      // connected, connection lost) loses what was queued, as a dead link must.
      if (sent < 0 && WSAGetLastError() == WSAEWOULDBLOCK) return;
      sendQueue_.clear();
      return;
    }
    sendQueue_.erase(0, static_cast<std::size_t>(sent));
  }
}

}  // namespace dravlin
