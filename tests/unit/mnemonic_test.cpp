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

// The low word of WM_MENUCHAR holds a double-byte character's lead byte
// above its trail byte; cut to one byte, it would be the trail byte alone.
TEST(Mnemonic, TypedCharacterKeepsBothBytes) {
  EXPECT_EQ(TypedCharacter('a'), "a");
  EXPECT_EQ(TypedCharacter(0xE9), "\xE9") << "a single byte above 127";
  EXPECT_EQ(TypedCharacter(0x82A0), "\x82\xA0");
  const std::vector<std::string> items = {"\xA2", "\x82\xA0", "\x82\xA2"};
  EXPECT_EQ(ChooseByMnemonic(items, TypedCharacter(0x82A2), -1, true).position, 2)
      << "not the single-byte item that equals the trail byte";
}

TEST(Mnemonic, OneMatchRunsSeveralCycleNoneIgnores) {
  const std::vector<std::string> items = {"A", "B", "", "A", "C", "A"};
  using Action = MnemonicChoice::Action;
  const auto choose = [&](const char* typed, int highlighted) {
    const MnemonicChoice choice = ChooseByMnemonic(items, typed, highlighted, true);
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

// Windows' menu loop moves the highlight to the item a selecting answer names;
// Wine's ignores that answer, and only there is the highlight moved by hand,
// which on Windows would leave two items highlighted.
TEST(Mnemonic, HighlightMovedByHandOnlyWhereTheLoopDoesNotSelect) {
  const std::vector<std::string> items = {"A", "B", "A"};
  struct Case {
    const char* typed;
    bool loopSelects;
    bool byHand;
  } cases[] = {{"A", true, false}, {"A", false, true}, {"B", false, false}};
  for (const Case& c : cases)
    EXPECT_EQ(ChooseByMnemonic(items, c.typed, -1, c.loopSelects).highlightByHand, c.byHand)
        << c.typed << (c.loopSelects ? " where the loop selects" : " where it does not");
}

}  // namespace
}  // namespace dravlin
