#include "hostlink/host_link.h"

#include <gtest/gtest.h>

#include <string>

namespace dravlin {
namespace {

const std::string S(1, kWireSeparator);

struct Link {
  int starts = 0;
  HostLinkProtocol protocol{nullptr, [this] { ++starts; }};
  void Receive(const std::string& bytes) { protocol.Receive(bytes.data(), bytes.size()); }
};

TEST(HostLinkProtocol, SettingsAndStartInEitherOrder) {
  for (const std::string& read : {S + "054 D:\\cfg\\" + S + "001 ", S + "001 " + S + "054 D:\\cfg\\"}) {
    Link link;
    link.Receive(read);
    EXPECT_EQ(link.starts, 1);
    EXPECT_EQ(link.protocol.SettingsDirectory(), "D:\\cfg\\");
  }
}

TEST(HostLinkProtocol, HostValuesAreStoredAndReplaced) {
  Link link;
  link.Receive(S + "050 a" + S + "051 b" + S + "052 c" + S + "053 d" + S + "053 e");
  EXPECT_EQ(link.protocol.HostValue(50), "a");
  EXPECT_EQ(link.protocol.HostValue(51), "b");
  EXPECT_EQ(link.protocol.HostValue(52), "c");
  EXPECT_EQ(link.protocol.HostValue(53), "e");
  EXPECT_EQ(link.protocol.HostValue(54), "");
  EXPECT_EQ(link.starts, 0);
}

TEST(HostLinkProtocol, UnknownCodesChangeNothing) {
  Link link;
  link.Receive(S + "999 x" + S + "-54 y" + S + "abc z" + S + "000 w" + S + "049 v" + S + "055 u" + S);
  for (int code = 50; code <= 54; ++code) EXPECT_EQ(link.protocol.HostValue(code), "");
  EXPECT_EQ(link.starts, 0);
}

TEST(HostLinkProtocol, ContinuedMessageReplacesValueAndStartsOnce) {
  Link link;
  link.Receive(S + "054 C:\\Pro");
  EXPECT_EQ(link.protocol.SettingsDirectory(), "C:\\Pro");
  link.Receive("gram\\" + S + "00");
  EXPECT_EQ(link.protocol.SettingsDirectory(), "C:\\Program\\");
  EXPECT_EQ(link.starts, 0);
  link.Receive("1");
  EXPECT_EQ(link.starts, 1);
  link.Receive(" payload");
  EXPECT_EQ(link.starts, 1);
  link.Receive(S + "001 ");
  EXPECT_EQ(link.starts, 2);
}

TEST(HostLinkProtocol, CodeCutAfterItsFirstDigitsIsNotTakenForAShorterOne) {
  Link link;
  link.Receive(S + "052 kept" + S + "1");
  link.Receive("01 other code" + S + "5");
  link.Receive("0");
  link.Receive("2 also other");
  EXPECT_EQ(link.starts, 0);
  EXPECT_EQ(link.protocol.HostValue(52), "kept");
}

TEST(HostLinkProtocol, BurstOfManyMessagesIsAllUnderstood) {
  Link link;
  std::string burst;
  for (int i = 0; i < 2000; ++i) burst += S + "050 value" + std::to_string(i);
  burst += S + "001 ";
  link.Receive(burst);
  EXPECT_EQ(link.protocol.HostValue(50), "value1999");
  EXPECT_EQ(link.starts, 1);
}

}  // namespace
}  // namespace dravlin
