#include "config/config_tree_win32.h"

#include <commctrl.h>

namespace dravlin {
namespace {

HTREEITEM ToHandle(ConfigTree::Item item) { return reinterpret_cast<HTREEITEM>(item); }
ConfigTree::Item ToItem(HTREEITEM handle) { return reinterpret_cast<ConfigTree::Item>(handle); }

// The control keeps its own copy of the text; the pointer only lives for the call.
LPSTR TextArgument(const std::string& text) { return const_cast<LPSTR>(text.c_str()); }

}  // namespace

ConfigTree::Item ConfigTreeView::NextItem(Item item, UINT relation) const {
  return ToItem(reinterpret_cast<HTREEITEM>(
      SendMessageA(tree_, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(ToHandle(item)))));
}

ConfigTree::Item ConfigTreeView::Root() const { return NextItem(0, TVGN_ROOT); }

std::vector<ConfigTree::Item> ConfigTreeView::Children(Item item) const {
  std::vector<Item> children;
  for (Item child = NextItem(item, TVGN_CHILD); child != 0; child = NextItem(child, TVGN_NEXT))
    children.push_back(child);
  return children;
}

bool ConfigTreeView::HasChildren(Item item) const { return NextItem(item, TVGN_CHILD) != 0; }

std::string ConfigTreeView::Caption(Item item) const {
  // The control cuts the text to the buffer; grow it until the text fits.
  std::string text(256, '\0');
  for (;;) {
    TVITEMA query = {};
    query.mask = TVIF_TEXT;
    query.hItem = ToHandle(item);
    query.pszText = &text[0];
    query.cchTextMax = static_cast<int>(text.size());
    if (!SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query))) return {};
    const std::size_t length = std::char_traits<char>::length(query.pszText);
    if (length + 1 < text.size()) return std::string(query.pszText, length);
    text.assign(text.size() * 2, '\0');
  }
}

std::intptr_t ConfigTreeView::Value(Item item) const {
  TVITEMA query = {};
  query.mask = TVIF_PARAM;
  query.hItem = ToHandle(item);
  SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query));
  return query.lParam;
}

ConfigTree::Item ConfigTreeView::InsertRoot(const std::string& caption) {
  TVINSERTSTRUCTA insert = {};
  insert.hParent = TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT;
  insert.item.pszText = TextArgument(caption);
  return ToItem(reinterpret_cast<HTREEITEM>(
      SendMessageA(tree_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert))));
}

ConfigTree::Item ConfigTreeView::InsertLast(Item parent, const std::string& caption) {
  TVINSERTSTRUCTA insert = {};
  insert.hParent = ToHandle(parent);
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT;
  insert.item.pszText = TextArgument(caption);
  const HTREEITEM handle = reinterpret_cast<HTREEITEM>(
      SendMessageA(tree_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
  // The value is the handle, which exists only once the item does.
  TVITEMA value = {};
  value.mask = TVIF_PARAM;
  value.hItem = handle;
  value.lParam = reinterpret_cast<LPARAM>(handle);
  SendMessageA(tree_, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&value));
  return ToItem(handle);
}

void ConfigTreeView::InsertPlaceholder(Item parent, const std::string& caption, std::intptr_t value) {
  TVINSERTSTRUCTA insert = {};
  insert.hParent = ToHandle(parent);
  insert.hInsertAfter = TVI_FIRST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_STATE;
  insert.item.pszText = TextArgument(caption);
  insert.item.lParam = value;
  insert.item.state = TVIS_BOLD;
  insert.item.stateMask = TVIS_BOLD;
  SendMessageA(tree_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert));
}

int CALLBACK ConfigTreeView::Compare(LPARAM a, LPARAM b, LPARAM tree) {
  try {
    return CompareItems(a, b, *reinterpret_cast<const ConfigTreeView*>(tree));
  } catch (...) {
    return 0;  // no exception may cross the control's sort
  }
}

void ConfigTreeView::SortChildren(Item parent) {
  TVSORTCB sort = {};
  sort.hParent = ToHandle(parent);
  sort.lpfnCompare = Compare;
  sort.lParam = reinterpret_cast<LPARAM>(this);
  SendMessageA(tree_, TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&sort));
}

ConfigTree::Item ConfigTreeView::Selected() const { return NextItem(0, TVGN_CARET); }

void ConfigTreeView::Select(Item item) {
  SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(ToHandle(item)));
}

void ConfigTreeView::Expand(Item item) {
  SendMessageA(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(ToHandle(item)));
}

ConfigTree::Item ConfigTreeView::Parent(Item item) const { return NextItem(item, TVGN_PARENT); }

void ConfigTreeView::SetCaption(Item item, const std::string& caption) {
  TVITEMA change = {};
  change.mask = TVIF_TEXT;
  change.hItem = ToHandle(item);
  change.pszText = TextArgument(caption);
  SendMessageA(tree_, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&change));
}

void ConfigTreeView::Delete(Item item) {
  SendMessageA(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(ToHandle(item)));
}

}  // namespace dravlin
