#include "popup/popup_menu_win32.h"

#include "res/resource.h"
#include "win/module.h"

namespace dravlin {
namespace {

constexpr int kItemHeight = 20;
constexpr int kTextIndent = 25;
constexpr int kIconOffset = 2;

void AppendPlannedItem(HMENU menu, const PlannedItem& item, const std::vector<MenuHandle>& menus) {
  const auto data = reinterpret_cast<LPCSTR>(item.itemData);
  switch (item.type) {
    case PlannedItem::Type::Folder:
      AppendMenuA(menu, MF_POPUP | MF_OWNERDRAW, reinterpret_cast<UINT_PTR>(menus[item.submenu].Get()), data);
      break;
    case PlannedItem::Type::Entry:
    case PlannedItem::Type::Cancel:
      AppendMenuA(menu, MF_OWNERDRAW, item.commandId, data);
      break;
    case PlannedItem::Type::Separator:
      AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
      break;
  }
}

// The icon id for an item; kinds that cannot be resource ids draw no icon.
int IconIdFor(const ItemRecord& record, bool selected) {
  if (record.kind <= 0 || record.kind > 0xFFFF) return 0;
  if (selected && record.kind == kNormalCommandKind) return IDI_COMMAND_SELECTED;
  return record.kind;
}

}  // namespace

std::vector<MenuHandle> CreatePopupMenus(const MenuTables& tables) {
  std::vector<MenuHandle> menus;
  menus.reserve(tables.menus.size());
  for (std::size_t i = 0; i < tables.menus.size(); ++i) menus.emplace_back(CreatePopupMenu());
  for (std::size_t i = 0; i < tables.menus.size(); ++i)
    for (const PlannedItem& item : tables.menus[i]) AppendPlannedItem(menus[i].Get(), item, menus);
  return menus;
}

void DestroyPopupMenus(std::vector<MenuHandle>& menus) {
  while (!menus.empty()) menus.pop_back();
}

void MeasureMenuItem(HWND owner, HFONT menuFont, const ItemRecord& record, MEASUREITEMSTRUCT& request) {
  SIZE extent = {0, 0};
  {
    WindowDc windowDc(owner);
    MemoryDc memoryDc(CreateCompatibleDC(windowDc.Get()));
    SelectionGuard font(memoryDc.Get(), menuFont);
    GetTextExtentPoint32A(memoryDc.Get(), record.caption.c_str(), static_cast<int>(record.caption.size()),
                          &extent);
  }
  request.itemHeight = kItemHeight;
  request.itemWidth = extent.cx + kTextIndent;
}

void DrawMenuItem(HFONT menuFont, const ItemRecord& record, const DRAWITEMSTRUCT& request) {
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
    text.left += kTextIndent;
    DrawTextA(dc, record.caption.c_str(), static_cast<int>(record.caption.size()), &text,
              DT_SINGLELINE | DT_VCENTER);
  }
  const int iconId = IconIdFor(record, selected);
  if (!iconId) return;
  if (HICON icon = LoadIconA(ModuleInstance(), MAKEINTRESOURCEA(iconId)))
    DrawIcon(dc, area.left + kIconOffset, area.top + kIconOffset, icon);
}

}  // namespace dravlin
