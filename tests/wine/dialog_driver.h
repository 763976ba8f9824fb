// The controls of the configuration dialog as a user works them, from the
// steps of modal_steps.h while zanConf runs the dialog modally.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/wine/modal_steps.h"

namespace dravlin {

inline HWND Tree(HWND dialog) { return GetDlgItem(dialog, IDC_MENU_TREE); }

inline HTREEITEM Next(HWND tree, HTREEITEM item, UINT relation) {
  return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

inline std::string Caption(HWND tree, HTREEITEM item) {
  char text[512] = "";
  TVITEMA query = {};
  query.mask = TVIF_TEXT;
  query.hItem = item;
  query.pszText = text;
  query.cchTextMax = sizeof text;
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query));
  return text;
}

// The item at a path of captions from the root, such as {"Menu", "Tools"};
// null when one of them is missing.
inline HTREEITEM FindItem(HWND dialog, const std::vector<std::string>& path) {
  const HWND tree = Tree(dialog);
  HTREEITEM item = nullptr;
  for (const std::string& caption : path) {
    HTREEITEM child = item ? Next(tree, item, TVGN_CHILD) : Next(tree, nullptr, TVGN_ROOT);
    while (child && Caption(tree, child) != caption) child = Next(tree, child, TVGN_NEXT);
    if (!child) return nullptr;
    item = child;
  }
  return item;
}

inline void SelectItem(HWND dialog, HTREEITEM item) {
  SendMessageA(Tree(dialog), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

// The tree view's double-click notification, as the control sends it.
inline void NotifyDoubleClick(HWND dialog) {
  NMHDR header = {Tree(dialog), IDC_MENU_TREE, static_cast<UINT>(NM_DBLCLK)};
  SendMessageA(dialog, WM_NOTIFY, IDC_MENU_TREE, reinterpret_cast<LPARAM>(&header));
}

inline void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
inline void Type(HWND dialog, int id, const std::string& text) { SetDlgItemTextA(dialog, id, text.c_str()); }

inline std::string Text(HWND dialog, int id) {
  char text[512] = "";
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

}  // namespace dravlin
