#include "popup/menu_tables.h"

#include <gtest/gtest.h>

#include "menufile/profile_file.h"
#include "tests/unit/temp_directory.h"

namespace dravlin {
namespace {

using Type = PlannedItem::Type;

class MenuTablesTest : public TempDirectoryTest {
 protected:
  MenuTables Plan(const std::string& ini) {
    const std::string path = PathOf("dravlin.ini");
    WriteBytes(path, ini);
    return PlanMenuTables(ReadMenuDefinition(ProfileFile(path)));
  }

  // The invariants every build keeps, whatever the file held.
  static void ExpectInvariants(const MenuTables& t) {
    const size_t folders = t.menus.size();
    const bool find = t.commands.size() > kFindItemThreshold;
    ASSERT_EQ(t.items.size(), folders - 1 + t.commands.size() + (find ? 2 : 1));
    if (find) {
      EXPECT_EQ(t.menus[0][0].type, Type::Find);
      EXPECT_EQ(t.menus[0][0].commandId, kFindCommandId);
      EXPECT_EQ(t.items[t.menus[0][0].itemData].caption, "Find...\tCtrl+F");
      EXPECT_EQ(t.menus[0][1].type, Type::Separator);
    }
    std::vector<bool> idSeen(t.commands.size(), false);
    for (const auto& menu : t.menus)
      for (const PlannedItem& item : menu) {
        if (item.type == Type::Entry) {
          ASSERT_GE(item.commandId, kFirstEntryCommandId);
          const size_t index = item.commandId - kFirstEntryCommandId;
          ASSERT_LT(index, idSeen.size());
          idSeen[index] = true;
          EXPECT_EQ(item.itemData, folders - 1 + index);
        }
        if (item.type == Type::Folder) EXPECT_EQ(item.itemData, item.submenu - 1);
      }
    for (bool seen : idSeen) EXPECT_TRUE(seen);
    EXPECT_EQ(t.items.back().caption, "(cancel)");
    EXPECT_EQ(t.items.back().kind, kCancelKind);
  }
};

TEST_F(MenuTablesTest, NoFileGivesRootWithSeparatorAndCancel) {
  const MenuTables t = Plan("");
  EXPECT_EQ(t.triggerKey, 163);
  ASSERT_EQ(t.menus.size(), 1u);
  ASSERT_EQ(t.menus[0].size(), 2u);
  EXPECT_EQ(t.menus[0][0].type, Type::Separator);
  EXPECT_EQ(t.menus[0][1].type, Type::Cancel);
  EXPECT_EQ(t.menus[0][1].commandId, 200u);
  EXPECT_EQ(t.menus[0][1].itemData, 0u);
  ExpectInvariants(t);
}

TEST_F(MenuTablesTest, FolderWithoutRootCountHoldsTwoEntries) {
  const MenuTables t = Plan(
      "[general]\ncount=2\n[folder1]\nparentID=0\nText=Links\ncount=2\n"
      "capt1=A\ncommand1=a\ncapt2=B\ncommand2=b\n");
  ASSERT_EQ(t.menus[0].size(), 3u);
  EXPECT_EQ(t.menus[0][0].type, Type::Folder);
  EXPECT_EQ(t.menus[0][0].submenu, 1u);
  ASSERT_EQ(t.menus[1].size(), 2u);
  EXPECT_EQ(t.menus[1][0].commandId, 201u);
  EXPECT_EQ(t.menus[1][1].commandId, 202u);
  ASSERT_EQ(t.items.size(), 4u);
  EXPECT_EQ(t.items[0].caption, "Links");
  EXPECT_EQ(t.items[0].kind, kFolderKind);
  EXPECT_EQ(t.items[1].caption, "A");
  EXPECT_EQ(t.commands, (std::vector<std::string>{"a", "b"}));
  ExpectInvariants(t);
}

TEST_F(MenuTablesTest, IdsFollowFolderOrderWhateverTheSectionOrder) {
  const MenuTables t = Plan(
      "[folder1]\ncount=3\ncapt1=x\ncapt2=y\ncapt3=z\nText=Sub\n"
      "[folder2]\ncount=0\n[folder3]\ncount=1\ncapt1=w\nparentID=1\n"
      "[folder0]\ncount=2\ncapt1=r1\ncapt2=r2\n[general]\ncount=4\n");
  // Root: folder items first (Sub and folder 2), then its entries, separator, cancel.
  ASSERT_EQ(t.menus[0].size(), 6u);
  EXPECT_EQ(t.menus[0][0].type, Type::Folder);
  EXPECT_EQ(t.menus[0][1].type, Type::Folder);
  EXPECT_EQ(t.menus[0][2].commandId, 201u);
  EXPECT_EQ(t.menus[0][3].commandId, 202u);
  EXPECT_EQ(t.menus[1][0].type, Type::Folder);  // folder 3 inside Sub, above Sub's entries
  EXPECT_EQ(t.menus[1][1].commandId, 203u);
  EXPECT_EQ(t.menus[1][3].commandId, 205u);
  EXPECT_TRUE(t.menus[2].empty());  // an empty folder takes no ids
  EXPECT_EQ(t.menus[3][0].commandId, 206u);
  ExpectInvariants(t);
}

TEST_F(MenuTablesTest, EntryKindsAndTheirActions) {
  const MenuTables t = Plan(
      "[folder0]\ncount=6\n"
      "capt1=n\ncommand1=say hi\n"
      "capt2=w\ncommand2=http://example.org/\ntype2=13008\n"
      "capt3=m\ncommand3=someone@example.org\ntype3=13011\n"
      "capt4=bad\ncommand4=c4\ntype4=abc\n"
      "capt5=f\ncommand5=c5\ntype5=13009\n"
      "capt6=empty\n");
  ExpectInvariants(t);
  const int kinds[] = {kNormalCommandKind, kWebSiteKind, kEmailAddressKind, 0, kFolderKind, kNormalCommandKind};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(t.items[i].kind, kinds[i]) << i;

  using A = EntryAction::Type;
  auto act = [&](unsigned id) { return ActionForCommand(t, id, id - kFirstEntryCommandId); };
  EXPECT_EQ(act(201).type, A::SendCommand);
  EXPECT_EQ(act(201).text, "say hi");
  EXPECT_EQ(act(202).type, A::OpenWithShell);
  EXPECT_EQ(act(202).text, "http://example.org/");
  EXPECT_EQ(act(203).text, "mailto:someone@example.org");
  EXPECT_EQ(act(204).type, A::None);
  EXPECT_EQ(act(205).type, A::None);
  EXPECT_EQ(act(206).type, A::SendCommand);
  EXPECT_EQ(act(206).text, "");
  EXPECT_EQ(ActionForCommand(t, kCancelCommandId, 6).type, A::None);
  EXPECT_EQ(ActionForCommand(t, 207, 6).type, A::None);
  EXPECT_EQ(ActionForCommand(t, 201, 99).type, A::None);
}

// An address typed with its scheme, in any letter case, is not given a second one.
TEST_F(MenuTablesTest, EmailAddressIsPrefixedOnlyWithoutTheScheme) {
  const struct {
    const char* command;
    const char* opened;
  } cases[] = {
      {"x@example.org", "mailto:x@example.org"},
      {"mailto:x@example.org", "mailto:x@example.org"},
      {"MailTo:x@example.org?subject=Hi", "MailTo:x@example.org?subject=Hi"},
      {"mailto:", "mailto:"},
      {"mailto", "mailto:mailto"},
      {"mailtox@example.org", "mailto:mailtox@example.org"},
      {" mailto:x@example.org", "mailto: mailto:x@example.org"},
      {"", "mailto:"},
  };
  for (const auto& c : cases) {
    MenuTables t;
    t.items = {{"m", kEmailAddressKind}};
    t.commands = {c.command};
    const EntryAction action = ActionForCommand(t, kFirstEntryCommandId, 0);
    EXPECT_EQ(action.type, EntryAction::Type::OpenWithShell) << c.command;
    EXPECT_EQ(action.text, c.opened) << c.command;
  }
}

TEST_F(MenuTablesTest, ParentOutsideEarlierFoldersGoesToTheRoot) {
  const MenuTables t = Plan(
      "[general]\ncount=4\n[folder1]\nparentID=3\nText=Later\ncount=1\ncapt1=a\n"
      "[folder2]\nparentID=-5\nText=Negative\n[folder3]\nparentID=1\nText=Inner\ncount=1\ncapt1=b\n");
  ASSERT_EQ(t.menus[0].size(), 4u);
  EXPECT_EQ(t.menus[0][0].submenu, 1u);
  EXPECT_EQ(t.menus[0][1].submenu, 2u);
  EXPECT_EQ(t.menus[1][0].submenu, 3u);
  EXPECT_EQ(t.menus[1][1].commandId, 201u);
  EXPECT_EQ(t.menus[3][0].commandId, 202u);
  ExpectInvariants(t);
}

// The fuzz build scales these down; the shipped ones are pinned here.
static_assert(kMaxPopupMenus == 2048 && kMaxMenuItems == 4096, "the shipped popup limits");

TEST_F(MenuTablesTest, HugeDefinitionGivesABoundedPopup) {
  MenuDefinition definition;
  definition.folders.resize(3000);  // all in the root
  for (std::size_t f : {0, 1, 2500}) definition.folders[f].entries.resize(5000, MenuEntry{"e", "c"});
  const MenuTables t = PlanMenuTables(definition);
  ASSERT_EQ(t.menus.size(), kMaxPopupMenus);
  const std::size_t rootEntries = kMaxMenuItems - (kMaxPopupMenus - 1) - 4;
  ASSERT_EQ(t.menus[0].size(), kMaxMenuItems);
  EXPECT_EQ(t.menus[0][kMaxPopupMenus + 1].commandId, 201u);
  EXPECT_EQ(t.menus[0][kMaxMenuItems - 3].commandId, 200 + rootEntries);
  ASSERT_EQ(t.menus[1].size(), kMaxMenuItems);
  EXPECT_EQ(t.menus[1][0].commandId, 201 + rootEntries);
  EXPECT_EQ(t.commands.size(), rootEntries + kMaxMenuItems);
  ExpectInvariants(t);
}

TEST_F(MenuTablesTest, FindItemOnlyAboveFortyEntries) {
  for (const std::size_t entries : {40, 41}) {
    MenuDefinition definition;
    definition.folders.resize(2);
    definition.folders[1].entries.resize(entries, MenuEntry{"e", "c"});
    const MenuTables t = PlanMenuTables(definition);
    ASSERT_EQ(t.menus[0].size(), entries == 40 ? 3u : 5u) << entries;
    EXPECT_EQ(t.menus[0][entries == 40 ? 0 : 2].type, Type::Folder);
    EXPECT_EQ(t.menus[0][0].itemData, entries == 40 ? 0u : entries + 1) << "the Find record follows the entries";
    EXPECT_EQ(t.menus[0].back().itemData, t.items.size() - 1);
    ExpectInvariants(t);
  }
}

TEST_F(MenuTablesTest, RebuildShowsOnlyTheNewContents) {
  Plan("[folder0]\ncount=2\ncapt1=old1\ncapt2=old2\n[general]\nVirtKey=163\n");
  const MenuTables t = Plan("[folder0]\ncount=1\ncapt1=new\n[general]\nVirtKey=45\n");
  EXPECT_EQ(t.triggerKey, 45);
  ASSERT_EQ(t.items.size(), 2u);
  EXPECT_EQ(t.items[0].caption, "new");
  ExpectInvariants(t);
}

}  // namespace
}  // namespace dravlin
