// The configuration tree over the dialog's tree-view control.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "config/config_tree.h"

namespace dravlin {

// Items are numbered here, and each real item's application value is its
// number, given with the insertion itself. Captions, values and the order of
// children are kept beside the control by the same calls that change them
// there, so that sorting and saving do not ask the control item by item: the
// control may look each item up among all of its items on every such request.
class ConfigTreeView : public ConfigTree {
 public:
  explicit ConfigTreeView(HWND tree = nullptr) : tree_(tree) {}

  Item Root() const override { return root_; }
  std::vector<Item> Children(Item item) const override;
  bool HasChildren(Item item) const override;
  std::string Caption(Item item) const override;
  std::intptr_t Value(Item item) const override;
  Item Parent(Item item) const override;
  Item InsertRoot(const std::string& caption) override;
  Item InsertLast(Item parent, const std::string& caption) override;
  void InsertPlaceholder(Item parent, const std::string& caption, std::intptr_t value, Place place) override;
  // Sorts through the control's callback sort, which hands CompareItems the
  // application values, then takes the new order from the control.
  void SortChildren(Item parent) override;
  void Delete(Item item) override;

  HWND Handle() const { return tree_; }

  // The selected item, or 0.
  Item Selected() const;
  // Selects the item; a collapsed parent expands so that it shows.
  void Select(Item item);
  void Expand(Item item);
  void Toggle(Item item);
  void SetCaption(Item item, const std::string& caption);
  // The item of a control's handle, or 0.
  Item ItemOf(HTREEITEM handle) const;
  // The item under a point of the control's client area, or 0.
  Item ItemAt(POINT point) const;
  // Where the item's caption stands, in screen coordinates; false when it does not show.
  bool CaptionRect(Item item, RECT& rect) const;
  // Shows or clears the mark of an item cut for pasting.
  void MarkCut(Item item, bool cut) { SetState(item, TVIS_CUT, cut); }
  // Marks the folder a dragged item would go into; 0 marks none.
  void SetDropTarget(Item item);

 private:
  struct Node {
    HTREEITEM handle = nullptr;  // none once deleted
    std::string caption;
    std::intptr_t value = 0;
    Item parent = 0;
    std::vector<Item> children;
  };

  static int CALLBACK Compare(LPARAM a, LPARAM b, LPARAM tree);
  // Inserts an item under parent (none: at the top level) after `after`.
  Item Insert(Item parent, HTREEITEM after, const std::string& caption, std::intptr_t value, UINT state);
  void Forget(Item item);
  void SetState(Item item, UINT state, bool on);
  // The node of a live item, or nullptr.
  const Node* Find(Item item) const;
  Node* Find(Item item);
  HTREEITEM HandleOf(Item item) const;

  HWND tree_;
  Item root_ = 0;
  Item dropTarget_ = 0;
  std::vector<Node> nodes_;                    // item i is nodes_[i - 1]
  std::unordered_map<HTREEITEM, Item> items_;  // for the selection
};

}  // namespace dravlin
