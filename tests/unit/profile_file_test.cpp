#include "menufile/profile_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <filesystem>
#include <functional>
#include <random>
#include <string>

#include "temp_directory.h"

namespace dravlin {
namespace {

namespace fs = std::filesystem;

using ProfileFileTest = TempDirectoryTest;

TEST(ParseProfileNumber, ReadsLikeAtoiWithoutOverflow) {
  const std::pair<const char*, int> cases[] = {
      {"163", 163},          {"12abc", 12},          {"", 0},
      {"abc", 0},            {" \t\n-5", -5},        {"+7", 7},
      {"- 5", 0},            {"007", 7},             {"2147483647", INT_MAX},
      {"2147483648", INT_MAX}, {"99999999999999999999", INT_MAX},
      {"-2147483648", INT_MIN}, {"-99999999999999999999", INT_MIN},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(ParseProfileNumber(text), expected) << text;
  }
}

TEST_F(ProfileFileTest, MissingFileReadsDefaultsAndIsNotCreated) {
  const std::string path = PathOf("dravlin.ini");
  const ProfileFile file(path);
  EXPECT_EQ(file.Read("general", "VirtKey", "163"), "163");
  EXPECT_EQ(file.ReadNumber("general", "count", 1), 1);
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(ProfileFileTest, ReadNumberTakesTheStoredTextOverItsDefault) {
  const std::string path = PathOf("dravlin.ini");
  WriteBytes(path, "[folder0]\r\ncount=\r\ntype1=12abc\r\n");
  const ProfileFile file(path);
  EXPECT_EQ(file.ReadNumber("folder0", "count", 5), 0);
  EXPECT_EQ(file.ReadNumber("folder0", "type1", 13014), 12);
  EXPECT_EQ(file.ReadNumber("folder0", "type2", 13014), 13014);
}

TEST_F(ProfileFileTest, WritesStayInMemoryUntilCommit) {
  const std::string path = PathOf("dravlin.ini");
  const std::string original = "; kept\r\n[general]\r\nVirtKey = 45\r\n[other]\r\nx=1\r\n";
  WriteBytes(path, original);
  ProfileFile file(path);
  file.WriteNumber("general", "VirtKey", 161);
  file.WriteNumber("general", "Count", 1);
  EXPECT_EQ(file.ReadNumber("general", "virtkey", 0), 161);
  EXPECT_EQ(ReadBytes(path), original);

  ASSERT_TRUE(file.Commit());
  EXPECT_EQ(ReadBytes(path), "; kept\r\n[general]\r\nVirtKey=161\r\nCount=1\r\n[other]\r\nx=1\r\n");
  EXPECT_EQ(ProfileFile(path).ReadNumber("general", "count", 0), 1);
}

// Reread reuses what it read only while the file and the object both still
// hold it; otherwise it reads the file as a new object would.
TEST_F(ProfileFileTest, RereadReadsWhatTheFileHoldsNow) {
  const std::string path = PathOf("dravlin.ini");
  const std::string before = "[general]\r\nVirtKey=45\r\n", after = "[general]\r\nVirtKey=46\r\n";
  const struct {
    const char* name;
    std::function<void(ProfileFile&)> meanwhile;
    int expected;
  } cases[] = {
      {"unchanged", [](ProfileFile&) {}, 45},
      {"rewritten, same length", [&](ProfileFile&) { WriteBytes(path, after); }, 46},
      {"written in memory only", [](ProfileFile& file) { file.WriteNumber("general", "VirtKey", 161); }, 45},
      {"committed, then the old bytes put back",
       [&](ProfileFile& file) {
         file.WriteNumber("general", "VirtKey", 161);
         ASSERT_TRUE(file.Commit());
         WriteBytes(path, before);
       },
       45},
  };
  for (const auto& c : cases) {
    WriteBytes(path, before);
    ProfileFile file(path);
    c.meanwhile(file);
    const ProfileFile reread = std::move(file).Reread();
    EXPECT_EQ(reread.ReadNumber("general", "VirtKey", 0), c.expected) << c.name;
    EXPECT_TRUE(reread.Readable()) << c.name;
  }
}

TEST_F(ProfileFileTest, CommitIntoAMissingDirectoryFailsAndLeavesNothing) {
  const std::string path = PathOf("absent/dravlin.ini");
  ProfileFile file(path);
  file.WriteNumber("general", "VirtKey", 161);
  EXPECT_FALSE(file.Commit());
  EXPECT_TRUE(fs::is_empty(directory_));
}

TEST_F(ProfileFileTest, UnreadableFileIsNeverReplaced) {
  const std::string path = PathOf("dravlin.ini");
  fs::create_directory(path);
  ProfileFile file(path);
  EXPECT_FALSE(file.Readable());
  EXPECT_EQ(file.Read("general", "VirtKey", "163"), "163");
  file.WriteNumber("general", "VirtKey", 161);
  EXPECT_FALSE(file.Commit());
  EXPECT_TRUE(fs::is_directory(path));
  EXPECT_TRUE(ProfileFile(PathOf("absent.ini")).Readable());
}

// Text as UTF-16 with its byte order mark; every character here is below 0x100.
std::string Utf16(const std::string& text, bool bigEndian = false) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char c : text) {
    bytes += bigEndian ? '\0' : c;
    bytes += bigEndian ? c : '\0';
  }
  return bytes;
}

TEST_F(ProfileFileTest, Utf16FilesAreReadAndWrittenBackInUtf16) {
  const std::string path = PathOf("dravlin.ini");
  const std::string other = "[other]\r\nname=caf\xE9\r\n";
  for (const bool bigEndian : {false, true}) {
    // The odd last byte is no character and goes.
    WriteBytes(path, Utf16("[folder0]\r\nCount=1\r\nCapt1=D\xE9j\xE0 vu\r\n" + other, bigEndian) + "x");
    ProfileFile file(path);
    EXPECT_TRUE(file.Exact());
    EXPECT_EQ(file.Read("folder0", "capt1", ""), "D\xE9j\xE0 vu");
    file.Write("folder0", "Capt2", "\xFC" "ber");
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(ReadBytes(path),
              Utf16("[folder0]\r\nCount=1\r\nCapt1=D\xE9j\xE0 vu\r\nCapt2=\xFC" "ber\r\n" + other, bigEndian));
  }
}

TEST_F(ProfileFileTest, Utf16FileWithCharactersTheCodePageLacksIsNeverReplaced) {
  const std::string path = PathOf("dravlin.ini");
  const char kText[] = "\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0\x2D\x4E";  // k=U+4E2D
  const std::string bytes(kText, sizeof kText - 1);
  WriteBytes(path, bytes);
  ProfileFile file(path);
  EXPECT_TRUE(file.Readable());
  EXPECT_FALSE(file.Exact());
  EXPECT_EQ(file.Read("s", "k", ""), "?");
  file.Write("s", "n", "1");
  EXPECT_FALSE(file.Commit());
  EXPECT_EQ(ReadBytes(path), bytes);
}

TEST_F(ProfileFileTest, ContentsGivenInMemoryReadAsTheFileWould) {
  const std::string path = PathOf("dravlin.ini");
  const char kLacking[] = "\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0\x2D\x4E";
  for (const std::string& bytes : {std::string("[s]\r\nk=caf\xE9\r\n"), Utf16("[s]\r\nk=D\xE9j\xE0\r\n", true),
                                   std::string(kLacking, sizeof kLacking - 1)}) {
    WriteBytes(path, bytes);
    const ProfileFile onDisk(path), inMemory(path, bytes);
    EXPECT_EQ(inMemory.Read("s", "k", ""), onDisk.Read("s", "k", "")) << bytes;
    EXPECT_EQ(inMemory.Exact(), onDisk.Exact()) << bytes;
  }
}

TEST_F(ProfileFileTest, LongValuesAreNotCut) {
  const std::string path = PathOf("dravlin.ini");
  const std::string caption(5000, 'c');
  ProfileFile file(path);
  file.Write("folder0", "Capt1", caption);
  ASSERT_TRUE(file.Commit());
  EXPECT_EQ(ProfileFile(path).Read("folder0", "capt1", ""), caption);
}

TEST_F(ProfileFileTest, HugeAndRandomFilesLoadQuickly) {
  std::string huge;
  for (int i = 0; huge.size() < 10 * 1024 * 1024; ++i) {
    huge += "[folder" + std::to_string(i) + "]\r\ncount=1\r\n";
    huge += "capt1=" + std::string(200, 'x') + "\r\n";
  }
  std::mt19937 random(3);
  std::string noise(1024 * 1024, '\0');
  for (char& c : noise) c = static_cast<char>(random());

  for (const std::string* bytes : {&huge, &noise}) {
    const std::string path = PathOf("dravlin.ini");
    WriteBytes(path, *bytes);
    const auto start = std::chrono::steady_clock::now();
    ProfileFile file(path);
    file.Read("folder1", "capt1", "");
    file.WriteNumber("general", "Count", 2);
    ASSERT_TRUE(file.Commit());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(ProfileFile(path).ReadNumber("general", "count", 0), 2);
  }
}

}  // namespace
}  // namespace dravlin
