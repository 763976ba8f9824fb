#include "menufile/menu_definition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "temp_directory.h"

namespace dravlin {
namespace {

// A configuration tree in memory; node ids are positions, the root is 0.
class FakeTree : public MenuTreeReader {
 public:
  FakeTree() { nodes_.push_back({"Menu", "", 0, true, {}}); }

  Node AddFolder(Node parent, const std::string& caption) {
    return Add(parent, {caption, "", 0, true, {}});
  }
  Node AddEntry(Node parent, const std::string& caption, const std::string& command, int kind) {
    return Add(parent, {caption, command, kind, false, {}});
  }

  Node Root() const override { return 0; }
  std::vector<Node> Children(Node folder) const override { return nodes_[folder].children; }
  bool IsFolder(Node node) const override { return nodes_[node].folder; }
  std::string Caption(Node node) const override { return nodes_[node].caption; }
  std::string Command(Node entry) const override { return nodes_[entry].command; }
  int Kind(Node entry) const override { return nodes_[entry].kind; }

 private:
  struct Item {
    std::string caption;
    std::string command;
    int kind;
    bool folder;
    std::vector<Node> children;
  };

  Node Add(Node parent, Item item) {
    nodes_.push_back(std::move(item));
    nodes_[parent].children.push_back(nodes_.size() - 1);
    return nodes_.size() - 1;
  }

  std::vector<Item> nodes_;
};

// The tree as the configuration dialog shows a loaded menu: in every folder
// its subfolders by caption, then its entries by caption.
FakeTree SortedTreeOf(const MenuDefinition& menu) {
  FakeTree tree;
  std::vector<MenuTreeReader::Node> nodes(menu.folders.size());
  const auto byCaption = [](const auto* a, const auto* b) { return a->caption < b->caption; };
  std::vector<std::vector<const MenuFolder*>> subfolders(menu.folders.size());
  for (std::size_t i = 1; i < menu.folders.size(); ++i) {
    subfolders[menu.folders[i].parent].push_back(&menu.folders[i]);
  }
  for (std::size_t i = 0; i < menu.folders.size(); ++i) {
    std::sort(subfolders[i].begin(), subfolders[i].end(), byCaption);
    for (const MenuFolder* sub : subfolders[i]) {
      nodes[sub - menu.folders.data()] = tree.AddFolder(nodes[i], sub->caption);
    }
    std::vector<const MenuEntry*> entries;
    for (const MenuEntry& entry : menu.folders[i].entries) entries.push_back(&entry);
    std::sort(entries.begin(), entries.end(), byCaption);
    for (const MenuEntry* entry : entries) {
      tree.AddEntry(nodes[i], entry->caption, entry->command, entry->kind);
    }
  }
  return tree;
}

using MenuDefinitionTest = TempDirectoryTest;

TEST_F(MenuDefinitionTest, NoFileGivesRightCtrlAndAnEmptyRoot) {
  const MenuDefinition menu = ReadMenuDefinition(ProfileFile(PathOf("dravlin.ini")));
  EXPECT_EQ(menu.triggerKey, 163);
  ASSERT_EQ(menu.folders.size(), 1u);
  EXPECT_TRUE(menu.folders[0].entries.empty());
}

TEST_F(MenuDefinitionTest, WritesTheExampleByteForByteAndReadsItBack) {
  FakeTree tree;
  const auto greetings = tree.AddFolder(tree.Root(), "Greetings");
  tree.AddEntry(greetings, "Bye", "Bye, all", kNormalCommandKind);
  tree.AddEntry(greetings, "Hello", "Hello, all", kNormalCommandKind);
  tree.AddEntry(tree.Root(), "Homepage", "http://www.example.com/", kWebSiteKind);
  const std::string path = PathOf("dravlin.ini");
  ProfileFile file(path);
  WriteMenuDefinition(file, 161, tree);
  ASSERT_TRUE(file.Commit());

  EXPECT_EQ(ReadBytes(path),
            "[general]\r\nVirtKey=161\r\nCount=2\r\n"
            "[folder0]\r\nText=Menu\r\nParentID=0\r\n"
            "Capt1=Homepage\r\nCommand1=http://www.example.com/\r\nType1=13008\r\nCount=1\r\n"
            "[folder1]\r\nText=Greetings\r\nParentID=0\r\n"
            "Capt1=Bye\r\nCommand1=Bye, all\r\nType1=13014\r\n"
            "Capt2=Hello\r\nCommand2=Hello, all\r\nType2=13014\r\nCount=2\r\n");

  const MenuDefinition menu = ReadMenuDefinition(ProfileFile(path));
  EXPECT_EQ(menu.triggerKey, 161);
  ASSERT_EQ(menu.folders.size(), 2u);
  EXPECT_EQ(menu.folders[1].caption, "Greetings");
  EXPECT_EQ(menu.folders[1].parent, 0);
  ASSERT_EQ(menu.folders[1].entries.size(), 2u);
  EXPECT_EQ(menu.folders[1].entries[1].command, "Hello, all");
  ASSERT_EQ(menu.folders[0].entries.size(), 1u);
  EXPECT_EQ(menu.folders[0].entries[0].kind, kWebSiteKind);
}

TEST_F(MenuDefinitionTest, EmptyTreeWritesTheDefaultFile) {
  const std::string path = PathOf("dravlin.ini");
  ProfileFile file(path);
  WriteMenuDefinition(file, kDefaultTriggerKey, FakeTree());
  ASSERT_TRUE(file.Commit());
  EXPECT_EQ(ReadBytes(path),
            "[general]\r\nVirtKey=163\r\nCount=1\r\n"
            "[folder0]\r\nText=Menu\r\nParentID=0\r\nCount=0\r\n");
}

struct ReadCase {
  const char* name;
  const char* text;
  int triggerKey;
  std::vector<int> parents;      // of folders 0 .. N-1
  std::vector<int> entryCounts;  // of folders 0 .. N-1
};

TEST_F(MenuDefinitionTest, ReadsEdgeCases) {
  const ReadCase cases[] = {
      {"upper-case keys", "[GENERAL]\nVIRTKEY=45\nCOUNT=2\n[FOLDER1]\nPARENTID=0\nCOUNT=1\n",
       45, {0, 0}, {0, 1}},
      {"unknown trigger key kept", "[general]\nVirtKey=145\n", 145, {0}, {0}},
      {"trigger key without digits", "[general]\nVirtKey=none\n", 0, {0}, {0}},
      {"empty entry count", "[folder0]\ncount=\ncapt1=x\n", 163, {0}, {0}},
      {"negative entry count", "[folder0]\ncount=-4\n", 163, {0}, {0}},
      {"nested folder", "[general]\ncount=3\n[folder2]\nparentID=1", 163, {0, 0, 1}, {0, 0, 0}},
      {"root as parent", "[general]\ncount=3\n[folder2]\nparentID=0", 163, {0, 0, 0}, {0, 0, 0}},
      {"negative parent", "[general]\ncount=3\n[folder2]\nparentID=-1", 163, {0, 0, 0}, {0, 0, 0}},
      {"own number", "[general]\ncount=3\n[folder2]\nparentID=2", 163, {0, 0, 0}, {0, 0, 0}},
      {"later folder", "[general]\ncount=3\n[folder1]\nparentID=2", 163, {0, 0, 0}, {0, 0, 0}},
      {"beyond the count", "[general]\ncount=2\n[folder1]\nparentID=9", 163, {0, 0}, {0, 0}},
      {"folder count zero", "[general]\ncount=0\n[folder0]\ncount=1\n", 163, {0}, {1}},
      {"folder count negative", "[general]\ncount=-3\n", 163, {0}, {0}},
      {"folder count empty", "[general]\ncount=\n", 163, {0}, {0}},
  };
  for (const ReadCase& c : cases) {
    const std::string path = PathOf("dravlin.ini");
    WriteBytes(path, c.text);
    const MenuDefinition menu = ReadMenuDefinition(ProfileFile(path));
    EXPECT_EQ(menu.triggerKey, c.triggerKey) << c.name;
    std::vector<int> parents;
    std::vector<int> entryCounts;
    for (const MenuFolder& folder : menu.folders) {
      parents.push_back(folder.parent);
      entryCounts.push_back(static_cast<int>(folder.entries.size()));
    }
    EXPECT_EQ(parents, c.parents) << c.name;
    EXPECT_EQ(entryCounts, c.entryCounts) << c.name;
  }
}

static_assert(kMaxMenuFolders == 0xFFFF && kMaxMenuEntries == 0xFFFF - 200, "the shipped definition limits");

TEST_F(MenuDefinitionTest, HugeCountsAreBoundedQuickly) {
  const std::string path = PathOf("dravlin.ini");
  WriteBytes(path,
             "[general]\r\ncount=2147483647\r\n"
             "[folder0]\r\ncount=65000\r\n"
             "[folder1]\r\ncount=2147483647\r\n"
             "[folder2]\r\ncount=2147483647\r\n");
  const auto start = std::chrono::steady_clock::now();
  const MenuDefinition menu = ReadMenuDefinition(ProfileFile(path));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  ASSERT_EQ(menu.folders.size(), static_cast<std::size_t>(kMaxMenuFolders));
  EXPECT_EQ(menu.folders[0].entries.size(), 65000u);
  EXPECT_EQ(menu.folders[1].entries.size(), static_cast<std::size_t>(kMaxMenuEntries - 65000));
  EXPECT_TRUE(menu.folders[2].entries.empty());
}

TEST_F(MenuDefinitionTest, EntryValuesSurviveALoadAndASave) {
  const std::string path = PathOf("dravlin.ini");
  const std::string longCaption(200, 'c');
  WriteBytes(path, "[folder0]\r\ncount=2\r\ncapt1=" + longCaption +
                       "\r\ncommand1=say it\r\ntype1=7\r\ncapt2=plain\r\n");
  const MenuDefinition before = ReadMenuDefinition(ProfileFile(path));
  ASSERT_EQ(before.folders[0].entries.size(), 2u);
  EXPECT_EQ(before.folders[0].entries[1].kind, kNormalCommandKind);

  ProfileFile file(path);
  WriteMenuDefinition(file, before.triggerKey, SortedTreeOf(before));
  ASSERT_TRUE(file.Commit());
  const MenuDefinition after = ReadMenuDefinition(ProfileFile(path));
  ASSERT_EQ(after.folders[0].entries.size(), 2u);
  EXPECT_EQ(after.folders[0].entries[0].caption, longCaption);
  EXPECT_EQ(after.folders[0].entries[0].command, "say it");
  EXPECT_EQ(after.folders[0].entries[0].kind, 7);
  EXPECT_EQ(after.folders[0].entries[1].caption, "plain");
  EXPECT_EQ(after.folders[0].entries[1].kind, kNormalCommandKind);
}

TEST_F(MenuDefinitionTest, SmallerSaveLowersCountsAndLeavesSurplusKeys) {
  const std::string path = PathOf("dravlin.ini");
  WriteBytes(path,
             "[general]\r\nCount=3\r\n"
             "[folder0]\r\nCount=2\r\nCapt1=one\r\nCapt2=two\r\n"
             "[folder1]\r\nText=A\r\n[folder2]\r\nText=B\r\n");
  FakeTree tree;
  tree.AddEntry(tree.Root(), "only", "cmd", kNormalCommandKind);
  ProfileFile file(path);
  WriteMenuDefinition(file, 45, tree);
  ASSERT_TRUE(file.Commit());

  const std::string saved = ReadBytes(path);
  EXPECT_NE(saved.find("Capt2=two\r\n"), std::string::npos);
  EXPECT_NE(saved.find("[folder2]\r\nText=B\r\n"), std::string::npos);
  const MenuDefinition menu = ReadMenuDefinition(ProfileFile(path));
  ASSERT_EQ(menu.folders.size(), 1u);
  ASSERT_EQ(menu.folders[0].entries.size(), 1u);
  EXPECT_EQ(menu.folders[0].entries[0].caption, "only");
}

// A hand-written file comes back numbered in the dialog's order: Alpha before
// Zeta, a before b, and every folder before the folders of its later siblings.
TEST_F(MenuDefinitionTest, LoadAndSaveRenumbersInSortedOrder) {
  const std::string path = PathOf("dravlin.ini");
  WriteBytes(path, ReadBytes(std::string(TEST_DATA_DIR) + "/hand_written_menu.ini"));
  const MenuDefinition loaded = ReadMenuDefinition(ProfileFile(path));
  ProfileFile file(path);
  WriteMenuDefinition(file, loaded.triggerKey, SortedTreeOf(loaded));
  ASSERT_TRUE(file.Commit());

  EXPECT_EQ(ReadBytes(path),
            ReadBytes(std::string(TEST_DATA_DIR) + "/hand_written_menu_saved.ini"));
  const MenuDefinition saved = ReadMenuDefinition(ProfileFile(path));
  EXPECT_EQ(saved.triggerKey, 45);
  ASSERT_EQ(saved.folders.size(), 4u);
  const std::vector<std::pair<std::string, int>> folders = {
      {"Alpha", 0}, {"Zeta", 0}, {"Inner", 2}};
  for (std::size_t i = 1; i < 4; ++i) {
    EXPECT_EQ(saved.folders[i].caption, folders[i - 1].first);
    EXPECT_EQ(saved.folders[i].parent, folders[i - 1].second);
  }
  EXPECT_TRUE(saved.folders[1].entries.empty());
  ASSERT_EQ(saved.folders[2].entries.size(), 2u);
  EXPECT_EQ(saved.folders[2].entries[0].command, "ay");
  EXPECT_EQ(saved.folders[2].entries[0].kind, kEmailAddressKind);
  EXPECT_EQ(saved.folders[2].entries[1].command, "bee");
  EXPECT_EQ(saved.folders[2].entries[1].kind, 7);
  ASSERT_EQ(saved.folders[0].entries.size(), 2u);
  EXPECT_EQ(saved.folders[0].entries[0].caption, "Alpha");
  EXPECT_EQ(saved.folders[0].entries[0].kind, kWebSiteKind);
}

TEST_F(MenuDefinitionTest, DeepNestingIsWrittenWithoutRecursion) {
  FakeTree tree;
  MenuTreeReader::Node folder = tree.Root();
  const int depth = kMaxMenuFolders + 1;
  for (int i = 0; i < depth; ++i) folder = tree.AddFolder(folder, "f");
  tree.AddEntry(folder, "leaf", "cmd", kNormalCommandKind);
  const std::string path = PathOf("dravlin.ini");
  ProfileFile file(path);
  WriteMenuDefinition(file, kDefaultTriggerKey, tree);
  ASSERT_TRUE(file.Commit());

  const MenuDefinition menu = ReadMenuDefinition(ProfileFile(path));
  ASSERT_EQ(menu.folders.size(), static_cast<std::size_t>(kMaxMenuFolders));
  EXPECT_EQ(menu.folders[kMaxMenuFolders - 1].parent, kMaxMenuFolders - 2);
}

}  // namespace
}  // namespace dravlin
