#include "config/config_tree_win32.h"

#include <commctrl.h>

#include <algorithm>

namespace dravlin {
namespace {

// The control keeps its own copy of the text; the pointer only lives for the call.
LPSTR TextArgument(const std::string& text) { return const_cast<LPSTR>(text.c_str()); }

}  // namespace

const ConfigTreeView::Node* ConfigTreeView::Find(Item item) const {
  if (item == 0 || item > nodes_.size()) return nullptr;
  const Node& node = nodes_[item - 1];
  return node.handle ? &node : nullptr;
}

ConfigTreeView::Node* ConfigTreeView::Find(Item item) {
  return const_cast<Node*>(static_cast<const ConfigTreeView*>(this)->Find(item));
}

HTREEITEM ConfigTreeView::HandleOf(Item item) const {
  const Node* node = Find(item);
  return node ? node->handle : nullptr;
}

std::vector<ConfigTree::Item> ConfigTreeView::Children(Item item) const {
  const Node* node = Find(item);
  return node ? node->children : std::vector<Item>();
}

bool ConfigTreeView::HasChildren(Item item) const {
  const Node* node = Find(item);
  return node && !node->children.empty();
}

std::string ConfigTreeView::Caption(Item item) const {
  const Node* node = Find(item);
  return node ? node->caption : std::string();
}

std::intptr_t ConfigTreeView::Value(Item item) const {
  const Node* node = Find(item);
  return node ? node->value : 0;
}

ConfigTree::Item ConfigTreeView::Insert(Item parent, HTREEITEM after, const std::string& caption,
                                        std::intptr_t value, UINT state) {
  TVINSERTSTRUCTA insert = {};
  insert.hParent = parent ? HandleOf(parent) : TVI_ROOT;
  if (!insert.hParent) return 0;
  insert.hInsertAfter = after;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_STATE;
  insert.item.pszText = TextArgument(caption);
  insert.item.lParam = value;
  insert.item.state = state;
  insert.item.stateMask = state;
  const HTREEITEM handle = reinterpret_cast<HTREEITEM>(
      SendMessageA(tree_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
  if (!handle) return 0;
  nodes_.push_back({handle, caption, value, parent, {}});
  const Item item = nodes_.size();
  items_[handle] = item;
  if (Node* parentNode = Find(parent)) {
    std::vector<Item>& siblings = parentNode->children;
    siblings.insert(after == TVI_FIRST ? siblings.begin() : siblings.end(), item);
  }
  return item;
}

ConfigTree::Item ConfigTreeView::InsertRoot(const std::string& caption) {
  root_ = Insert(0, TVI_LAST, caption, 0, 0);
  return root_;
}

ConfigTree::Item ConfigTreeView::InsertLast(Item parent, const std::string& caption) {
  // The value is the item's own number, which is the next one.
  return Insert(parent, TVI_LAST, caption, static_cast<std::intptr_t>(nodes_.size() + 1), 0);
}

void ConfigTreeView::InsertPlaceholder(Item parent, const std::string& caption, std::intptr_t value,
                                       Place place) {
  Insert(parent, place == Place::kFirst ? TVI_FIRST : TVI_LAST, caption, value, TVIS_BOLD);
}

int CALLBACK ConfigTreeView::Compare(LPARAM a, LPARAM b, LPARAM tree) {
  try {
    return CompareItems(a, b, *reinterpret_cast<const ConfigTreeView*>(tree));
  } catch (...) {
    return 0;  // no exception may cross the control's sort
  }
}

void ConfigTreeView::SortChildren(Item parent) {
  Node* node = Find(parent);
  if (!node) return;
  TVSORTCB sort = {};
  sort.hParent = node->handle;
  sort.lpfnCompare = Compare;
  sort.lParam = reinterpret_cast<LPARAM>(this);
  SendMessageA(tree_, TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&sort));
  // What the control did with equal captions is what the user sees and the
  // save writes, so its order is taken rather than worked out again.
  node->children.clear();
  for (HTREEITEM child = TreeView_GetChild(tree_, node->handle); child;
       child = TreeView_GetNextSibling(tree_, child)) {
    const auto found = items_.find(child);
    if (found != items_.end()) node->children.push_back(found->second);
  }
}

ConfigTree::Item ConfigTreeView::Selected() const { return ItemOf(TreeView_GetSelection(tree_)); }

ConfigTree::Item ConfigTreeView::ItemOf(HTREEITEM handle) const {
  const auto found = items_.find(handle);
  return found == items_.end() ? 0 : found->second;
}

ConfigTree::Item ConfigTreeView::ItemAt(POINT point) const {
  TVHITTESTINFO hit = {};
  hit.pt = point;
  TreeView_HitTest(tree_, &hit);
  return hit.flags & (TVHT_ONITEM | TVHT_ONITEMINDENT | TVHT_ONITEMBUTTON | TVHT_ONITEMRIGHT) ? ItemOf(hit.hItem) : 0;
}

bool ConfigTreeView::CaptionRect(Item item, RECT& rect) const {
  const HTREEITEM handle = HandleOf(item);
  if (!handle || !TreeView_GetItemRect(tree_, handle, &rect, TRUE)) return false;
  MapWindowPoints(tree_, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  return true;
}

void ConfigTreeView::SetState(Item item, UINT state, bool on) {
  TVITEMA change = {};
  change.mask = TVIF_STATE;
  change.hItem = HandleOf(item);
  change.state = on ? state : 0;
  change.stateMask = state;
  if (change.hItem) SendMessageA(tree_, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&change));
}

void ConfigTreeView::SetDropTarget(Item item) {
  // Wine's tree can lose track of its drop target and leave the old one
  // marked, so the mark is also cleared by hand.
  if (dropTarget_ != item) SetState(dropTarget_, TVIS_DROPHILITED, false);
  dropTarget_ = item;
  TreeView_SelectDropTarget(tree_, HandleOf(item));
}

void ConfigTreeView::Select(Item item) { TreeView_SelectItem(tree_, HandleOf(item)); }

void ConfigTreeView::Expand(Item item) { TreeView_Expand(tree_, HandleOf(item), TVE_EXPAND); }

void ConfigTreeView::Toggle(Item item) { TreeView_Expand(tree_, HandleOf(item), TVE_TOGGLE); }

ConfigTree::Item ConfigTreeView::Parent(Item item) const {
  const Node* node = Find(item);
  return node ? node->parent : 0;
}

void ConfigTreeView::SetCaption(Item item, const std::string& caption) {
  Node* node = Find(item);
  if (!node) return;
  TVITEMA change = {};
  change.mask = TVIF_TEXT;
  change.hItem = node->handle;
  change.pszText = TextArgument(caption);
  if (SendMessageA(tree_, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&change))) node->caption = caption;
}

void ConfigTreeView::Forget(Item item) {
  // A list rather than recursion: folders may nest deeper than the host's stack allows.
  std::vector<Item> left = {item};
  while (!left.empty()) {
    Node& node = nodes_[left.back() - 1];
    left.pop_back();
    left.insert(left.end(), node.children.begin(), node.children.end());
    items_.erase(node.handle);
    node = Node{};
  }
}

void ConfigTreeView::Delete(Item item) {
  const Node* node = Find(item);
  if (!node || !TreeView_DeleteItem(tree_, node->handle)) return;
  if (Node* parent = Find(node->parent)) {
    std::vector<Item>& siblings = parent->children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), item), siblings.end());
  }
  Forget(item);
}

}  // namespace dravlin
