// Any menu definition file gives a definition and popup menus within the
// documented bounds, whose tables keep their invariants: every folder and
// entry shown has exactly one item, command ids run from 201 without gaps,
// and every folder hangs below a lower-numbered one, so all are reachable
// from the root.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "menufile/menu_definition.h"
#include "menufile/profile_file.h"
#include "popup/menu_tables.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using namespace dravlin;

void CheckDefinition(const MenuDefinition& definition) {
  FUZZ_CHECK(!definition.folders.empty(), "the root folder is present");
  FUZZ_CHECK(definition.folders.size() <= static_cast<std::size_t>(kMaxMenuFolders), "folders bounded");
  std::size_t entries = 0;
  for (std::size_t i = 0; i < definition.folders.size(); ++i) {
    const MenuFolder& folder = definition.folders[i];
    if (i > 0) FUZZ_CHECK(folder.parent >= 0 && static_cast<std::size_t>(folder.parent) < i, "parent below");
    entries += folder.entries.size();
  }
  FUZZ_CHECK(entries <= static_cast<std::size_t>(kMaxMenuEntries), "entries bounded");
}

void CheckTables(const MenuDefinition& definition, const MenuTables& tables) {
  const std::size_t folders = tables.menus.size();
  const std::size_t entries = tables.commands.size();
  FUZZ_CHECK(folders == std::min(definition.folders.size(), kMaxPopupMenus), "one menu per folder shown");
  const bool find = entries > kFindItemThreshold;
  FUZZ_CHECK(tables.items.size() == folders - 1 + entries + (find ? 2 : 1), "item count");
  FUZZ_CHECK(find == (tables.menus[0].front().type == PlannedItem::Type::Find), "Find first above the threshold");

  std::vector<int> idUses(entries, 0);
  std::vector<int> itemUses(tables.items.size(), 0);
  std::vector<int> submenuUses(folders, 0);
  std::vector<std::size_t> parentOf(folders, 0);
  for (std::size_t m = 0; m < folders; ++m) {
    const std::vector<PlannedItem>& menu = tables.menus[m];
    FUZZ_CHECK(menu.size() <= kMaxMenuItems, "items of one menu bounded");
    std::size_t shown = 0;
    for (const PlannedItem& item : menu) {
      if (item.type == PlannedItem::Type::Separator) continue;
      FUZZ_CHECK(item.itemData < tables.items.size(), "item data names a record");
      ++itemUses[item.itemData];
      if (item.type == PlannedItem::Type::Entry) {
        FUZZ_CHECK(item.commandId >= kFirstEntryCommandId && item.commandId <= 0xFFFF, "16-bit entry id");
        const std::size_t index = item.commandId - kFirstEntryCommandId;
        FUZZ_CHECK(index < entries, "entry id within the entries");
        ++idUses[index];
        // A folder shows the first of its entries, in their order.
        const std::vector<MenuEntry>& defined = definition.folders[m].entries;
        FUZZ_CHECK(shown < defined.size() && tables.commands[index] == defined[shown].command &&
                       tables.items[item.itemData].caption == defined[shown].caption,
                   "entries shown in their order");
        ++shown;
      } else if (item.type == PlannedItem::Type::Folder) {
        FUZZ_CHECK(item.submenu > 0 && item.submenu < folders, "submenu names a folder");
        ++submenuUses[item.submenu];
        parentOf[item.submenu] = m;
      } else if (item.type == PlannedItem::Type::Find) {
        FUZZ_CHECK(m == 0 && item.commandId == kFindCommandId, "Find in the root only");
      } else {
        FUZZ_CHECK(m == 0 && item.commandId == kCancelCommandId, "cancel in the root only");
      }
    }
    // Entries are left out only of a full menu.
    if (shown < definition.folders[m].entries.size()) {
      FUZZ_CHECK(menu.size() == kMaxMenuItems, "cut only when full");
    }
  }
  for (int uses : idUses) FUZZ_CHECK(uses == 1, "command ids without gaps or repeats");
  for (int uses : itemUses) FUZZ_CHECK(uses == 1, "each record shown once");
  // With every parent below its folder, walking up always ends at the root.
  for (std::size_t f = 1; f < folders; ++f) {
    FUZZ_CHECK(submenuUses[f] == 1, "each folder opened from one item");
    FUZZ_CHECK(parentOf[f] < f, "parent below the folder");
  }
  const std::vector<PlannedItem>& root = tables.menus[0];
  FUZZ_CHECK(root.size() >= 2 && root[root.size() - 2].type == PlannedItem::Type::Separator &&
                 root.back().type == PlannedItem::Type::Cancel,
             "the root ends with a separator and cancel");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ProfileFile file("dravlin.ini", std::string(reinterpret_cast<const char*>(data), size));
  const MenuDefinition definition = ReadMenuDefinition(file);
  CheckDefinition(definition);
  CheckTables(definition, PlanMenuTables(definition));
  return 0;
}
