// Popup menus as a test sees them: the items of an open menu, a watcher that
// records every menu that opens, and keystrokes sent as a user types them.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <functional>
#include <string>
#include <vector>

namespace dravlin {

struct SeenItem {
  UINT type = 0;
  UINT id = 0;
  HMENU submenu = nullptr;
  ULONG_PTR data = 0;
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
    items.push_back({info.fType, info.wID, info.hSubMenu, info.dwItemData});
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
    if (self->tick_ > kMaxTicksOpen) EndMenu();
  }

  static constexpr int kMaxTicksOpen = 100;

  static inline MenuWatcher* current_ = nullptr;
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

inline void SendKeys(const std::vector<WORD>& keys) {
  std::vector<INPUT> inputs;
  for (WORD key : keys) {
    inputs.push_back(Key(key, false));
    inputs.push_back(Key(key, true));
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

}  // namespace dravlin
