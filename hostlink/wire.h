// Framing of the host link: messages are the separator byte 0x8C, a three-digit
// code, a space and an 8-bit payload; nothing marks where a message ends.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace dravlin {

constexpr char kWireSeparator = '\x8C';
constexpr std::size_t kWireCodeBytes = 3;

// The longest message kept; bytes beyond it, up to the next separator, are dropped
// so that a host that never sends a separator cannot exhaust memory.
constexpr std::size_t kMaxWireMessageBytes = 64 * 1024;

struct WireMessage {
  int code = 0;
  std::string payload;
  // True when this is the message last delivered, now longer because the next
  // read continued it.
  bool continued = false;
};

// Builds one outgoing message: separator, the three-digit code, a space, the text.
std::string EncodeWireMessage(int code, const std::string& text);

// Splits a received byte stream into messages. The stream may be cut anywhere:
// the message still open at the end of a read is delivered at once (the host
// waits for answers without sending more) once its code is whole, and
// delivered again, whole, when the next read continues it.
class WireDecoder {
 public:
  using LeadBytePredicate = std::function<bool(unsigned char)>;
  using MessageSink = std::function<void(const WireMessage&)>;

  // isLeadByte tells the lead bytes of double-byte characters in the code page
  // of the payloads; a separator byte that is such a character's trail byte
  // does not split.
  explicit WireDecoder(LeadBytePredicate isLeadByte);

  void Feed(const char* data, std::size_t size, const MessageSink& sink);

 private:
  void StartMessage();
  void Append(char byte);
  void Deliver(const MessageSink& sink);

  LeadBytePredicate isLeadByte_;
  std::string current_;        // bytes of the open message after its separator
  bool inMessage_ = false;     // a separator has been seen
  bool textEnded_ = false;     // a zero byte ended the open message's text
  bool delivered_ = false;     // the open message went out at the end of a read
  bool changed_ = false;       // the open message grew since it went out
  bool trailByteNext_ = false;
};

// Reads the code the way atoi reads the message's first three bytes.
int ParseWireCode(const std::string& message);

}  // namespace dravlin
