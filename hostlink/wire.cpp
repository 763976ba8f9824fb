#include "hostlink/wire.h"

#include <cstdio>
#include <cstdlib>

namespace dravlin {

std::string EncodeWireMessage(int code, const std::string& text) {
  char head[8];
  std::snprintf(head, sizeof head, "%c%03d ", kWireSeparator, code);
  return head + text;
}

int ParseWireCode(const std::string& message) {
  return std::atoi(message.substr(0, kWireCodeBytes).c_str());
}

WireDecoder::WireDecoder(LeadBytePredicate isLeadByte) : isLeadByte_(std::move(isLeadByte)) {}

void WireDecoder::StartMessage() {
  current_.clear();
  inMessage_ = true;
  textEnded_ = false;
  delivered_ = false;
  changed_ = true;
}

void WireDecoder::Append(char byte) {
  // A zero byte ends the text of its own message only; the messages after it
  // in the same read are still understood.
  if (byte == '\0') textEnded_ = true;
  if (!inMessage_ || textEnded_ || current_.size() >= kMaxWireMessageBytes) return;
  current_.push_back(byte);
  changed_ = true;
}

void WireDecoder::Deliver(const MessageSink& sink) {
  if (!inMessage_ || !changed_) return;
  WireMessage message;
  message.code = ParseWireCode(current_);
  if (current_.size() > 4) message.payload = current_.substr(4);
  message.continued = delivered_;
  delivered_ = true;
  changed_ = false;
  sink(message);
}

void WireDecoder::Feed(const char* data, std::size_t size, const MessageSink& sink) {
  for (std::size_t i = 0; i < size; ++i) {
    const char byte = data[i];
    if (trailByteNext_) {
      trailByteNext_ = false;
      Append(byte);
    } else if (byte == kWireSeparator) {
      Deliver(sink);
      StartMessage();
    } else {
      trailByteNext_ = isLeadByte_ && isLeadByte_(static_cast<unsigned char>(byte));
      Append(byte);
    }
  }
  // A code cut short by the read may still grow into another one ("1" into
  // "101"), and a start request cannot be taken back: wait for its rest.
  if (current_.size() >= kWireCodeBytes || textEnded_) Deliver(sink);
}

}  // namespace dravlin
