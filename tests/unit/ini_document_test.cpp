#include "menufile/ini_document.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

namespace dravlin {
namespace {

TEST(IniDocument, SerializesWhatItParsedUnchanged) {
  std::mt19937 random(7);
  std::string noise(4096, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  const std::string texts[] = {
      "",
      "[general]\r\nVirtKey=161\r\n",
      "[general]\nVirtKey=161",
      "\xEF\xBB\xBF[a]\r\nx=1\r\n",
      "  \r\n\r\n; comment\r\n[a]\r\n\r\n k = v \r\n\r\n\r\n[b]\r\n",
      "[a]\rx=1\ry=2\r",
      "[a]\r\nx=1\rjunk\n[b",
      "[]\n=\n[\n]\n",
      noise,
  };
  for (const std::string& text : texts) {
    EXPECT_EQ(IniDocument(text).Serialize(), text);
  }
}

struct ReadCase {
  const char* text;
  const char* section;
  const char* key;
  const char* expected;
};

TEST(IniDocument, ReadsAsThePlatformDoes) {
  const ReadCase cases[] = {
      {"[General]\r\nVIRTKEY=45\r\n", "general", "VirtKey", "45"},
      {"[general]\r\nCount=2\r\n", "GENERAL", "count", "2"},
      {"  [general]  \r\n \t count \t=\t 2 \t\r\n", "general", " count ", "2"},
      {"[general]\nx=1", "general", "x", "1"},
      {"[general]\rx=1\ry=2", "general", "y", "2"},
      {"[s]\r\nk=a\rb\nc=3", "s", "k", "a"},
      {"[s]\r\nk=a\rb\nc=3", "s", "c", "3"},
      {"\xEF\xBB\xBF[general]\r\nx=1\r\n", "general", "x", "1"},
      {"[s]\r\nk=\r\n", "s", "k", ""},
      {"[s]\r\nk=\"quoted value\"\r\n", "s", "k", "quoted value"},
      {"[s]\r\nk='single'\r\n", "s", "k", "single"},
      {"[s]\r\nk=\"\"\r\n", "s", "k", ""},
      {"[s]\r\nk=\"\r\n", "s", "k", "\""},
      {"[s]\r\nk=\"open'\r\n", "s", "k", "\"open'"},
      {"[s]\r\nk=a=b\r\n", "s", "k", "a=b"},
      {"[s]\r\nk=1\r\nK=2\r\n", "s", "k", "1"},
      {"[s]\r\nk=1\r\n[S]\r\nk=2\r\nonly=3\r\n", "s", "only", "default"},
      {"[s]\r\nk=1\r\n[t]\r\n[s]\r\nk=2\r\n", "s", "k", "1"},
      {"[s]\r\nk\r\n", "s", "k", "default"},
      {"[s]\r\nk\r\nk=1\r\n", "s", "k", "default"},
      {"[s]\r\n;k=1\r\n", "s", "k", "default"},
      {"[s]\r\n;k=1\r\n", "s", ";k", "1"},
      {"[ s ]\r\nk=1\r\n", "s", "k", "1"},
      {"[s] trailing text\r\nk=1\r\n", "s", "k", "1"},
      {"[a]b]\r\nk=1\r\n", "a]b", "k", "1"},
      {"[s\r\nk=1\r\n", "s", "k", "default"},
      {"k=1\r\n[s]\r\n", "", "k", "1"},
      {"[s]\r\nk=1\r\n", "missing", "k", "default"},
      {"[s]\r\nk=1\r\n", "s", "missing", "default"},
      {"[s]\r\nk=\xE9t\xE9\r\n", "s", "k", "\xE9t\xE9"},
      {"[\xC9]\r\nk=1\r\n", "\xE9", "k", "default"},
      {"[s]\r\nk=\xA0v\x1C\x1A\r\n", "s", "k", "\xA0v\x1C"},
  };
  for (const ReadCase& c : cases) {
    EXPECT_EQ(IniDocument(c.text).Read(c.section, c.key, "default"), c.expected)
        << c.text << " / " << c.section << " / " << c.key;
  }
}

TEST(IniDocument, ValuesEndAtAZeroByte) {
  const IniDocument document(std::string("[s]\r\nk=1\0x\r\nn=2\r\n", 17));
  EXPECT_EQ(document.Read("s", "k", ""), "1");
  EXPECT_EQ(document.Read("s", "n", ""), "2");
}

TEST(IniDocument, DefaultLosesTrailingSpacesAndQuotes) {
  const IniDocument empty;
  EXPECT_EQ(empty.Read("s", "k", "163  "), "163");
  EXPECT_EQ(empty.Read("s", "k", "\"x\""), "x");
  EXPECT_EQ(empty.Read("s", "k", "   "), " ");
  EXPECT_EQ(empty.Read("s", "k", ""), "");
}

struct WriteCase {
  const char* before;
  const char* section;
  const char* key;
  const char* value;
  const char* after;
};

TEST(IniDocument, WritesWhereThePlatformDoes) {
  const WriteCase cases[] = {
      {"", "general", "VirtKey", "161", "[general]\r\nVirtKey=161\r\n"},
      {"; head\r\n[s]\r\n a = 1 \r\nb=2\r\n", "S", "A", "9", "; head\r\n[s]\r\na=9\r\nb=2\r\n"},
      {"[s]\r\n a = 1 \r\nb=2\r\n", "s", "a", "1", "[s]\r\n a = 1 \r\nb=2\r\n"},
      {"[s]\nk=1\nk=2\n", "s", "K", "3", "[s]\nk=3\nk=2\n"},
      {"[s]\r\nk=1\r\n\r\n\r\n[t]\r\n", "s", "n", "2", "[s]\r\nk=1\r\nn=2\r\n\r\n\r\n[t]\r\n"},
      {"[s]\r\n; note\r\n\r\n[t]\r\n", "s", "n", "2", "[s]\r\n; note\r\nn=2\r\n\r\n[t]\r\n"},
      {"[s]\r\nk=1", "s", "n", "2", "[s]\r\nk=1\r\nn=2\r\n"},
      {"[s]", "s", "n", "2", "[s]\r\nn=2\r\n"},
      {"[s]\nk=1", "t", "n", "2", "[s]\nk=1\n[t]\nn=2\n"},
      {"[s]\rk=1\r", "t", "n", "2", "[s]\rk=1\r[t]\rn=2\r"},
      {"[s]\r\nk=1\r\n  \r\n", "t", "n", "2", "[s]\r\nk=1\r\n  \r\n[t]\r\nn=2\r\n"},
      {"[s]\r\nk\r\n", "s", "k", "1", "[s]\r\nk=1\r\n"},
      {"[s]\r\nk=1\r\n[S]\r\n", "s", "n", "2", "[s]\r\nk=1\r\nn=2\r\n[S]\r\n"},
      {"[s]\r\nk=1\r\n", "s", "k", "  lead and trail  ", "[s]\r\nk=lead and trail  \r\n"},
      {"[s]\r\nk=1\r\n", " t ", " n ", "2", "[s]\r\nk=1\r\n[t ]\r\nn =2\r\n"},
      {"top=1\r\n\r\n[s]\r\n", "", "n", "2", "top=1\r\nn=2\r\n\r\n[s]\r\n"},
      {"\xEF\xBB\xBF", "s", "k", "1", "\xEF\xBB\xBF[s]\r\nk=1\r\n"},
      {"[s]\r\nx=1\ry=2\r", "s", "n", "2", "[s]\r\nx=1\ry=2\rn=2\r\n"},
  };
  for (const WriteCase& c : cases) {
    IniDocument document(c.before);
    document.Write(c.section, c.key, c.value);
    EXPECT_EQ(document.Serialize(), c.after) << c.before << " / " << c.key;
    EXPECT_EQ(IniDocument(document.Serialize()).Read(c.section, c.key, "default"),
              document.Read(c.section, c.key, "default"));
  }
}

TEST(IniDocument, WriteReportsWhetherTheTextChanged) {
  IniDocument document("[s]\r\nk = 1\r\nbare\r\n");
  EXPECT_FALSE(document.Write("s", "k", "1"));
  EXPECT_TRUE(document.Write("s", "k", "2"));
  EXPECT_TRUE(document.Write("s", "bare", ""));
  EXPECT_FALSE(document.Write("s", "bare", ""));
  EXPECT_TRUE(document.Write("s", "new", ""));
}

// Every value of a menu of 10,000 entries, written and read back; a write or
// read that re-serialises or shifts the document makes this take minutes.
TEST(IniDocument, ReadsAndWritesTenThousandEntriesInLinearTime) {
  const auto start = std::chrono::steady_clock::now();
  IniDocument document;
  const int entries = 10000;
  for (int k = 1; k <= entries; ++k) {
    document.Write("folder0", "Capt" + std::to_string(k), "caption " + std::to_string(k));
    document.Write("folder0", "Command" + std::to_string(k), "command " + std::to_string(k));
    document.Write("folder0", "Type" + std::to_string(k), "13014");
  }
  const IniDocument reloaded(document.Serialize());
  for (int k = 1; k <= entries; ++k) {
    ASSERT_EQ(reloaded.Read("folder0", "capt" + std::to_string(k), ""),
              "caption " + std::to_string(k));
    ASSERT_EQ(reloaded.Read("folder0", "command" + std::to_string(k), ""),
              "command " + std::to_string(k));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

}  // namespace
}  // namespace dravlin
