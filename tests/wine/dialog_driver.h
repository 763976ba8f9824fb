// The plug-in's dialogs driven as a user drives them while zanConf runs them
// modally: steps taken from a thread timer, which every modal loop of the
// thread dispatches, and the controls of the configuration dialog.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "res/resource.h"

namespace dravlin {

// Steps taken from a timer, which the modal loops of the dialog and its
// message box dispatch: each runs once, when its condition first holds.
class Steps {
 public:
  struct Step {
    std::function<bool()> ready;
    std::function<void()> act;
  };
  explicit Steps(std::vector<Step> steps) : steps_(std::move(steps)) {
    current_ = this;
    timer_ = SetTimer(nullptr, 0, 20, Tick);
  }
  ~Steps() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  std::size_t Taken() const { return next_; }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    Steps* self = current_;
    if (!self || self->next_ == self->steps_.size() || !self->steps_[self->next_].ready()) return;
    self->steps_[self->next_++].act();
  }

  static inline Steps* current_ = nullptr;
  std::vector<Step> steps_;
  std::size_t next_ = 0;
  UINT_PTR timer_ = 0;
};

// The dialog with this title when the user can act in it: shown, and not
// disabled under a nested one.
inline HWND ShownDialog(const char* title) {
  const HWND dialog = FindWindowA("#32770", title);
  return dialog && IsWindowVisible(dialog) && IsWindowEnabled(dialog) ? dialog : nullptr;
}

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
