// The configuration editor's rules, apart from the window system: the order of
// a folder's children, the placeholder items every folder carries, and how the
// tree is filled from a menu definition and written back.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "menufile/menu_definition.h"
#include "menufile/profile_file.h"

namespace dravlin {

// Application values of the placeholder items. The root's value is 0; every
// other item's value is the item itself.
constexpr std::intptr_t kNewItemValue = -1;
constexpr std::intptr_t kNewFolderValue = -2;

extern const char kRootCaption[];
extern const char kNewItemCaption[];
extern const char kNewFolderCaption[];

// Command text and entry kind of a menu entry.
struct EntryRecord {
  std::string command;
  int kind = kNormalCommandKind;
};

// The configuration tree: items with captions, application values and
// children. A folder, the root included, always has children (at least its
// placeholder items); a menu entry never has any.
class ConfigTree {
 public:
  using Item = MenuTreeReader::Node;  // an item; 0 stands for none

  virtual ~ConfigTree() = default;

  // The first top-level item: the root.
  virtual Item Root() const = 0;
  // An item's children in display order, placeholder items included.
  virtual std::vector<Item> Children(Item item) const = 0;
  virtual bool HasChildren(Item item) const = 0;
  virtual std::string Caption(Item item) const = 0;
  virtual std::intptr_t Value(Item item) const = 0;
  // The folder that holds the item; 0 for the root and for an item no longer in the tree.
  virtual Item Parent(Item item) const = 0;

  // Inserts the root as the last top-level item; its value stays 0.
  virtual Item InsertRoot(const std::string& caption) = 0;
  // Inserts a plain item as the last child of parent, its value the item itself.
  virtual Item InsertLast(Item parent, const std::string& caption) = 0;
  enum class Place { kFirst, kLast };
  // Inserts a bold item with the given value as the first or the last child of parent.
  virtual void InsertPlaceholder(Item parent, const std::string& caption, std::intptr_t value, Place place) = 0;
  // Orders parent's direct children by CompareItems.
  virtual void SortChildren(Item parent) = 0;
  // Removes the item with everything below it.
  virtual void Delete(Item item) = 0;
};

// The command text and entry kind of every menu entry, by tree item. Rows of
// removed items stay and are never read again.
using EntryTable = std::map<ConfigTree::Item, EntryRecord>;

// Whether an application value marks a placeholder item. Only the two values
// count, so that any other value, even one above 2 GB in a 32-bit process, is
// a real item.
bool IsPlaceholder(std::intptr_t value);

// Whether Edit and Remove may act on the item: a folder or an entry, not
// nothing, the root or a placeholder.
bool IsEditable(const ConfigTree& tree, ConfigTree::Item item);

// The folder that new items and pasted ones go into when item is selected:
// the item itself when it is a folder, else the folder holding it; the root
// when nothing is selected.
ConfigTree::Item DestinationFolder(const ConfigTree& tree, ConfigTree::Item item);

// Whether item may move into folder: a folder or an entry still in the tree,
// into a folder other than its own, never into itself or below itself.
bool CanMoveInto(const ConfigTree& tree, ConfigTree::Item item, ConfigTree::Item folder);

// Moves item with everything below it into folder, where it takes its place
// in sort order; the rows of moved entries follow them. Returns the item as it
// now stands in the tree, or 0 when CanMoveInto refuses.
ConfigTree::Item MoveItem(ConfigTree& tree, EntryTable& entries, ConfigTree::Item item, ConfigTree::Item folder);

// The sort order of siblings, given their application values; negative puts
// a first. Folders before entries, each by caption compared byte by byte as
// unsigned and case-sensitive, then "(new item)", then "(new folder)".
int CompareItems(std::intptr_t a, std::intptr_t b, const ConfigTree& tree);

// Gives a folder its two placeholder items as its first children, "(new
// item)" above "(new folder)".
void AddPlaceholders(ConfigTree& tree, ConfigTree::Item folder);

// Fills an empty tree and the entry table from the menu definition: the root,
// every folder under its parent, every entry under its folder, placeholders in
// every folder, each folder's children inserted already in sorted order.
void LoadConfigTree(const MenuDefinition& menu, ConfigTree& tree, EntryTable& entries);

// Writes the trigger key and the tree (placeholders skipped, entries with
// their rows) in memory; the caller commits the file.
void SaveConfigTree(ProfileFile& file, int triggerKey, const ConfigTree& tree,
                    const EntryTable& entries);

// The three trigger keys the dialog offers.
enum class TriggerKeyChoice { kNone, kRightCtrl, kRightShift, kInsert };

// The choice to check for a stored key; kNone for any other key.
TriggerKeyChoice ChoiceForTriggerKey(int key);

// The key to store for the checked choices: Insert wins over right Ctrl, which
// wins over right Shift; the stored key, whatever it is, when none is checked.
int TriggerKeyForChoices(bool rightCtrl, bool rightShift, bool insert, int storedKey);

}  // namespace dravlin
