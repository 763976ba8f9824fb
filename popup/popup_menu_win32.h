// The Win32 side of the running popup menu: menus replayed from the planned
// tables, and the owner drawing of their items.
#pragma once

#include <vector>

#include "popup/menu_tables.h"
#include "win/handles.h"

namespace dravlin {

// One popup menu per folder, element 0 the root, holding the planned items.
std::vector<MenuHandle> CreatePopupMenus(const MenuTables& tables);

// Destroys the menus from the last to the first, so that every submenu goes
// before the menu that holds it.
void DestroyPopupMenus(std::vector<MenuHandle>& menus);

// Answers a measure request: 20 pixels high, the caption's width in the menu
// font plus 25 wide.
void MeasureMenuItem(HWND owner, HFONT menuFont, const ItemRecord& record, MEASUREITEMSTRUCT& request);

// Paints one item: background and text in the system colours for its state,
// the caption 25 pixels in, and the icon of its kind at (2, 2).
void DrawMenuItem(HFONT menuFont, const ItemRecord& record, const DRAWITEMSTRUCT& request);

}  // namespace dravlin
