// Decoding speed of the host link framing for a stream of short messages, fed in
// one piece and one byte at a time, at two sizes: equal MB/s at both sizes shows
// the cost grows linearly with the input.
#include <chrono>
#include <cstdio>
#include <string>

#include "hostlink/host_link.h"

namespace {

std::string ShortMessages(std::size_t bytes) {
  std::string stream;
  for (int i = 0; stream.size() < bytes; ++i)
    stream += dravlin::EncodeWireMessage(50 + i % 5, "value " + std::to_string(i));
  return stream;
}

double MegabytesPerSecond(const std::string& stream, std::size_t piece) {
  int starts = 0;
  dravlin::HostLinkProtocol protocol(nullptr, [&] { ++starts; });
  const auto begin = std::chrono::steady_clock::now();
  for (std::size_t at = 0; at < stream.size(); at += piece)
    protocol.Receive(stream.data() + at, std::min(piece, stream.size() - at));
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - begin;
  return stream.size() / 1e6 / seconds.count();
}

}  // namespace

int main() {
  std::printf("%-10s %16s %16s\n", "stream", "one piece MB/s", "1-byte MB/s");
  for (std::size_t size : {std::size_t{1} << 20, std::size_t{4} << 20}) {
    const std::string stream = ShortMessages(size);
    std::printf("%7zu KB %16.1f %16.1f\n", size / 1024, MegabytesPerSecond(stream, stream.size()),
                MegabytesPerSecond(stream, 1));
  }
  return 0;
}
