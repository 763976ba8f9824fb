// Popup menus as a test sees them: the items of an open menu, a watcher that
// records every menu that opens, the finder opened from a menu, and
// keystrokes sent as a user types them.
#pragma once

#include <windows.h>
#include <oleacc.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace dravlin {

struct SeenItem {
  UINT type = 0;
  UINT id = 0;
  HMENU submenu = nullptr;
  ULONG_PTR data = 0;
  std::string text;  // of a text item, as the menu showed it
};

struct SeenMenu {
  RECT rect = {};
  HMENU menu = nullptr;
  std::vector<SeenItem> items;
};

inline std::vector<SeenItem> ItemsOf(HMENU menu) {
  std::vector<SeenItem> items;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU | MIIM_DATA;
    GetMenuItemInfoA(menu, i, TRUE, &info);
    char text[1024] = "";
    if (!(info.fType & (MFT_OWNERDRAW | MFT_SEPARATOR))) GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
    items.push_back({info.fType, info.wID, info.hSubMenu, info.dwItemData, text});
  }
  return items;
}

// What a screen reader reads from an item's data: the caption of the
// MSAAMENUINFO the data points at, or "(none)". Only for data of the plug-in's
// items, or small numbers: the data is followed.
inline std::wstring AccessibleCaption(ULONG_PTR data) {
  const auto* info = reinterpret_cast<const MSAAMENUINFO*>(data);
  if (data < 0x10000 || info->dwMSAASignature != MSAA_MENU_SIG) return L"(none)";
  if (info->pszWText[info->cchWText] != L'\0') return L"(no null after the length)";
  return std::wstring(info->pszWText, info->cchWText);
}

inline HWND VisibleMenuWindow() {
  HWND window = FindWindowA("#32768", nullptr);
  return window && IsWindowVisible(window) ? window : nullptr;
}

// Watches for popup menus from a timer, which keeps firing inside the menu's
// modal loop: records every menu that opens, then runs whileOpen on each tick
// (by default it closes the menu at once).
class MenuWatcher {
 public:
  MenuWatcher() {
    current_ = this;
    timer_ = SetTimer(nullptr, 0, 30, Tick);
  }
  ~MenuWatcher() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
  }

  std::function<void(int tick)> whileOpen = [](int) { EndMenu(); };
  std::vector<SeenMenu> opened;

  // How many menus the watchers closed themselves, having stayed open past
  // their time: keys that went astray, or an Escape the menu ignored. A check
  // whose keys were to close the menu fails when this grows.
  static int StuckMenusClosed() { return stuckMenusClosed_; }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    MenuWatcher* self = current_;
    HWND window = VisibleMenuWindow();
    if (!self) return;
    if (!window) {
      self->tick_ = -1;
      return;
    }
    if (self->tick_ < 0) {
      SeenMenu seen;
      GetWindowRect(window, &seen.rect);
      seen.menu = reinterpret_cast<HMENU>(SendMessageA(window, MN_GETHMENU, 0, 0));
      seen.items = ItemsOf(seen.menu);
      self->opened.push_back(seen);
    }
    self->whileOpen(++self->tick_);
    // A test whose keys went astray fails instead of waiting in the menu forever.
    if (self->tick_ == kMaxTicksOpen + 1) ++stuckMenusClosed_;
    if (self->tick_ > kMaxTicksOpen) EndMenu();
  }

  static constexpr int kMaxTicksOpen = 100;

  static inline MenuWatcher* current_ = nullptr;
  static inline int stuckMenusClosed_ = 0;
  UINT_PTR timer_ = 0;
  int tick_ = -1;
};

inline INPUT Key(WORD virtualKey, bool up) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(virtualKey, 0));
  const bool extended = virtualKey == VK_RCONTROL || virtualKey == VK_INSERT || virtualKey == VK_DOWN ||
                        virtualKey == VK_UP || virtualKey == VK_RIGHT;
  input.ki.dwFlags = (extended ? KEYEVENTF_EXTENDEDKEY : 0) | (up ? KEYEVENTF_KEYUP : 0);
  return input;
}

// Each key pressed and released, in turn.
inline std::vector<INPUT> Presses(const std::vector<WORD>& keys) {
  std::vector<INPUT> inputs;
  for (WORD key : keys) {
    inputs.push_back(Key(key, false));
    inputs.push_back(Key(key, true));
  }
  return inputs;
}

inline void Send(std::vector<INPUT> inputs) {
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

inline void SendKeys(const std::vector<WORD>& keys) { Send(Presses(keys)); }

// The code a keyboard hook is given for a key: a sided Shift, Ctrl or Alt
// arrives as the generic one.
inline WORD HookedKey(WORD virtualKey) {
  return virtualKey >= VK_LSHIFT && virtualKey <= VK_RMENU ? static_cast<WORD>(VK_SHIFT + (virtualKey - VK_LSHIFT) / 2)
                                                           : virtualKey;
}

// Keystrokes sent as a user holds keys: one pressed and not yet released
// stays down for this thread until its release is sent. A key pressed with
// SendInput is not down on the physical keyboard, and a window system that
// matches its key state to that keyboard (Wine, as a menu grabs the pointer)
// sends a release for it, which the user never made: such a release reaches
// neither the keyboard hooks installed before this object nor the windows.
class HeldKeys {
 public:
  HeldKeys() {
    current_ = this;
    hook_ = SetWindowsHookExA(WH_KEYBOARD, Filter, nullptr, GetCurrentThreadId());
  }
  ~HeldKeys() {
    UnhookWindowsHookEx(hook_);
    current_ = nullptr;
  }
  HeldKeys(const HeldKeys&) = delete;
  HeldKeys& operator=(const HeldKeys&) = delete;

  void Send(const std::vector<INPUT>& inputs) {
    for (const INPUT& input : inputs) {
      if (input.type != INPUT_KEYBOARD) continue;
      const WORD key = HookedKey(input.ki.wVk);
      if (input.ki.dwFlags & KEYEVENTF_KEYUP) down_.erase(std::remove(down_.begin(), down_.end(), key), down_.end());
      else if (std::find(down_.begin(), down_.end(), key) == down_.end()) down_.push_back(key);
    }
    dravlin::Send(inputs);
  }

 private:
  static LRESULT CALLBACK Filter(int code, WPARAM virtualKey, LPARAM flags) {
    if (code >= 0 && current_ && (flags & 0x80000000) &&
        std::find(current_->down_.begin(), current_->down_.end(), virtualKey) != current_->down_.end())
      return 1;
    return CallNextHookEx(nullptr, code, virtualKey, flags);
  }

  static inline HeldKeys* current_ = nullptr;
  HHOOK hook_ = nullptr;
  std::vector<WORD> down_;
};

// The key-downs this thread takes from its queue, menu loops included, as a
// keyboard hook sees them: the proof that a keystroke after which nothing
// happened did arrive.
class KeystrokeLog {
 public:
  KeystrokeLog() : outer_(current_) {
    current_ = this;
    hook_ = SetWindowsHookExA(WH_KEYBOARD, Record, nullptr, GetCurrentThreadId());
  }
  ~KeystrokeLog() {
    UnhookWindowsHookEx(hook_);
    current_ = outer_;
  }
  KeystrokeLog(const KeystrokeLog&) = delete;
  KeystrokeLog& operator=(const KeystrokeLog&) = delete;

  // How many key-downs of the key arrived; a sided Shift, Ctrl or Alt also
  // counts as the generic code the hook is given.
  int Downs(WORD virtualKey) const {
    const WORD generic = HookedKey(virtualKey);
    return static_cast<int>(
        std::count_if(downs_.begin(), downs_.end(), [&](WORD key) { return key == virtualKey || key == generic; }));
  }

 private:
  static LRESULT CALLBACK Record(int code, WPARAM virtualKey, LPARAM flags) {
    // Inside a menu loop a key is reported peeked (HC_NOREMOVE), then taken.
    if (code == HC_ACTION && current_ && !(flags & 0x80000000))
      for (KeystrokeLog* log = current_; log; log = log->outer_) log->downs_.push_back(static_cast<WORD>(virtualKey));
    return CallNextHookEx(nullptr, code, virtualKey, flags);
  }

  static inline KeystrokeLog* current_ = nullptr;
  KeystrokeLog* outer_;
  HHOOK hook_ = nullptr;
  std::vector<WORD> downs_;
};

// Ctrl and a key pressed together.
inline void SendWithCtrl(WORD key) {
  INPUT keys[] = {Key(VK_CONTROL, false), Key(key, false), Key(key, true), Key(VK_CONTROL, true)};
  SendInput(4, keys, sizeof(INPUT));
}

// The finder, opened from the menu; the tests act inside its loop from a timer.
inline HWND Finder() {
  const HWND finder = FindWindowA("DravlinFinder", nullptr);
  return finder && IsWindowVisible(finder) ? finder : nullptr;
}
inline HWND FinderEdit() { return FindWindowExA(Finder(), nullptr, "Edit", nullptr); }
inline HWND FinderList() { return FindWindowExA(Finder(), nullptr, WC_LISTVIEWA, nullptr); }

inline std::vector<std::string> FinderRows(int column = 0) {
  std::vector<std::string> rows;
  for (int i = 0; i < ListView_GetItemCount(FinderList()); ++i) {
    char text[128] = "";
    ListView_GetItemText(FinderList(), i, column, text, sizeof text);
    rows.push_back(text);
  }
  return rows;
}

}  // namespace dravlin
