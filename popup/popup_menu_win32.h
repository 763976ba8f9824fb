// The Win32 side of the running popup menu: menus replayed from the planned
// tables, and the owner drawing of their items.
#pragma once

#include <vector>

#include "popup/menu_tables.h"
#include "win/handles.h"

namespace dravlin {

// Whether a screen reader is running, which cannot read owner-drawn items.
bool ScreenReaderRunning();

// One popup menu per folder, element 0 the root, holding the planned items.
// They are owner-drawn, or, as text, items a screen reader can read: the
// caption as written and, after a tab, the kind's name. Ids and item data are
// the same either way.
std::vector<MenuHandle> CreatePopupMenus(const MenuTables& tables, bool asText);

// Destroys the menus from the last to the first, so that every submenu goes
// before the menu that holds it.
void DestroyPopupMenus(std::vector<MenuHandle>& menus);

// The screen's pixels per inch. The menu's sizes follow it: the ones below
// are those at 96, scaled in proportion.
int ScreenDpi();

// Answers a measure request: 20 pixels high, or the caption's height when the
// font is taller, and the caption's width in the menu font plus 25 wide.
void MeasureMenuItem(HWND owner, HFONT menuFont, int dpi, const ItemRecord& record, MEASUREITEMSTRUCT& request);

// Answers WM_MENUCHAR for an open menu of the tables: the typed key chooses
// the item whose underlined letter (or first character, without one) it is,
// or moves the highlight between several such items.
LRESULT AnswerMenuChar(HWND owner, HMENU menu, char typed, const MenuTables& tables);

// Paints one item: background and text in the system colours for its state,
// the caption 25 pixels in, and the 16-pixel icon of its kind at (2, 2).
void DrawMenuItem(HFONT menuFont, int dpi, const ItemRecord& record, const DRAWITEMSTRUCT& request);

}  // namespace dravlin
