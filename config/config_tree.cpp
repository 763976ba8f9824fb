#include "config/config_tree.h"

#include <algorithm>
#include <cstddef>
#include <numeric>
#include <vector>

namespace dravlin {

const char kRootCaption[] = "Menu";
const char kNewItemCaption[] = "(new item)";
const char kNewFolderCaption[] = "(new folder)";

namespace {

constexpr int kRightCtrlKey = 163;
constexpr int kRightShiftKey = 161;
constexpr int kInsertKey = 45;

int Sign(int value) { return (value > 0) - (value < 0); }

// The save's view: folders and entries only, entries with their rows.
class SaveView : public MenuTreeReader {
 public:
  SaveView(const ConfigTree& tree, const EntryTable& entries) : tree_(tree), entries_(entries) {}

  Node Root() const override { return tree_.Root(); }

  std::vector<Node> Children(Node folder) const override {
    std::vector<Node> children;
    for (const Node child : tree_.Children(folder))
      if (!IsPlaceholder(tree_.Value(child))) children.push_back(child);
    return children;
  }

  bool IsFolder(Node node) const override { return tree_.HasChildren(node); }
  std::string Caption(Node node) const override { return tree_.Caption(node); }
  std::string Command(Node entry) const override { return Row(entry).command; }
  int Kind(Node entry) const override { return Row(entry).kind; }

 private:
  const EntryRecord& Row(Node entry) const {
    static const EntryRecord kNone;
    const auto row = entries_.find(entry);
    return row == entries_.end() ? kNone : row->second;
  }

  const ConfigTree& tree_;
  const EntryTable& entries_;
};

// A folder's children as they are to show: its subfolders by folder number and
// its entries by position, each stably sorted by caption. The control's sort is
// stable too, so equal captions keep the order it would leave them in.
struct ChildOrder {
  std::vector<std::size_t> folders;
  std::vector<std::size_t> entries;
};

template <typename Caption>
void SortByCaption(std::vector<std::size_t>& order, Caption caption) {
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return caption(a).compare(caption(b)) < 0; });
}

std::vector<ChildOrder> OrderChildren(const MenuDefinition& menu) {
  std::vector<ChildOrder> orders(menu.folders.size());
  for (std::size_t i = 1; i < menu.folders.size(); ++i) {
    const int parent = menu.folders[i].parent;
    const bool parentKnown = parent >= 0 && static_cast<std::size_t>(parent) < i;
    orders[parentKnown ? static_cast<std::size_t>(parent) : 0].folders.push_back(i);
  }
  for (std::size_t i = 0; i < orders.size(); ++i) {
    const std::vector<MenuEntry>& entries = menu.folders[i].entries;
    SortByCaption(orders[i].folders, [&](std::size_t f) -> const std::string& { return menu.folders[f].caption; });
    orders[i].entries.resize(entries.size());
    std::iota(orders[i].entries.begin(), orders[i].entries.end(), std::size_t{0});
    SortByCaption(orders[i].entries, [&](std::size_t e) -> const std::string& { return entries[e].caption; });
  }
  return orders;
}

}  // namespace

bool IsPlaceholder(std::intptr_t value) { return value == kNewItemValue || value == kNewFolderValue; }

bool IsEditable(const ConfigTree& tree, ConfigTree::Item item) {
  return item != 0 && item != tree.Root() && !IsPlaceholder(tree.Value(item));
}

ConfigTree::Item DestinationFolder(const ConfigTree& tree, ConfigTree::Item item) {
  if (item == 0) return tree.Root();
  return tree.HasChildren(item) ? item : tree.Parent(item);
}

bool CanMoveInto(const ConfigTree& tree, ConfigTree::Item item, ConfigTree::Item folder) {
  if (!IsEditable(tree, item) || tree.Parent(item) == 0 || folder == 0 || !tree.HasChildren(folder)) return false;
  if (tree.Parent(item) == folder) return false;
  for (ConfigTree::Item above = folder; above != 0; above = tree.Parent(above))
    if (above == item) return false;
  return true;
}

ConfigTree::Item MoveItem(ConfigTree& tree, EntryTable& entries, ConfigTree::Item item, ConfigTree::Item folder) {
  if (!CanMoveInto(tree, item, folder)) return 0;
  // The control cannot move an item, so the branch is copied and the original
  // deleted. A queue rather than recursion: folders may nest deeper than the
  // host's stack allows; it also keeps each folder's children in their order.
  struct Copy {
    ConfigTree::Item from, to;
  };
  const ConfigTree::Item moved = tree.InsertLast(folder, tree.Caption(item));
  std::vector<Copy> left = {{item, moved}};
  for (std::size_t next = 0; next < left.size(); ++next) {
    const Copy copy = left[next];
    const auto row = entries.find(copy.from);
    if (row != entries.end()) {
      entries[copy.to] = std::move(row->second);
      entries.erase(row);
    }
    for (const ConfigTree::Item child : tree.Children(copy.from)) {
      const std::intptr_t value = tree.Value(child);
      if (IsPlaceholder(value)) {
        tree.InsertPlaceholder(copy.to, tree.Caption(child), value, ConfigTree::Place::kLast);
      } else {
        left.push_back({child, tree.InsertLast(copy.to, tree.Caption(child))});
      }
    }
  }
  tree.Delete(item);
  tree.SortChildren(folder);
  return moved;
}

int CompareItems(std::intptr_t a, std::intptr_t b, const ConfigTree& tree) {
  const bool aPlaceholder = IsPlaceholder(a);
  const bool bPlaceholder = IsPlaceholder(b);
  if (aPlaceholder || bPlaceholder) {
    if (!bPlaceholder) return 1;
    if (!aPlaceholder) return -1;
    // Both placeholders: "(new item)" stays above "(new folder)", as before any sort.
    return a == b ? 0 : (a == kNewItemValue ? -1 : 1);
  }
  const auto itemA = static_cast<ConfigTree::Item>(a);
  const auto itemB = static_cast<ConfigTree::Item>(b);
  const bool aFolder = tree.HasChildren(itemA);
  if (aFolder != tree.HasChildren(itemB)) return aFolder ? -1 : 1;
  // std::string compares its bytes as unsigned char, a shorter prefix first.
  return Sign(tree.Caption(itemA).compare(tree.Caption(itemB)));
}

void AddPlaceholders(ConfigTree& tree, ConfigTree::Item folder) {
  tree.InsertPlaceholder(folder, kNewFolderCaption, kNewFolderValue, ConfigTree::Place::kFirst);
  tree.InsertPlaceholder(folder, kNewItemCaption, kNewItemValue, ConfigTree::Place::kFirst);
}

void LoadConfigTree(const MenuDefinition& menu, ConfigTree& tree, EntryTable& entries) {
  // Filling in the final order spares the control a sort that would ask back
  // for two captions at every comparison. All folders go in before any entry,
  // so that each stays near the front of the items the control may search for
  // a parent; every folder still reads subfolders, entries, placeholders.
  const std::vector<ChildOrder> orders = OrderChildren(menu);
  std::vector<ConfigTree::Item> folderItems(menu.folders.size());
  folderItems[0] = tree.InsertRoot(kRootCaption);
  // A folder's number is above its parent's, so its item exists by its turn.
  for (std::size_t i = 0; i < orders.size(); ++i)
    for (const std::size_t sub : orders[i].folders)
      folderItems[sub] = tree.InsertLast(folderItems[i], menu.folders[sub].caption);
  entries.clear();
  for (std::size_t i = 0; i < orders.size(); ++i) {
    for (const std::size_t e : orders[i].entries) {
      const MenuEntry& entry = menu.folders[i].entries[e];
      entries[tree.InsertLast(folderItems[i], entry.caption)] = {entry.command, entry.kind};
    }
  }
  for (const ConfigTree::Item folder : folderItems) {
    tree.InsertPlaceholder(folder, kNewItemCaption, kNewItemValue, ConfigTree::Place::kLast);
    tree.InsertPlaceholder(folder, kNewFolderCaption, kNewFolderValue, ConfigTree::Place::kLast);
  }
}

void SaveConfigTree(ProfileFile& file, int triggerKey, const ConfigTree& tree,
                    const EntryTable& entries) {
  WriteMenuDefinition(file, triggerKey, SaveView(tree, entries));
}

TriggerKeyChoice ChoiceForTriggerKey(int key) {
  switch (key) {
    case kRightCtrlKey: return TriggerKeyChoice::kRightCtrl;
    case kRightShiftKey: return TriggerKeyChoice::kRightShift;
    case kInsertKey: return TriggerKeyChoice::kInsert;
    default: return TriggerKeyChoice::kNone;
  }
}

int TriggerKeyForChoices(bool rightCtrl, bool rightShift, bool insert, int storedKey) {
  if (insert) return kInsertKey;
  if (rightCtrl) return kRightCtrlKey;
  if (rightShift) return kRightShiftKey;
  return storedKey;
}

}  // namespace dravlin
