#include "popup/popup_menu_win32.h"

#include <algorithm>

#include "popup/mnemonic.h"
#include "res/resource.h"
#include "win/module.h"

namespace dravlin {
namespace {

constexpr int kItemHeight = 20;
constexpr int kTextIndent = 25;
constexpr int kIconOffset = 2;
constexpr int kIconSize = 16;

int Scaled(int pixelsAt96, int dpi) { return MulDiv(pixelsAt96, dpi, 96); }

std::string SpokenCaption(const ItemRecord& record) {
  const std::string kind = KindName(record.kind);
  return kind.empty() ? record.caption : record.caption + "\t" + kind;
}

void AppendPlannedItem(HMENU menu, const PlannedItem& item, const MenuTables& tables,
                       const std::vector<MenuHandle>& menus, bool asText) {
  if (item.type == PlannedItem::Type::Separator) {
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    return;
  }
  const bool folder = item.type == PlannedItem::Type::Folder;
  const UINT_PTR id = folder ? reinterpret_cast<UINT_PTR>(menus[item.submenu].Get()) : item.commandId;
  const UINT flags = folder ? MF_POPUP : 0;
  if (!asText) {
    AppendMenuA(menu, flags | MF_OWNERDRAW, id, reinterpret_cast<LPCSTR>(item.itemData));
    return;
  }
  AppendMenuA(menu, flags | MF_STRING, id, SpokenCaption(tables.items[item.itemData]).c_str());
  MENUITEMINFOA data = {};
  data.cbSize = sizeof data;
  data.fMask = MIIM_DATA;
  data.dwItemData = item.itemData;
  SetMenuItemInfoA(menu, GetMenuItemCount(menu) - 1, TRUE, &data);
}

bool IsLeadByte(char c) { return IsDBCSLeadByte(static_cast<BYTE>(c)) != FALSE; }

std::string Folded(std::string text) {
  if (!text.empty()) CharUpperBuffA(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

// The caption an item shows, from its record when it is owner-drawn.
std::string CaptionAt(HMENU menu, int position, const MENUITEMINFOA& item, const MenuTables& tables) {
  if (item.fType & MFT_SEPARATOR) return {};
  if (item.fType & MFT_OWNERDRAW)
    return item.dwItemData < tables.items.size() ? tables.items[item.dwItemData].caption : std::string();
  char text[512] = "";
  GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
  const std::string shown = text;
  return shown.substr(0, shown.find('\t'));
}

// The icon id for an item; kinds that cannot be resource ids draw no icon.
int IconIdFor(const ItemRecord& record, bool selected) {
  if (record.kind <= 0 || record.kind > 0xFFFF) return 0;
  if (selected && record.kind == kNormalCommandKind) return IDI_COMMAND_SELECTED;
  return record.kind;
}

}  // namespace

bool ScreenReaderRunning() {
  BOOL running = FALSE;
  return SystemParametersInfoA(SPI_GETSCREENREADER, 0, &running, 0) && running;
}

std::vector<MenuHandle> CreatePopupMenus(const MenuTables& tables, bool asText) {
  std::vector<MenuHandle> menus;
  menus.reserve(tables.menus.size());
  for (std::size_t i = 0; i < tables.menus.size(); ++i) menus.emplace_back(CreatePopupMenu());
  for (std::size_t i = 0; i < tables.menus.size(); ++i)
    for (const PlannedItem& item : tables.menus[i]) AppendPlannedItem(menus[i].Get(), item, tables, menus, asText);
  return menus;
}

LRESULT AnswerMenuChar(HWND owner, HMENU menu, char typed, const MenuTables& tables) {
  std::vector<std::string> mnemonics;
  int highlighted = -1;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE | MIIM_DATA | MIIM_STATE;
    GetMenuItemInfoA(menu, i, TRUE, &item);
    if (item.fState & MFS_HILITE) highlighted = i;
    mnemonics.push_back(Folded(MnemonicOf(CaptionAt(menu, i, item, tables), IsLeadByte)));
  }
  const MnemonicChoice choice = ChooseByMnemonic(mnemonics, Folded(std::string(1, typed)), highlighted);
  switch (choice.action) {
    case MnemonicChoice::Action::kExecute:
      return MAKELRESULT(choice.position, MNC_EXECUTE);
    case MnemonicChoice::Action::kSelect:
      // Wine ignores MNC_SELECT; moving the highlight here does the same.
      if (highlighted >= 0) HiliteMenuItem(owner, menu, highlighted, MF_BYPOSITION | MF_UNHILITE);
      HiliteMenuItem(owner, menu, choice.position, MF_BYPOSITION | MF_HILITE);
      return MAKELRESULT(choice.position, MNC_SELECT);
    case MnemonicChoice::Action::kNone:
      break;
  }
  return MAKELRESULT(0, MNC_IGNORE);
}

void DestroyPopupMenus(std::vector<MenuHandle>& menus) {
  while (!menus.empty()) menus.pop_back();
}

int ScreenDpi() {
  WindowDc screen(nullptr);
  return GetDeviceCaps(screen.Get(), LOGPIXELSY);
}

void MeasureMenuItem(HWND owner, HFONT menuFont, int dpi, const ItemRecord& record, MEASUREITEMSTRUCT& request) {
  SIZE extent = {0, 0};
  {
    WindowDc windowDc(owner);
    MemoryDc memoryDc(CreateCompatibleDC(windowDc.Get()));
    SelectionGuard font(memoryDc.Get(), menuFont);
    GetTextExtentPoint32A(memoryDc.Get(), record.caption.c_str(), static_cast<int>(record.caption.size()),
                          &extent);
  }
  // A shortcut after a tab stands a text indent away from the caption.
  const int shortcutGap = record.caption.find('\t') == std::string::npos ? 0 : Scaled(kTextIndent, dpi);
  request.itemHeight = std::max<LONG>(Scaled(kItemHeight, dpi), extent.cy);
  request.itemWidth = extent.cx + Scaled(kTextIndent, dpi) + shortcutGap;
}

void DrawMenuItem(HFONT menuFont, int dpi, const ItemRecord& record, const DRAWITEMSTRUCT& request) {
  HDC dc = request.hDC;
  RECT area = request.rcItem;
  const bool selected = (request.itemState & ODS_SELECTED) != 0;
  {
    GdiObjectHandle brush(CreateSolidBrush(GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_MENU)));
    FillRect(dc, &area, static_cast<HBRUSH>(brush.Get()));
  }
  SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
  {
    SelectionGuard font(dc, menuFont);
    SetBkMode(dc, TRANSPARENT);
    RECT text = area;
    text.left += Scaled(kTextIndent, dpi);
    const std::size_t tab = std::min(record.caption.find('\t'), record.caption.size());
    DrawTextA(dc, record.caption.c_str(), static_cast<int>(tab), &text, DT_SINGLELINE | DT_VCENTER);
    // The shortcut is set right, as standard menus set it.
    if (tab < record.caption.size()) {
      text.right -= Scaled(kTextIndent, dpi) / 2;
      DrawTextA(dc, record.caption.c_str() + tab + 1, static_cast<int>(record.caption.size() - tab - 1), &text,
                DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
    }
  }
  const int iconId = IconIdFor(record, selected);
  if (!iconId) return;
  // The icon resources hold an image for each size the menu draws.
  const int size = Scaled(kIconSize, dpi), offset = Scaled(kIconOffset, dpi);
  const IconHandle icon(static_cast<HICON>(
      LoadImageA(ModuleInstance(), MAKEINTRESOURCEA(iconId), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
  if (icon.Get()) DrawIconEx(dc, area.left + offset, area.top + offset, icon.Get(), size, size, 0, nullptr, DI_NORMAL);
}

}  // namespace dravlin
