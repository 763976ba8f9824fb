#include "popup/finder.h"

#include <gtest/gtest.h>

#include "menufile/profile_file.h"

namespace dravlin {
namespace {

// Lead bytes as in code page 932; "\x83\x41" and "\x83\x61" are katakana
// whose trail bytes are "A" and "a".
CodePageRules Cp932Like() {
  CodePageRules rules;
  for (int c = 0x81; c <= 0xFC; ++c) rules.leadByte[c] = c <= 0x9F || c >= 0xE0;
  return rules;
}

FinderIndex IndexOf(const std::string& ini) {
  return FinderIndex(PlanMenuTables(ReadMenuDefinition(ProfileFile("dravlin.ini", ini))), Cp932Like());
}

const char kMenu[] =
    "[general]\nCount=4\n"
    "[folder0]\nCount=2\nCapt1=Say &hello\nCommand1=hi\nCapt2=Home page\nCommand2=http://h\nType2=13008\n"
    "[folder1]\nText=Greetings\nParentID=0\nCount=2\nCapt1=Good morning\nCapt2=Bye && thanks\n"
    "[folder2]\nText=&Formal\nParentID=1\nCount=1\nCapt1=Hello Sir\n"
    "[folder3]\nText=Japanese\nParentID=0\nCount=1\nCapt1=\x83\x41\x83\x61 x\n";

TEST(FinderTest, EntriesCarryTheirShownCaptionsAndFolderPaths) {
  const FinderIndex index = IndexOf(kMenu);
  const std::vector<FinderEntry>& e = index.Entries();
  ASSERT_EQ(e.size(), 6u);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Say hello", ""},      {"Home page", ""},          {"Good morning", "Greetings"},
      {"Bye & thanks", "Greetings"}, {"Hello Sir", "Greetings > Formal"}, {"\x83\x41\x83\x61 x", "Japanese"}};
  for (std::size_t i = 0; i < e.size(); ++i) {
    EXPECT_EQ(e[i].caption, expected[i].first) << i;
    EXPECT_EQ(e[i].path, expected[i].second) << i;
    EXPECT_EQ(e[i].commandId, kFirstEntryCommandId + i) << i;
  }
  EXPECT_EQ(e[1].kind, kWebSiteKind);
}

TEST(FinderTest, TypedWordsNarrowTheEntries) {
  const FinderIndex index = IndexOf(kMenu);
  const struct {
    const char* typed;
    std::vector<std::size_t> rows;
  } cases[] = {
      {"", {0, 1, 2, 3, 4, 5}},
      {"hel", {0, 4}},
      {"HeL", {0, 4}},                 // case ignored
      {"sir hel", {4}},                // words in any order
      {"  hel   sir ", {4}},
      {"hel zz", {}},                  // every word must match
      {"&", {3}},                      // the shown ampersand, not the marker
      {"o h", {0, 1, 4}},
      {"a", {0, 1, 3}},                // not the trail bytes "A" and "a" of the katakana
      {"\x83\x61", {5}},               // a double-byte character whole, not folded
      {"\x83\x41\x83\x61", {5}},
      {"\x41\x83", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(index.Matching(c.typed), c.rows) << c.typed;
}

TEST(FinderTest, ShownCaptionDropsMarkersButKeepsDoubleByteCharacters) {
  const CodePageRules rules = Cp932Like();
  EXPECT_EQ(ShownCaption("&Save && &quit&", rules), "Save & quit");
  EXPECT_EQ(ShownCaption("\x83&x&\x83&", rules), "\x83&x\x83&") << "an ampersand as a trail byte stays";
}

}  // namespace
}  // namespace dravlin
