// The configuration tree over the dialog's tree-view control.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "config/config_tree.h"

namespace dravlin {

class ConfigTreeView : public ConfigTree {
 public:
  explicit ConfigTreeView(HWND tree = nullptr) : tree_(tree) {}

  Item Root() const override;
  std::vector<Item> Children(Item item) const override;
  bool HasChildren(Item item) const override;
  std::string Caption(Item item) const override;
  std::intptr_t Value(Item item) const override;
  Item InsertRoot(const std::string& caption) override;
  Item InsertLast(Item parent, const std::string& caption) override;
  void InsertPlaceholder(Item parent, const std::string& caption, std::intptr_t value) override;
  // Sorts through the control's callback sort, which hands CompareItems the
  // application values.
  void SortChildren(Item parent) override;

  // The selected item, or 0.
  Item Selected() const;
  // Selects the item; a collapsed parent expands so that it shows.
  void Select(Item item);
  void Expand(Item item);
  Item Parent(Item item) const;
  void SetCaption(Item item, const std::string& caption);
  // Removes the item with everything below it.
  void Delete(Item item);

 private:
  static int CALLBACK Compare(LPARAM a, LPARAM b, LPARAM tree);
  Item NextItem(Item item, UINT relation) const;

  HWND tree_;
};

}  // namespace dravlin
