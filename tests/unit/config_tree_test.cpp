#include "config/config_tree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_config_tree.h"

namespace dravlin {
namespace {

using Item = ConfigTree::Item;

class ConfigTreeTest : public ::testing::Test {
 protected:
  ConfigTreeTest() : root_(tree_.InsertRoot("Menu")) {}

  Item Folder(const std::string& caption) {
    const Item folder = tree_.InsertLast(root_, caption);
    AddPlaceholders(tree_, folder);
    return folder;
  }
  Item Entry(const std::string& caption) { return tree_.InsertLast(root_, caption); }

  FakeConfigTree tree_;
  Item root_;
};

TEST_F(ConfigTreeTest, SortPutsFoldersThenEntriesByBytesThenPlaceholders) {
  Folder("beta");
  Entry("Alpha");
  Entry("alpha");
  Folder("Zeta");
  AddPlaceholders(tree_, root_);
  tree_.SortChildren(root_);
  EXPECT_EQ(tree_.Outline(root_),
            "Menu[Zeta[(new item),(new folder)],beta[(new item),(new folder)],Alpha,alpha,"
            "(new item),(new folder)]");
}

TEST_F(ConfigTreeTest, CaptionsCompareAsUnsignedBytes) {
  struct Case {
    const char* a;
    const char* b;
    int expected;
  };
  const Case cases[] = {
      {"Zeta", "alpha", -1},      // uppercase before lowercase
      {"abc", "abcd", -1},        // a caption before every longer one it begins
      {"abc", "abc", 0},
      {"z", "\xE9t\xE9", -1},     // bytes above 127 are large, not negative
      {"", "a", -1},
      {"a b", "a-b", -1},
  };
  for (const Case& c : cases) {
    const Item a = Entry(c.a);
    const Item b = Entry(c.b);
    EXPECT_EQ(CompareItems(tree_.Value(a), tree_.Value(b), tree_), c.expected) << c.a << " / " << c.b;
    EXPECT_EQ(CompareItems(tree_.Value(b), tree_.Value(a), tree_), -c.expected) << c.b << " / " << c.a;
  }
}

TEST_F(ConfigTreeTest, PlaceholdersFollowEveryRealItemAndKeepTheirOrder) {
  const std::intptr_t folder = tree_.Value(Folder("zzz"));
  const std::intptr_t entry = tree_.Value(Entry("\xFF"));
  for (const std::intptr_t real : {folder, entry}) {
    for (const std::intptr_t placeholder : {kNewItemValue, kNewFolderValue}) {
      EXPECT_EQ(CompareItems(real, placeholder, tree_), -1);
      EXPECT_EQ(CompareItems(placeholder, real, tree_), 1);
    }
  }
  EXPECT_EQ(CompareItems(kNewItemValue, kNewFolderValue, tree_), -1);
  EXPECT_EQ(CompareItems(kNewFolderValue, kNewItemValue, tree_), 1);
}

TEST_F(ConfigTreeTest, AnEmptyFolderIsAFolder) {
  const Item empty = Folder("b");
  const Item entry = Entry("a");
  EXPECT_EQ(CompareItems(tree_.Value(empty), tree_.Value(entry), tree_), -1);
}

TEST_F(ConfigTreeTest, PlaceholdersGoFirstAndBoldBeforeAnySort) {
  Entry("b");
  const Item folder = Folder("a");
  AddPlaceholders(tree_, root_);
  const std::vector<Item> children = tree_.Children(root_);
  ASSERT_EQ(children.size(), 4u);
  EXPECT_EQ(tree_.Outline(root_), "Menu[(new item),(new folder),b,a[(new item),(new folder)]]");
  EXPECT_EQ(tree_.Value(children[0]), kNewItemValue);
  EXPECT_EQ(tree_.Value(children[1]), kNewFolderValue);
  EXPECT_TRUE(tree_.IsBold(children[0]));
  EXPECT_TRUE(tree_.IsBold(children[1]));
  EXPECT_FALSE(tree_.IsBold(folder));
}

TEST_F(ConfigTreeTest, OnlyFoldersAndEntriesAreEditable) {
  const Item folder = Folder("Links");
  const Item entry = Entry("Home");
  AddPlaceholders(tree_, root_);
  const std::vector<Item> children = tree_.Children(root_);
  EXPECT_FALSE(IsEditable(tree_, 0));
  EXPECT_FALSE(IsEditable(tree_, root_));
  EXPECT_FALSE(IsEditable(tree_, children[0]));
  EXPECT_FALSE(IsEditable(tree_, children[1]));
  EXPECT_TRUE(IsEditable(tree_, folder));
  EXPECT_TRUE(IsEditable(tree_, entry));
}

TEST(TriggerKeyChoiceTest, StoredKeyChecksItsButton) {
  EXPECT_EQ(ChoiceForTriggerKey(163), TriggerKeyChoice::kRightCtrl);
  EXPECT_EQ(ChoiceForTriggerKey(161), TriggerKeyChoice::kRightShift);
  EXPECT_EQ(ChoiceForTriggerKey(45), TriggerKeyChoice::kInsert);
  EXPECT_EQ(ChoiceForTriggerKey(145), TriggerKeyChoice::kNone);
  EXPECT_EQ(ChoiceForTriggerKey(0), TriggerKeyChoice::kNone);
}

TEST(TriggerKeyChoiceTest, InsertWinsOverCtrlWhichWinsOverShiftAndNoneKeepsTheStoredKey) {
  struct Case {
    bool ctrl, shift, insert;
    int stored, key;
  };
  const Case cases[] = {
      {false, false, false, 123, 123}, {false, false, false, 0, 0}, {true, false, false, 123, 163},
      {false, true, false, 123, 161},  {false, false, true, 163, 45}, {true, true, false, 0, 163},
      {true, false, true, 0, 45},      {false, true, true, 0, 45},    {true, true, true, 0, 45},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TriggerKeyForChoices(c.ctrl, c.shift, c.insert, c.stored), c.key)
        << c.ctrl << c.shift << c.insert << " " << c.stored;
}

// Menu[Docs[Deep[...],paper],Empty[],note] with every folder's placeholders.
class MoveTest : public ConfigTreeTest {
 protected:
  MoveTest() {
    docs_ = Folder("Docs");
    deep_ = tree_.InsertLast(docs_, "Deep");
    AddPlaceholders(tree_, deep_);
    paper_ = tree_.InsertLast(docs_, "paper");
    entries_[paper_] = {"print", 13014};
    empty_ = Folder("Empty");
    note_ = Entry("note");
    entries_[note_] = {"http://example.org/", 13008};
    AddPlaceholders(tree_, root_);
    tree_.SortChildren(docs_);
    tree_.SortChildren(root_);
  }

  Item PlaceholderOf(Item folder) const { return tree_.Children(folder).back(); }

  EntryTable entries_;
  Item docs_ = 0, deep_ = 0, paper_ = 0, empty_ = 0, note_ = 0;
};

TEST_F(MoveTest, AFolderNeverGoesIntoItselfOrBelowItself) {
  struct Case {
    const char* what;
    Item item, folder;
    bool allowed;
  };
  const Case cases[] = {
      {"entry into another folder", note_, docs_, true},
      {"entry into a subfolder", paper_, deep_, true},
      {"entry up to the root", paper_, root_, true},
      {"folder into a sibling", docs_, empty_, true},
      {"folder out to the root", deep_, root_, true},
      {"entry into its own folder", note_, root_, false},
      {"folder into itself", docs_, docs_, false},
      {"folder into its subfolder", docs_, deep_, false},
      {"the root", root_, docs_, false},
      {"a placeholder", PlaceholderOf(docs_), empty_, false},
      {"nothing", 0, docs_, false},
      {"into an entry", note_, paper_, false},
      {"into nothing", note_, 0, false},
  };
  for (const Case& c : cases) EXPECT_EQ(CanMoveInto(tree_, c.item, c.folder), c.allowed) << c.what;
}

TEST_F(MoveTest, TheDestinationIsTheSelectedFolderOrTheFolderOfTheSelection) {
  EXPECT_EQ(DestinationFolder(tree_, docs_), docs_);
  EXPECT_EQ(DestinationFolder(tree_, paper_), docs_);
  EXPECT_EQ(DestinationFolder(tree_, PlaceholderOf(empty_)), empty_);
  EXPECT_EQ(DestinationFolder(tree_, root_), root_);
  EXPECT_EQ(DestinationFolder(tree_, 0), root_);
}

TEST_F(MoveTest, AMovedFolderTakesEverythingAlongIntoSortOrder) {
  const Item moved = MoveItem(tree_, entries_, docs_, empty_);
  ASSERT_NE(moved, 0u);
  EXPECT_EQ(tree_.Outline(root_),
            "Menu[Empty[Docs[Deep[(new item),(new folder)],paper,(new item),(new folder)],"
            "(new item),(new folder)],note,(new item),(new folder)]");
  EXPECT_EQ(tree_.Parent(moved), empty_);
  EXPECT_EQ(tree_.Value(moved), static_cast<std::intptr_t>(moved));
  const Item paper = tree_.Children(moved)[1];
  EXPECT_EQ(entries_.at(paper).command, "print");
  EXPECT_EQ(entries_.count(paper_), 0u);
  EXPECT_EQ(tree_.Parent(docs_), 0u) << "the original is gone";
  EXPECT_FALSE(CanMoveInto(tree_, docs_, root_)) << "an item no longer in the tree stays put";
}

TEST_F(MoveTest, AMovedEntryKeepsItsRowAndLandsInSortOrder) {
  const Item moved = MoveItem(tree_, entries_, note_, docs_);
  EXPECT_EQ(tree_.Outline(docs_), "Docs[Deep[(new item),(new folder)],note,paper,(new item),(new folder)]");
  EXPECT_EQ(entries_.at(moved).command, "http://example.org/");
  EXPECT_EQ(entries_.at(moved).kind, 13008);
  EXPECT_EQ(MoveItem(tree_, entries_, docs_, deep_), 0u);
  EXPECT_EQ(tree_.Outline(docs_), "Docs[Deep[(new item),(new folder)],note,paper,(new item),(new folder)]");
}

}  // namespace
}  // namespace dravlin
