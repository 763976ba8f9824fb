// The Win32 side of the running popup menu: menus replayed from the planned
// tables, and the owner drawing of their items.
#pragma once

#include <oleacc.h>

#include <cstddef>
#include <optional>
#include <vector>

#include "popup/menu_tables.h"
#include "win/handles.h"

namespace dravlin {

// Whether a screen reader is running, which cannot read owner-drawn items.
bool ScreenReaderRunning();

// What the data of every menu item points at. MSAAMENUINFO comes first: it is
// how a screen reader (Narrator too, which sets no flag) finds the name of an
// owner-drawn item.
struct ItemDataRecord {
  MSAAMENUINFO accessible;  // the caption in UTF-16, ampersand included
  std::size_t position;     // in the item table
};

// One popup menu per folder, element 0 the root, holding the planned items,
// and the records their data point at, which live as long as the menus. The
// items are owner-drawn, or, as text, items a screen reader can read: the
// caption as written and, after a tab, the kind's name. Ids are the same
// either way.
class PopupMenus {
 public:
  PopupMenus() = default;
  PopupMenus(const MenuTables& tables, bool asText);
  PopupMenus(PopupMenus&& other) = default;
  PopupMenus& operator=(PopupMenus&& other) noexcept;
  ~PopupMenus();

  HMENU Root() const { return menus_.empty() ? nullptr : menus_.front().Get(); }
  const std::vector<MenuHandle>& Menus() const { return menus_; }

  // The item table position an item's data names: one of these menus'
  // records, or a bare position, as others' measure and draw requests give.
  // Anything else names nothing and is never followed.
  std::optional<std::size_t> PositionOf(ULONG_PTR itemData) const;

 private:
  // Destroys the menus from the last to the first, so that every submenu goes
  // before the menu that holds it, then the records.
  void Destroy();

  std::vector<wchar_t> captions_;        // every caption, each ending in a null
  std::vector<ItemDataRecord> records_;  // one per item table position
  std::vector<MenuHandle> menus_;
};

// The record of the item table that an item's data names, or null.
const ItemRecord* RecordFor(const MenuTables& tables, const PopupMenus& menus, ULONG_PTR itemData);

// The pixels per inch where the menu will appear: the host window's, or the
// monitor's at the given point (the host window's when none), or the
// system's, whichever this version of Windows can tell. The menu's sizes
// follow it: the ones below are those at 96, scaled in proportion.
int DpiWhereMenuAppears(HWND hostWindow, const POINT* at);

// A size at 96 pixels per inch, at dpi.
int Scaled(int pixelsAt96, int dpi);

// Answers a measure request: 20 pixels high, or the caption's height when the
// font is taller, and the caption's width in the menu font plus 25 wide.
void MeasureMenuItem(HWND owner, HFONT menuFont, int dpi, const ItemRecord& record, MEASUREITEMSTRUCT& request);

// Answers WM_MENUCHAR for an open menu: the typed character (the low word of
// the message's wParam) chooses the item whose underlined letter (or first
// character, without one) it is, or moves the highlight between several
// such items.
LRESULT AnswerMenuChar(HWND owner, HMENU menu, WORD typed, const PopupMenus& menus, const MenuTables& tables);

// Paints one item: background and text in the system colours for its state,
// the caption 25 pixels in, and the 16-pixel icon of its kind at (2, 2).
void DrawMenuItem(HFONT menuFont, int dpi, const ItemRecord& record, const DRAWITEMSTRUCT& request);

}  // namespace dravlin
