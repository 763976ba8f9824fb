#include "config/config_tree.h"

#include <cstddef>
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

}  // namespace

bool IsPlaceholder(std::intptr_t value) { return value == kNewItemValue || value == kNewFolderValue; }

bool IsEditable(const ConfigTree& tree, ConfigTree::Item item) {
  return item != 0 && item != tree.Root() && !IsPlaceholder(tree.Value(item));
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
  tree.InsertPlaceholder(folder, kNewFolderCaption, kNewFolderValue);
  tree.InsertPlaceholder(folder, kNewItemCaption, kNewItemValue);
}

void LoadConfigTree(const MenuDefinition& menu, ConfigTree& tree, EntryTable& entries) {
  std::vector<ConfigTree::Item> folderItems;
  folderItems.reserve(menu.folders.size());
  folderItems.push_back(tree.InsertRoot(kRootCaption));
  for (std::size_t i = 1; i < menu.folders.size(); ++i) {
    const MenuFolder& folder = menu.folders[i];
    const bool parentKnown = folder.parent >= 0 && static_cast<std::size_t>(folder.parent) < i;
    const ConfigTree::Item parent = folderItems[parentKnown ? static_cast<std::size_t>(folder.parent) : 0];
    folderItems.push_back(tree.InsertLast(parent, folder.caption));
  }
  entries.clear();
  for (std::size_t i = 0; i < menu.folders.size(); ++i) {
    for (const MenuEntry& entry : menu.folders[i].entries)
      entries[tree.InsertLast(folderItems[i], entry.caption)] = {entry.command, entry.kind};
    AddPlaceholders(tree, folderItems[i]);
  }
  for (const ConfigTree::Item folder : folderItems) tree.SortChildren(folder);
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

int TriggerKeyForChoices(bool rightCtrl, bool rightShift, bool insert) {
  if (insert) return kInsertKey;
  if (rightCtrl) return kRightCtrlKey;
  if (rightShift) return kRightShiftKey;
  return 0;
}

}  // namespace dravlin
