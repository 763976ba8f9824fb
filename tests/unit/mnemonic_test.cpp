#include "popup/mnemonic.h"

#include <gtest/gtest.h>

namespace dravlin {
namespace {

// Shift-JIS: lead bytes 0x81-0x9F and 0xE0-0xFC.
bool ShiftJisLead(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
bool NoLead(char) { return false; }

TEST(Mnemonic, UnderlinedLetterOrFirstCharacter) {
  EXPECT_EQ(MnemonicOf("&First", NoLead), "F");
  EXPECT_EQ(MnemonicOf("Se&cond", NoLead), "c");
  EXPECT_EQ(MnemonicOf("Fish && &Chips", NoLead), "C");
  EXPECT_EQ(MnemonicOf("&&both", NoLead), "&") << "no single ampersand: the first character";
  EXPECT_EQ(MnemonicOf("plain", NoLead), "p");
  EXPECT_EQ(MnemonicOf("ends&", NoLead), "");
  EXPECT_EQ(MnemonicOf("", NoLead), "");
}

TEST(Mnemonic, DoubleByteCharactersStayWhole) {
  // The trail byte 0x26 of a double-byte character is not an ampersand.
  EXPECT_EQ(MnemonicOf("\x82\x26x&Y", ShiftJisLead), "Y");
  EXPECT_EQ(MnemonicOf("\x82\xA0text", ShiftJisLead), "\x82\xA0");
  EXPECT_EQ(MnemonicOf("&\x82\xA0", ShiftJisLead), "\x82\xA0");
}

TEST(Mnemonic, OneMatchRunsSeveralCycleNoneIgnores) {
  const std::vector<std::string> items = {"A", "B", "", "A", "C", "A"};
  using Action = MnemonicChoice::Action;
  const auto choose = [&](const char* typed, int highlighted) {
    const MnemonicChoice choice = ChooseByMnemonic(items, typed, highlighted);
    return std::make_pair(choice.action, choice.position);
  };
  EXPECT_EQ(choose("B", -1), std::make_pair(Action::kExecute, 1));
  EXPECT_EQ(choose("A", -1), std::make_pair(Action::kSelect, 0));
  EXPECT_EQ(choose("A", 0), std::make_pair(Action::kSelect, 3));
  EXPECT_EQ(choose("A", 4), std::make_pair(Action::kSelect, 5));
  EXPECT_EQ(choose("A", 5), std::make_pair(Action::kSelect, 0)) << "wraps around";
  EXPECT_EQ(choose("Z", 1), std::make_pair(Action::kNone, -1));
  EXPECT_EQ(choose("", 1), std::make_pair(Action::kNone, -1)) << "separators match nothing";
}

}  // namespace
}  // namespace dravlin
