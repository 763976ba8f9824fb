// The soak's model of a menu file, which decides whether a step lost a menu:
// it must take what the dialog's save makes of a menu for that same menu, and
// tell apart every change a save could wrongly make.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "config/config_tree.h"
#include "fake_config_tree.h"
#include "menufile/file_io.h"
#include "temp_directory.h"
#include "tools/soak/menu_model.h"

namespace dravlin::soak {
namespace {

const char kMenu[] =
    "[general]\r\nVirtKey=45\r\nCount=3\r\n"
    "[folder0]\r\nCount=2\r\nCapt1=one\r\nCommand1=1\r\nCapt2=two\r\nCommand2=http://two/\r\nType2=13008\r\n"
    "[folder1]\r\nText=sub\r\nParentID=0\r\nCount=1\r\nCapt1=deep\r\nCommand1=d\r\n"
    "[folder2]\r\nText=inner\r\nParentID=1\r\nCount=1\r\nCapt1=deeper\r\nCommand1=dd\r\n";

std::string Utf16File(const std::u16string& text) { return EncodeUtf16Text(text, TextEncoding::kUtf16LittleEndian); }

class SoakMenuModelTest : public TempDirectoryTest {
 protected:
  MenuShape Shape(const std::string& bytes) const { return ShapeOfMenuFile(bytes, PathOf("scratch.ini")); }

  // What the configuration dialog's OK leaves in the file: the file loaded
  // into a tree, the user's edit applied, the tree saved over the file.
  std::string SavedByDialog(const std::string& bytes,
                            const std::function<void(FakeConfigTree&, EntryTable&)>& edit = {}) {
    const std::string path = PathOf("dravlin.ini");
    WriteBytes(path, bytes);
    ProfileFile file(path);
    const MenuDefinition menu = ReadMenuDefinition(file);
    FakeConfigTree tree;
    EntryTable entries;
    LoadConfigTree(menu, tree, entries);
    if (edit) edit(tree, entries);
    const TriggerKeyChoice key = ChoiceForTriggerKey(menu.triggerKey);
    SaveConfigTree(file,
                   TriggerKeyForChoices(key == TriggerKeyChoice::kRightCtrl, key == TriggerKeyChoice::kRightShift,
                                        key == TriggerKeyChoice::kInsert, menu.triggerKey),
                   tree, entries);
    EXPECT_TRUE(file.Commit());
    return ReadBytes(path);
  }
};

TEST_F(SoakMenuModelTest, RandomMenuKeepsItsShapeThroughTheDialogsSave) {
  std::mt19937 random(20240601);
  int compared = 0, rewritten = 0;
  for (int i = 0; i < 200; ++i) {
    const std::string menu = RandomMenuFile(random);
    // The dialog refuses or approximates the others.
    if (!AnsiHoldsEveryCharacter(menu)) continue;
    const std::string saved = SavedByDialog(menu);
    EXPECT_EQ(Shape(saved), Shape(menu)) << DescribeDifference(Shape(menu), Shape(saved));
    ++compared;
    rewritten += saved != menu;
  }
  EXPECT_GT(compared, 150);
  EXPECT_GT(rewritten, 100) << "most saves renumber or reorder";
}

TEST_F(SoakMenuModelTest, RootEditsGiveWhatTheDialogSaves) {
  MenuShape expected = Shape(kMenu);
  AddRootFolder(expected, "added folder");
  AddRootEntry(expected, {"added entry", "someone@example.org", kEmailAddressKind});
  RemoveRootItem(expected, "sub");
  RemoveRootItem(expected, "one");
  const std::string saved = SavedByDialog(kMenu, [](FakeConfigTree& tree, EntryTable& entries) {
    const ConfigTree::Item root = tree.Root();
    for (const ConfigTree::Item child : tree.Children(root))
      if (tree.Caption(child) == "sub" || tree.Caption(child) == "one") tree.Delete(child);
    AddPlaceholders(tree, tree.InsertLast(root, "added folder"));
    entries[tree.InsertLast(root, "added entry")] = {"someone@example.org", kEmailAddressKind};
    tree.SortChildren(root);
  });
  EXPECT_EQ(Shape(saved), expected) << DescribeDifference(expected, Shape(saved));
  EXPECT_EQ(DistinctRootCaptions(expected), (std::vector<std::string>{"added entry", "added folder", "two"}));
}

TEST_F(SoakMenuModelTest, TellsApartWhatASaveCouldLose) {
  const MenuShape original = Shape(kMenu);
  const struct {
    const char* change;
    const char* from;
    const char* to;
  } changes[] = {
      {"trigger key", "VirtKey=45", "VirtKey=163"},
      {"entry lost", "Count=2\r\nCapt1=one", "Count=1\r\nCapt1=one"},
      {"folder lost", "Count=3", "Count=2"},
      {"command", "Command1=d", "Command1=e"},
      {"kind", "Type2=13008", "Type2=13011"},
      {"caption", "Text=sub", "Text=Sub"},
      {"folder moved", "ParentID=1", "ParentID=0"},
  };
  for (const auto& c : changes) {
    std::string changed = kMenu;
    changed.replace(changed.find(c.from), std::string(c.from).size(), c.to);
    EXPECT_NE(Shape(changed), original) << c.change;
  }
}

TEST_F(SoakMenuModelTest, Utf16CharacterTheCodePageOnlyApproximatesIsNotLostUnseen) {
  const std::string exact = Utf16File(u"[folder0]\r\nCount=1\r\nCapt1=\u0141\u00F3d\u017A\r\nCommand1=x\r\n");
  const std::string approximated = Utf16File(u"[folder0]\r\nCount=1\r\nCapt1=L\u00F3dz\r\nCommand1=x\r\n");
  EXPECT_FALSE(AnsiHoldsEveryCharacter(exact));
  EXPECT_TRUE(AnsiHoldsEveryCharacter(approximated));
  EXPECT_NE(Shape(exact), Shape(approximated));
}

}  // namespace
}  // namespace dravlin::soak
