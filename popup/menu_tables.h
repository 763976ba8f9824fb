// The running menu's lookup structures, planned from the menu definition apart
// from the window system: what each popup menu holds, the item table and the
// command table.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "menufile/menu_definition.h"

namespace dravlin {

constexpr unsigned kCancelCommandId = 200;
constexpr unsigned kFirstEntryCommandId = 201;
constexpr int kFolderKind = 13009;
constexpr int kCancelKind = 13012;
extern const char kCancelCaption[];
// The root's item that opens the finder, shown where the menu holds more
// entries than kFindItemThreshold: below that, walking the folders is quicker.
constexpr unsigned kFindCommandId = 199;
constexpr int kFindKind = 13016;
constexpr std::size_t kFindItemThreshold = 40;
extern const char kFindCaption[];

// What the popup shows of a large definition. Each folder's menu is a
// window-system object, of which a process may hold 10,000, the host's own
// windows among them; and menus are built item by item, which past a few
// thousand items grows quadratic (under Wine 16,000 items take over 20 s).
#ifndef DRAVLIN_SMALL_MENU_LIMITS
constexpr std::size_t kMaxPopupMenus = 2048;
constexpr std::size_t kMaxMenuItems = 4096;
#else
// The fuzz build: below the definition's own bounds, so that the cuts are reached.
constexpr std::size_t kMaxPopupMenus = 24;
constexpr std::size_t kMaxMenuItems = 96;
#endif
static_assert(kMaxPopupMenus - 1 + 4 <= kMaxMenuItems, "the root's folders, Find, two separators and cancel fit");
// A root cut for room holds more entries than the Find item asks for, so a
// root is cut only when it is full, Find included.
static_assert(kMaxMenuItems - 4 - (kMaxPopupMenus - 1) > kFindItemThreshold, "a cut root shows Find");

// One owner-drawn item. The data of its menu item points at a record that
// holds the position of this one in the item table.
struct ItemRecord {
  std::string caption;
  int kind = 0;
};

// One item of a popup menu, in the order items are appended.
struct PlannedItem {
  enum class Type { Folder, Entry, Separator, Cancel, Find };
  Type type = Type::Entry;
  std::size_t submenu = 0;    // Folder: the folder whose menu it opens
  unsigned commandId = 0;     // Entry, Cancel and Find
  std::size_t itemData = 0;   // every type but Separator: the item table position
};

struct MenuTables {
  int triggerKey = kDefaultTriggerKey;
  std::vector<std::vector<PlannedItem>> menus;  // one per folder; 0 is the root
  std::vector<ItemRecord> items;
  std::vector<std::string> commands;            // command id - 201
};

// Plans every menu: each folder shows its subfolders in folder order, then its
// entries; the root ends with a separator and "(cancel)", and begins with the
// Find item and a separator when there are more than kFindItemThreshold
// entries. Entries take command ids from 201 in folder order, then entry
// order. Folders beyond the first kMaxPopupMenus, and entries beyond a menu's
// kMaxMenuItems, are not shown.
MenuTables PlanMenuTables(const MenuDefinition& definition);

// The name a screen reader speaks for what an item's icon shows: "Folder",
// "Normal command", "Web site" or "E-mail address"; empty for other kinds.
std::string KindName(int kind);

// What choosing a menu item does.
struct EntryAction {
  enum class Type { None, SendCommand, OpenWithShell };
  Type type = Type::None;
  std::string text;  // the command text, or "mailto:" followed by it unless it begins so
};

// The action for a chosen command id whose menu item's data names the item
// table position itemData; ids and positions that name no entry of the tables
// do nothing.
EntryAction ActionForCommand(const MenuTables& tables, unsigned commandId, std::size_t itemData);

}  // namespace dravlin
