#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/config_tree.h"
#include "fake_config_tree.h"
#include "menufile/menu_definition.h"
#include "menufile/profile_file.h"
#include "temp_directory.h"

namespace dravlin {
namespace {

struct StoredValue {
  const char* section;
  const char* key;
  const char* value;  // nullptr: the key must be absent
};

class ConfigLoadSaveTest : public TempDirectoryTest {
 protected:
  // Loads the file text (none: no file) into the tree as the dialog's open does.
  void Load(const char* fileText) {
    const std::string path = PathOf("dravlin.ini");
    if (fileText) WriteBytes(path, fileText);
    menu_ = ReadMenuDefinition(ProfileFile(path));
    LoadConfigTree(menu_, tree_, entries_);
  }

  // Saves the tree into a new file, passing the trigger key through the
  // dialog's radio buttons.
  ProfileFile Save() {
    ProfileFile saved(PathOf("saved.ini"));
    const TriggerKeyChoice choice = ChoiceForTriggerKey(menu_.triggerKey);
    SaveConfigTree(saved,
                   TriggerKeyForChoices(choice == TriggerKeyChoice::kRightCtrl,
                                        choice == TriggerKeyChoice::kRightShift,
                                        choice == TriggerKeyChoice::kInsert, menu_.triggerKey),
                   tree_, entries_);
    return saved;
  }

  static void ExpectValues(const ProfileFile& file, const std::vector<StoredValue>& values) {
    for (const StoredValue& v : values)
      EXPECT_EQ(file.Read(v.section, v.key, "(absent)"), v.value ? v.value : "(absent)")
          << v.section << "/" << v.key;
  }

  // The child of parent with that caption.
  ConfigTree::Item Child(ConfigTree::Item parent, const std::string& caption) const {
    for (const ConfigTree::Item child : tree_.Children(parent))
      if (tree_.Caption(child) == caption) return child;
    return 0;
  }

  MenuDefinition menu_;
  FakeConfigTree tree_;
  EntryTable entries_;
};

TEST_F(ConfigLoadSaveTest, NoFileShowsTheRootWithItsPlaceholders) {
  entries_[42] = {"stale", 1};
  Load(nullptr);
  EXPECT_EQ(tree_.Outline(tree_.Root()), "Menu[(new item),(new folder)]");
  EXPECT_EQ(tree_.Value(tree_.Root()), 0);
  EXPECT_TRUE(entries_.empty());
  ExpectValues(Save(), {{"general", "VirtKey", "163"},
                        {"general", "Count", "1"},
                        {"folder0", "Text", "Menu"},
                        {"folder0", "ParentID", "0"},
                        {"folder0", "Count", "0"},
                        {"folder1", "Text", nullptr}});
}

TEST_F(ConfigLoadSaveTest, LoadSortsEveryFolderAndKeepsEachEntrysRecord) {
  Load("[general]\ncount=3\n"
       "[folder0]\ncount=2\ncapt1=b\ncommand1=bee\ntype1=13008\ncapt2=a\ncommand2=ay\n"
       "[folder1]\nText=Zeta\nparentID=0\n"
       "[folder2]\nText=Alpha\nparentID=0\ncount=1\ncapt1=x\ncommand1=ex\ntype1=5\n");
  EXPECT_EQ(tree_.Outline(tree_.Root()),
            "Menu[Alpha[x,(new item),(new folder)],Zeta[(new item),(new folder)],a,b,"
            "(new item),(new folder)]");
  const ConfigTree::Item root = tree_.Root();
  const auto record = [&](ConfigTree::Item item) { return entries_.at(item); };
  EXPECT_EQ(record(Child(root, "a")).command, "ay");
  EXPECT_EQ(record(Child(root, "a")).kind, kNormalCommandKind);
  EXPECT_EQ(record(Child(root, "b")).command, "bee");
  EXPECT_EQ(record(Child(root, "b")).kind, kWebSiteKind);
  EXPECT_EQ(record(Child(Child(root, "Alpha"), "x")).kind, 5);
  EXPECT_EQ(entries_.size(), 3u);
  for (const ConfigTree::Item item : {Child(root, "a"), Child(root, "Alpha")})
    EXPECT_EQ(tree_.Value(item), static_cast<std::intptr_t>(item));
}

// The load puts every folder's children in their sorted order itself; the
// reference fills in file order and sorts stably, as the control does.
TEST_F(ConfigLoadSaveTest, LoadFillsInTheOrderASortWouldLeave) {
  Load("[general]\ncount=5\n"
       "[folder0]\ncount=5\ncapt1=b\ncommand1=1\ncapt2=B\ncommand2=2\ncapt3=b\ncommand3=3\n"
       "capt4=\ncommand4=4\ncapt5=\xE9\ncommand5=5\n"
       "[folder1]\nText=same\nparentID=0\ncount=1\ncapt1=x\ncommand1=first\n"
       "[folder2]\nText=same\nparentID=0\ncount=1\ncapt1=x\ncommand1=second\n"
       "[folder3]\nText=b\nparentID=0\n"
       "[folder4]\nText=inner\nparentID=1\n");
  FakeConfigTree sorted;
  std::vector<ConfigTree::Item> folders = {sorted.InsertRoot("Menu")};
  for (std::size_t i = 1; i < menu_.folders.size(); ++i)
    folders.push_back(sorted.InsertLast(folders[static_cast<std::size_t>(menu_.folders[i].parent)],
                                        menu_.folders[i].caption));
  EntryTable sortedEntries;
  for (std::size_t i = 0; i < folders.size(); ++i) {
    for (const MenuEntry& entry : menu_.folders[i].entries)
      sortedEntries[sorted.InsertLast(folders[i], entry.caption)] = {entry.command, entry.kind};
    AddPlaceholders(sorted, folders[i]);
  }
  for (const ConfigTree::Item folder : folders) sorted.SortChildren(folder);

  EXPECT_EQ(tree_.Outline(tree_.Root()), sorted.Outline(sorted.Root()));
  EXPECT_EQ(tree_.Outline(tree_.Root()),
            "Menu[b[(new item),(new folder)],same[inner[(new item),(new folder)],x,(new item),(new folder)],"
            "same[x,(new item),(new folder)],,B,b,b,\xE9,(new item),(new folder)]");
  ProfileFile saved = Save();
  tree_ = sorted;
  entries_ = sortedEntries;
  ProfileFile reference = Save();
  for (const char* key : {"Command1", "Command2", "Command3", "Command4", "Command5"})
    EXPECT_EQ(saved.Read("folder0", key, ""), reference.Read("folder0", key, "")) << key;
  EXPECT_EQ(saved.Read("folder0", "Command3", ""), "1");
  EXPECT_EQ(saved.Read("folder2", "Command1", ""), "first");
  EXPECT_EQ(saved.Read("folder4", "Command1", ""), "second");
}

TEST_F(ConfigLoadSaveTest, ParentsOutsideTheEarlierFoldersPlaceTheFolderInTheRoot) {
  Load("[general]\ncount=5\n"
       "[folder1]\nText=one\nparentID=0\n"
       "[folder2]\nText=self\nparentID=2\n"
       "[folder3]\nText=later\nparentID=4\n"
       "[folder4]\nText=negative\nparentID=-1\n");
  EXPECT_EQ(tree_.Outline(tree_.Root()),
            "Menu[later[(new item),(new folder)],negative[(new item),(new folder)],"
            "one[(new item),(new folder)],self[(new item),(new folder)],(new item),(new folder)]");
}

TEST_F(ConfigLoadSaveTest, SaveNumbersFoldersInSortedPreOrder) {
  Load("[general]\ncount=4\n"
       "[folder1]\nText=Zeta\nparentID=0\ncount=1\ncapt1=z\ncommand1=zed\n"
       "[folder2]\nText=Alpha\nparentID=0\n"
       "[folder3]\nText=Inner\nparentID=2\ncount=1\ncapt1=i\ncommand1=eye\ntype1=13011\n");
  ExpectValues(Save(), {{"general", "Count", "4"},
                        {"folder1", "Text", "Alpha"},
                        {"folder1", "ParentID", "0"},
                        {"folder1", "Count", "0"},
                        {"folder2", "Text", "Inner"},
                        {"folder2", "ParentID", "1"},
                        {"folder2", "Capt1", "i"},
                        {"folder2", "Command1", "eye"},
                        {"folder2", "Type1", "13011"},
                        {"folder3", "Text", "Zeta"},
                        {"folder3", "ParentID", "0"},
                        {"folder3", "Capt1", "z"},
                        {"folder3", "Command1", "zed"},
                        {"folder3", "Type1", "13014"}});
}

TEST_F(ConfigLoadSaveTest, SaveNumbersEntriesByCaptionAndSubfoldersTakeNone) {
  Load("[general]\ncount=3\nVirtKey=45\n"
       "[folder0]\ncount=3\ncapt1=b\ncommand1=bee\ntype1=7\ncapt2=a\ncommand2=ay\ncapt3=Item\n"
       "[folder1]\nText=Sub\nparentID=0\n"
       "[folder2]\nText=Empty\nparentID=1\n");
  ExpectValues(Save(), {{"general", "VirtKey", "45"},
                        {"general", "Count", "3"},
                        {"folder0", "Count", "3"},
                        {"folder0", "Capt1", "Item"},
                        {"folder0", "Capt2", "a"},
                        {"folder0", "Command2", "ay"},
                        {"folder0", "Type2", "13014"},
                        {"folder0", "Capt3", "b"},
                        {"folder0", "Command3", "bee"},
                        {"folder0", "Type3", "7"},
                        {"folder1", "Text", "Sub"},
                        {"folder1", "Count", "0"},
                        {"folder2", "Text", "Empty"},
                        {"folder2", "ParentID", "1"},
                        {"folder2", "Count", "0"}});
}

TEST_F(ConfigLoadSaveTest, AHandWrittenTriggerKeySurvivesTheSave) {
  for (const char* key : {"123", "145", "0"}) {
    Load(("[general]\nVirtKey=" + std::string(key) + "\n").c_str());
    ExpectValues(Save(), {{"general", "VirtKey", key}});
  }
}

TEST_F(ConfigLoadSaveTest, RemovedFolderIsSavedWithNothingInside) {
  Load("[general]\ncount=3\n"
       "[folder0]\ncount=1\ncapt1=Home\n"
       "[folder1]\nText=Links\nparentID=0\ncount=1\ncapt1=site\n"
       "[folder2]\nText=Deep\nparentID=1\n");
  tree_.Delete(Child(tree_.Root(), "Links"));
  ExpectValues(Save(), {{"general", "Count", "1"},
                        {"folder0", "Count", "1"},
                        {"folder0", "Capt1", "Home"},
                        {"folder1", "Text", nullptr}});
}

}  // namespace
}  // namespace dravlin
