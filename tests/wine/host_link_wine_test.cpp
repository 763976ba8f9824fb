// The host link's bytes on a real loopback connection, as a host client sends them.
#include "tests/wine/plugin_fixture.h"

namespace dravlin {
namespace {

const std::string S(1, kWireSeparator);

// The host sends nothing by itself: each test writes its own bytes.
class HostLinkTest : public PluginTest {
 protected:
  HostLinkTest() : PluginTest(false) {}

  void Connect() {
    ASSERT_EQ(host_.StartPlugin(), 1);
    ASSERT_TRUE(WaitFor([&] { return host_.HasOpenConnection(); }));
  }

  // Nothing more arrives while the plug-in has time to answer.
  void ExpectReceivedToStay(const std::string& expected) {
    PumpMessagesFor(300);
    EXPECT_EQ(Printable(Received()), Printable(expected));
  }
};

TEST_F(HostLinkTest, ExampleSettingsThenStartGetsTheTwoInformationLines) {
  Connect();
  const std::string example = "\x8C" "054 D:\\cfg\\" "\x8C" "001 ";
  ASSERT_EQ(example.size(), 17u);
  host_.SendToPlugin(example);
  ASSERT_TRUE(WaitFor([&] { return Received().size() >= InformationLines().size(); }));
  ExpectReceivedToStay(InformationLines());
}

TEST_F(HostLinkTest, StartBeforeSettingsAndBareStartCodeAlsoStart) {
  Connect();
  host_.SendToPlugin(S + "001 " + S + "054 D:\\cfg\\");
  ASSERT_TRUE(WaitFor([&] { return Received() == InformationLines(); }));
  host_.SendToPlugin(S + "001");
  ASSERT_TRUE(WaitFor([&] { return Received() == InformationLines() + InformationLines(); }));
  ExpectReceivedToStay(InformationLines() + InformationLines());
}

TEST_F(HostLinkTest, OtherCodesAndJunkStartNothing) {
  Connect();
  host_.SendToPlugin("001 junk before any separator" + S + "999 x" + S + "-01 y" + S + "abc" + S +
                     "050 v" + S + "005 command" + S + "008 info" + S);
  ExpectReceivedToStay("");
}

TEST_F(HostLinkTest, StartCodeSplitAcrossReadsStartsOnce) {
  Connect();
  host_.SendToPlugin(S + "054 D:\\c" + S + "00");
  ExpectReceivedToStay("");
  host_.SendToPlugin("1");
  ASSERT_TRUE(WaitFor([&] { return Received() == InformationLines(); }));
  host_.SendToPlugin(" trailing payload");
  ExpectReceivedToStay(InformationLines());
}

TEST_F(HostLinkTest, BurstOfTenThousandBytesIsUnderstoodToTheEnd) {
  Connect();
  std::string burst;
  while (burst.size() < 10000) burst += S + "050 host value " + std::to_string(burst.size());
  burst += S + "001 ";
  host_.SendToPlugin(burst);
  ASSERT_TRUE(WaitFor([&] { return Received() == InformationLines(); }));
  ExpectReceivedToStay(InformationLines());
}

TEST_F(HostLinkTest, ZeroByteDoesNotHideTheMessagesAfterIt) {
  Connect();
  host_.SendToPlugin(S + "050 a" + std::string(1, '\0') + "b" + S + "001 ");
  ASSERT_TRUE(WaitFor([&] { return Received() == InformationLines(); }));
}

TEST_F(HostLinkTest, TwoStartCodesAnswerTwice) {
  Connect();
  host_.SendToPlugin(S + "001 " + S + "001 ");
  ASSERT_TRUE(WaitFor([&] { return Received() == InformationLines() + InformationLines(); }));
  host_.CloseConnection();
  ASSERT_TRUE(WaitFor([] { return FindPluginWindow() == nullptr; }));
}

}  // namespace
}  // namespace dravlin
