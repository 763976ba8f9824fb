// However the transport cuts a byte stream into reads, the decoder yields the
// same final messages, and the dispatcher the same host values and number of
// start requests, as when the stream arrives in one read.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "hostlink/host_link.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using dravlin::WireDecoder;

struct Message {
  int code;
  std::string payload;
  bool operator==(const Message& o) const { return code == o.code && payload == o.payload; }
};

struct Outcome {
  std::vector<Message> messages;  // the last delivery of each message
  std::array<std::string, 5> hostValues;
  int starts = 0;
};

// Lead bytes of a double-byte code page whose range holds the separator byte.
bool DoubleByteLead(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

WireDecoder::LeadBytePredicate LeadBytes(bool doubleByte) {
  return doubleByte ? WireDecoder::LeadBytePredicate(DoubleByteLead) : WireDecoder::LeadBytePredicate();
}

Outcome Run(const std::string& stream, const std::vector<std::size_t>& cuts, bool doubleByte) {
  Outcome outcome;
  WireDecoder decoder(LeadBytes(doubleByte));
  dravlin::HostLinkProtocol protocol(LeadBytes(doubleByte), [&] { ++outcome.starts; });
  std::size_t from = 0;
  auto feed = [&](std::size_t to) {
    decoder.Feed(stream.data() + from, to - from, [&](const dravlin::WireMessage& m) {
      FUZZ_CHECK(!m.continued || !outcome.messages.empty(), "continued only after a delivery");
      if (m.continued) {
        outcome.messages.back() = {m.code, m.payload};
      } else {
        outcome.messages.push_back({m.code, m.payload});
      }
    });
    protocol.Receive(stream.data() + from, to - from);
    from = to;
  };
  for (std::size_t cut : cuts) feed(cut);
  feed(stream.size());
  for (int code = 50; code <= 54; ++code) outcome.hostValues[code - 50] = protocol.HostValue(code);
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const bool doubleByte = input.ConsumeBool();
  std::vector<std::size_t> offsets(input.ConsumeIntegralInRange<std::size_t>(0, 16));
  for (std::size_t& offset : offsets) offset = input.ConsumeIntegral<std::uint16_t>();
  const std::string stream = input.ConsumeRemainingBytesAsString();

  std::vector<std::size_t> cuts;
  for (std::size_t offset : offsets) cuts.push_back(stream.empty() ? 0 : offset % (stream.size() + 1));
  std::sort(cuts.begin(), cuts.end());

  const Outcome whole = Run(stream, {}, doubleByte);
  const Outcome pieces = Run(stream, cuts, doubleByte);
  FUZZ_CHECK(pieces.messages == whole.messages, "same final messages");
  FUZZ_CHECK(pieces.hostValues == whole.hostValues, "same host values");
  FUZZ_CHECK(pieces.starts == whole.starts, "same number of start requests");
  return 0;
}
