// The menu definition: the trigger key and the folder tree of the popup menu,
// as the readers take it from the file and the save writes it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "menufile/profile_file.h"

namespace dravlin {

constexpr int kDefaultTriggerKey = 163;  // right Ctrl
constexpr int kNormalCommandKind = 13014;
constexpr int kWebSiteKind = 13008;
constexpr int kEmailAddressKind = 13011;

#ifndef DRAVLIN_SMALL_MENU_LIMITS
// Menu command ids are 16 bits wide; 200 is "(cancel)", entries take 201 up.
constexpr int kMaxMenuEntries = 0xFFFF - 200;
// Folders take no command id; the bound keeps a damaged count from costing
// more than a moment and more menus than a process may hold.
constexpr int kMaxMenuFolders = 0xFFFF;
#else
// The fuzz build: the same clamps, small enough that an input reaching them
// costs no more than any other.
constexpr int kMaxMenuEntries = 300;
constexpr int kMaxMenuFolders = 40;
#endif

struct MenuEntry {
  std::string caption;
  std::string command;
  int kind = kNormalCommandKind;
};

struct MenuFolder {
  std::string caption;
  int parent = 0;  // the number of the containing folder, always below the folder's own
  std::vector<MenuEntry> entries;
};

struct MenuDefinition {
  int triggerKey = kDefaultTriggerKey;
  std::vector<MenuFolder> folders;  // folder 0, the root, is always present
};

// Reads the trigger key and the folders as both readers do. A parent number
// outside 0 .. i-1 attaches folder i to the root; a folder count below 1 reads
// as 1; folders and entries beyond the bounds above are left out.
MenuDefinition ReadMenuDefinition(const ProfileFile& file);

// The save's view of the configuration tree. Nodes are opaque ids, such as
// tree-view item handles.
class MenuTreeReader {
 public:
  using Node = std::uintptr_t;

  virtual ~MenuTreeReader() = default;
  // The root folder.
  virtual Node Root() const = 0;
  // A folder's folders and entries in display order.
  virtual std::vector<Node> Children(Node folder) const = 0;
  // Whether the node is a folder rather than an entry.
  virtual bool IsFolder(Node node) const = 0;
  // The caption of a folder or an entry.
  virtual std::string Caption(Node node) const = 0;
  // The command text of an entry.
  virtual std::string Command(Node entry) const = 0;
  // The entry kind of an entry.
  virtual int Kind(Node entry) const = 0;
};

// Writes the trigger key and the tree, folders numbered in pre-order and
// entries from 1 in each folder. Keys beyond the new counts stay; the caller
// commits the file.
void WriteMenuDefinition(ProfileFile& file, int triggerKey, const MenuTreeReader& tree);

}  // namespace dravlin
