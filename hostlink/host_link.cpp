#include "hostlink/host_link.h"

namespace dravlin {

HostLinkProtocol::HostLinkProtocol(WireDecoder::LeadBytePredicate isLeadByte,
                                   std::function<void()> onStartRequest)
    : decoder_(std::move(isLeadByte)), onStartRequest_(std::move(onStartRequest)) {}

void HostLinkProtocol::Receive(const char* data, std::size_t size) {
  decoder_.Feed(data, size, [this](const WireMessage& message) { Dispatch(message); });
}

const std::string& HostLinkProtocol::HostValue(int code) const {
  static const std::string kNone;
  const int slot = code - kFirstHostValueCode;
  if (slot < 0 || slot >= static_cast<int>(hostValues_.size())) return kNone;
  return hostValues_[slot];
}

void HostLinkProtocol::Dispatch(const WireMessage& message) {
  // A message continued by a later read is delivered again whole: its value
  // replaces the partial one, but one 001 asks for one start only.
  if (!message.continued) startRequestedByOpenMessage_ = false;
  if (message.code == kCodeStart) {
    if (!startRequestedByOpenMessage_ && onStartRequest_) onStartRequest_();
    startRequestedByOpenMessage_ = true;
    return;
  }
  const int slot = message.code - kFirstHostValueCode;
  if (slot >= 0 && slot < static_cast<int>(hostValues_.size())) hostValues_[slot] = message.payload;
}

}  // namespace dravlin
