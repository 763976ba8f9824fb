#include "hostlink/wire.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dravlin {
namespace {

struct Seen {
  int code;
  std::string payload;
  bool continued;
  bool operator==(const Seen& o) const {
    return code == o.code && payload == o.payload && continued == o.continued;
  }
};

std::ostream& operator<<(std::ostream& os, const Seen& s) {
  return os << "{" << s.code << ", \"" << s.payload << "\", " << s.continued << "}";
}

const std::string S(1, kWireSeparator);

std::vector<Seen> Decode(const std::vector<std::string>& reads,
                         WireDecoder::LeadBytePredicate lead = nullptr) {
  WireDecoder decoder(std::move(lead));
  std::vector<Seen> seen;
  for (const auto& r : reads)
    decoder.Feed(r.data(), r.size(), [&](const WireMessage& m) {
      seen.push_back({m.code, m.payload, m.continued});
    });
  return seen;
}

TEST(WireEncode, SeparatorCodeSpaceText) {
  EXPECT_EQ(EncodeWireMessage(8, "Dravlin plug-in 1.2"), S + "008 Dravlin plug-in 1.2");
  EXPECT_EQ(EncodeWireMessage(5, ""), S + "005 ");
  // Nothing is escaped: a separator inside a command goes out as it is.
  EXPECT_EQ(EncodeWireMessage(5, "a" + S + "b"), S + "005 a" + S + "b");
}

TEST(WireDecode, SingleReadCases) {
  struct Case {
    const char* name;
    std::string read;
    std::vector<Seen> expected;
  };
  const std::vector<Case> cases = {
      {"example of settings then start", S + "054 D:\\cfg\\" + S + "001 ",
       {{54, "D:\\cfg\\", false}, {1, "", false}}},
      {"start before settings", S + "001 " + S + "054 D:\\cfg\\",
       {{1, "", false}, {54, "D:\\cfg\\", false}}},
      {"no space after the code", S + "001", {{1, "", false}}},
      {"code and space only", S + "054 ", {{54, "", false}}},
      {"short message ended by the next one", S + "05" + S + "1", {{5, "", false}}},
      {"trailing separator opens a message that waits for its code", S + "050 x" + S,
       {{50, "x", false}}},
      {"empty message between separators", S + S + "001", {{0, "", false}, {1, "", false}}},
      {"negative code", S + "-01 x", {{-1, "x", false}}},
      {"non-numeric code", S + "abc x", {{0, "x", false}}},
      {"leading blanks in the code", S + " 54 d", {{54, "d", false}}},
      {"bytes before the first separator are dropped", "junk" + S + "051 v",
       {{51, "v", false}}},
      {"no separator at all", "001 hello", {}},
      {"zero byte ends its own message only",
       S + "054 ab" + std::string(1, '\0') + "cd" + S + "001 ",
       {{54, "ab", false}, {1, "", false}}},
  };
  for (const auto& c : cases) EXPECT_EQ(Decode({c.read}), c.expected) << c.name;
}

TEST(WireDecode, MessageSplitAcrossReadsIsDeliveredAgainWhole) {
  EXPECT_EQ(Decode({S + "054 D:\\c", "fg\\" + S + "001 "}),
            (std::vector<Seen>{{54, "D:\\c", false}, {54, "D:\\cfg\\", true}, {1, "", false}}));
  EXPECT_EQ(Decode({S + "054", " x"}), (std::vector<Seen>{{54, "", false}, {54, "x", true}}));
}

TEST(WireDecode, CodeCutShortWaitsForTheNextRead) {
  // "1" and "50" would read as codes of their own; the rest may make them 101 and 501.
  EXPECT_EQ(Decode({S + "1", "01 x"}), (std::vector<Seen>{{101, "x", false}}));
  EXPECT_EQ(Decode({S + "5", "0", "1 v"}), (std::vector<Seen>{{501, "v", false}}));
  EXPECT_EQ(Decode({S + "0", "54 x"}), (std::vector<Seen>{{54, "x", false}}));
  // A zero byte or a separator settles a short code.
  EXPECT_EQ(Decode({S + "1" + std::string(1, '\0'), "1"}), (std::vector<Seen>{{1, "", false}}));
  EXPECT_EQ(Decode({S + "5", S}), (std::vector<Seen>{{5, "", false}}));
}

TEST(WireDecode, ReadStartingWithSeparatorDoesNotRepeatTheLastMessage) {
  EXPECT_EQ(Decode({S + "050 a", S + "051 b"}),
            (std::vector<Seen>{{50, "a", false}, {51, "b", false}}));
}

TEST(WireDecode, OneByteReadsGiveTheSameFinalMessages) {
  const std::string stream = "x" + S + "054 dir\\" + S + "001 " + S + "050 v" + S + "9";
  std::vector<std::string> bytes;
  for (char c : stream) bytes.emplace_back(1, c);
  std::vector<Seen> whole = Decode({stream});
  std::vector<Seen> last;  // the final delivery of every message
  for (const Seen& s : Decode(bytes)) {
    if (s.continued) last.back() = s; else last.push_back(s);
  }
  ASSERT_EQ(last.size(), whole.size());
  for (size_t i = 0; i < whole.size(); ++i) {
    EXPECT_EQ(last[i].code, whole[i].code);
    EXPECT_EQ(last[i].payload, whole[i].payload);
  }
}

TEST(WireDecode, TrailByteSeparatorDoesNotSplit) {
  auto leadIs0x93 = [](unsigned char b) { return b == 0x93; };
  const std::string dbcs = std::string("\x93") + S;  // one double-byte character
  EXPECT_EQ(Decode({S + "050 a" + dbcs + "b"}, leadIs0x93),
            (std::vector<Seen>{{50, "a" + dbcs + "b", false}}));
  // The character may be cut between two reads.
  EXPECT_EQ(Decode({S + "050 a\x93", S + "b"}, leadIs0x93).back(),
            (Seen{50, "a" + dbcs + "b", true}));
  // Without the code page rule the same bytes split.
  EXPECT_EQ(Decode({S + "050 a" + dbcs + "b", S}).size(), 2u);
}

TEST(WireDecode, OverlongMessageIsCutAndLaterMessagesSurvive) {
  const std::string huge(kMaxWireMessageBytes * 2, 'x');
  auto seen = Decode({S + "050 " + huge + S + "051 after"});
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].payload.size(), kMaxWireMessageBytes - 4);
  EXPECT_EQ(seen[1], (Seen{51, "after", false}));
}

}  // namespace
}  // namespace dravlin
