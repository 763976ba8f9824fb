#include "popup/menu_tables.h"

#include <algorithm>
#include <string_view>

namespace dravlin {

const char kCancelCaption[] = "(cancel)";
const char kFindCaption[] = "Find...\tCtrl+F";

namespace {

constexpr std::string_view kMailto = "mailto:";

// Whether an address already carries the scheme, as users often type it; URL
// schemes ignore letter case.
bool HasMailtoScheme(const std::string& command) {
  if (command.size() < kMailto.size()) return false;
  return std::equal(kMailto.begin(), kMailto.end(), command.begin(), [](char scheme, char typed) {
    return scheme == (typed >= 'A' && typed <= 'Z' ? typed - 'A' + 'a' : typed);
  });
}

}  // namespace

MenuTables PlanMenuTables(const MenuDefinition& definition) {
  MenuTables tables;
  tables.triggerKey = definition.triggerKey;
  const std::size_t folders = std::clamp<std::size_t>(definition.folders.size(), 1, kMaxPopupMenus);
  tables.menus.resize(folders);

  for (std::size_t i = 1; i < folders; ++i) {
    const MenuFolder& folder = definition.folders[i];
    PlannedItem item;
    item.type = PlannedItem::Type::Folder;
    item.submenu = i;
    item.itemData = tables.items.size();
    tables.menus[static_cast<std::size_t>(folder.parent)].push_back(item);
    tables.items.push_back({folder.caption, kFolderKind});
  }

  unsigned nextId = kFirstEntryCommandId;
  for (std::size_t i = 0; i < std::min(folders, definition.folders.size()); ++i) {
    // The root keeps room for its Find item and two separators and cancel.
    const std::size_t room = i == 0 ? kMaxMenuItems - 4 : kMaxMenuItems;
    for (const MenuEntry& entry : definition.folders[i].entries) {
      if (tables.menus[i].size() >= room) break;
      PlannedItem item;
      item.commandId = nextId++;
      item.itemData = tables.items.size();
      tables.menus[i].push_back(item);
      tables.items.push_back({entry.caption, entry.kind});
      tables.commands.push_back(entry.command);
    }
  }

  PlannedItem separator;
  separator.type = PlannedItem::Type::Separator;
  if (tables.commands.size() > kFindItemThreshold) {
    PlannedItem find;
    find.type = PlannedItem::Type::Find;
    find.commandId = kFindCommandId;
    find.itemData = tables.items.size();
    tables.menus[0].insert(tables.menus[0].begin(), {find, separator});
    tables.items.push_back({kFindCaption, kFindKind});
  }
  PlannedItem cancel;
  cancel.type = PlannedItem::Type::Cancel;
  cancel.commandId = kCancelCommandId;
  cancel.itemData = tables.items.size();
  tables.menus[0].push_back(separator);
  tables.menus[0].push_back(cancel);
  tables.items.push_back({kCancelCaption, kCancelKind});
  return tables;
}

std::string KindName(int kind) {
  switch (kind) {
    case kFolderKind: return "Folder";
    case kNormalCommandKind: return "Normal command";
    case kWebSiteKind: return "Web site";
    case kEmailAddressKind: return "E-mail address";
    default: return {};
  }
}

EntryAction ActionForCommand(const MenuTables& tables, unsigned commandId, std::size_t itemData) {
  EntryAction action;
  if (commandId < kFirstEntryCommandId || itemData >= tables.items.size()) return action;
  const std::size_t commandIndex = commandId - kFirstEntryCommandId;
  if (commandIndex >= tables.commands.size()) return action;
  const std::string& command = tables.commands[commandIndex];
  switch (tables.items[itemData].kind) {
    case kNormalCommandKind:
      action = {EntryAction::Type::SendCommand, command};
      break;
    case kWebSiteKind:
      action = {EntryAction::Type::OpenWithShell, command};
      break;
    case kEmailAddressKind:
      action = {EntryAction::Type::OpenWithShell, HasMailtoScheme(command) ? command : "mailto:" + command};
      break;
    default:
      break;
  }
  return action;
}

}  // namespace dravlin
