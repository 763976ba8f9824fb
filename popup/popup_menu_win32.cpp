#include "popup/popup_menu_win32.h"

#include <algorithm>

#include "popup/menu_dpi.h"
#include "popup/mnemonic.h"
#include "res/resource.h"
#include "win/module.h"

namespace dravlin {
namespace {

constexpr int kItemHeight = 20;
constexpr int kTextIndent = 25;
constexpr int kIconOffset = 2;
constexpr int kIconSize = 16;

std::string SpokenCaption(const ItemRecord& record) {
  const std::string kind = KindName(record.kind);
  return kind.empty() ? record.caption : record.caption + "\t" + kind;
}

// Appends the text in UTF-16 and a null. Every character of the code page
// takes a byte at least, so the bytes bound the UTF-16 length.
void AppendUtf16(std::vector<wchar_t>& to, const std::string& text) {
  const std::size_t start = to.size();
  const int bytes = static_cast<int>(text.size());
  to.resize(start + text.size() + 1);
  const int length = bytes ? MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, &to[start], bytes) : 0;
  to.resize(start + length + 1);
}

void AppendPlannedItem(HMENU menu, const PlannedItem& item, const MenuTables& tables,
                       const std::vector<MenuHandle>& menus, const std::vector<ItemDataRecord>& records,
                       bool asText) {
  if (item.type == PlannedItem::Type::Separator) {
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    return;
  }
  const bool folder = item.type == PlannedItem::Type::Folder;
  const UINT_PTR id = folder ? reinterpret_cast<UINT_PTR>(menus[item.submenu].Get()) : item.commandId;
  const UINT flags = folder ? MF_POPUP : 0;
  const ItemDataRecord& record = records[item.itemData];
  if (!asText) {
    AppendMenuA(menu, flags | MF_OWNERDRAW, id, reinterpret_cast<LPCSTR>(&record));
    return;
  }
  AppendMenuA(menu, flags | MF_STRING, id, SpokenCaption(tables.items[item.itemData]).c_str());
  MENUITEMINFOA data = {};
  data.cbSize = sizeof data;
  data.fMask = MIIM_DATA;
  data.dwItemData = reinterpret_cast<ULONG_PTR>(&record);
  SetMenuItemInfoA(menu, GetMenuItemCount(menu) - 1, TRUE, &data);
}

bool IsLeadByte(char c) { return IsDBCSLeadByte(static_cast<BYTE>(c)) != FALSE; }

std::string Folded(std::string text) {
  if (!text.empty()) CharUpperBuffA(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

// The caption an item shows, from its record when it is owner-drawn.
std::string CaptionAt(HMENU menu, int position, const MENUITEMINFOA& item, const PopupMenus& menus,
                      const MenuTables& tables) {
  if (item.fType & MFT_SEPARATOR) return {};
  if (item.fType & MFT_OWNERDRAW) {
    const ItemRecord* record = RecordFor(tables, menus, item.dwItemData);
    return record ? record->caption : std::string();
  }
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

// Looks up a function that older versions of Windows lack, so that the module
// still loads there.
template <typename Function>
Function Lookup(HMODULE module, const char* name) {
  // void (*)() converts to any function type without a warning.
  return module ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name))) : nullptr;
}

int HostWindowDpi(HWND hostWindow) {
  using DpiForWindowFunction = UINT(WINAPI*)(HWND);
  const auto query = Lookup<DpiForWindowFunction>(GetModuleHandleA("user32.dll"), "GetDpiForWindow");
  return query ? static_cast<int>(query(hostWindow)) : 0;
}

int MonitorDpi(HWND hostWindow, const POINT* at) {
  using DpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI: the scaling the user chose
  const LibraryHandle shcore(LoadLibraryExA("shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  const auto query = Lookup<DpiForMonitorFunction>(shcore.Get(), "GetDpiForMonitor");
  if (!query) return 0;
  const HMONITOR monitor =
      at ? MonitorFromPoint(*at, MONITOR_DEFAULTTONEAREST) : MonitorFromWindow(hostWindow, MONITOR_DEFAULTTONEAREST);
  UINT x = 0, y = 0;
  return SUCCEEDED(query(monitor, kEffectiveDpi, &x, &y)) ? static_cast<int>(y) : 0;
}

int SystemDpi() {
  WindowDc screen(nullptr);
  return GetDeviceCaps(screen.Get(), LOGPIXELSY);
}

// Wine's menu loop acts on MNC_EXECUTE and MNC_CLOSE only; Windows' selects
// the item an MNC_SELECT names. Only Wine's ntdll exports wine_get_version.
bool MenuLoopSelects() {
  static const bool selects = !GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version");
  return selects;
}

}  // namespace

bool ScreenReaderRunning() {
  BOOL running = FALSE;
  return SystemParametersInfoA(SPI_GETSCREENREADER, 0, &running, 0) && running;
}

PopupMenus::PopupMenus(const MenuTables& tables, bool asText) {
  std::vector<std::size_t> starts;
  for (const ItemRecord& item : tables.items) {
    starts.push_back(captions_.size());
    AppendUtf16(captions_, item.caption);
  }
  starts.push_back(captions_.size());
  // Pointed at only now that the captions no longer move.
  records_.reserve(tables.items.size());
  for (std::size_t i = 0; i < tables.items.size(); ++i)
    records_.push_back({{MSAA_MENU_SIG, static_cast<DWORD>(starts[i + 1] - starts[i] - 1), &captions_[starts[i]]}, i});
  menus_.reserve(tables.menus.size());
  for (std::size_t i = 0; i < tables.menus.size(); ++i) menus_.emplace_back(CreatePopupMenu());
  for (std::size_t i = 0; i < tables.menus.size(); ++i)
    for (const PlannedItem& item : tables.menus[i])
      AppendPlannedItem(menus_[i].Get(), item, tables, menus_, records_, asText);
}

PopupMenus& PopupMenus::operator=(PopupMenus&& other) noexcept {
  Destroy();
  captions_ = std::move(other.captions_);
  records_ = std::move(other.records_);
  menus_ = std::move(other.menus_);
  return *this;
}

PopupMenus::~PopupMenus() { Destroy(); }

void PopupMenus::Destroy() {
  while (!menus_.empty()) menus_.pop_back();
  records_.clear();
  captions_.clear();
}

std::optional<std::size_t> PopupMenus::PositionOf(ULONG_PTR itemData) const {
  // Compared as numbers, so that an unknown pointer is never followed.
  const auto first = reinterpret_cast<ULONG_PTR>(records_.data());
  const ULONG_PTR offset = itemData - first;
  if (itemData >= first && offset < records_.size() * sizeof(ItemDataRecord) && offset % sizeof(ItemDataRecord) == 0)
    return records_[offset / sizeof(ItemDataRecord)].position;
  if (itemData < records_.size()) return itemData;
  return std::nullopt;
}

const ItemRecord* RecordFor(const MenuTables& tables, const PopupMenus& menus, ULONG_PTR itemData) {
  const std::optional<std::size_t> position = menus.PositionOf(itemData);
  return position && *position < tables.items.size() ? &tables.items[*position] : nullptr;
}

LRESULT AnswerMenuChar(HWND owner, HMENU menu, WORD typed, const PopupMenus& menus, const MenuTables& tables) {
  std::vector<std::string> mnemonics;
  int highlighted = -1;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE | MIIM_DATA | MIIM_STATE;
    GetMenuItemInfoA(menu, i, TRUE, &item);
    if (item.fState & MFS_HILITE) highlighted = i;
    mnemonics.push_back(Folded(MnemonicOf(CaptionAt(menu, i, item, menus, tables), IsLeadByte)));
  }
  const MnemonicChoice choice =
      ChooseByMnemonic(mnemonics, Folded(TypedCharacter(typed)), highlighted, MenuLoopSelects());
  switch (choice.action) {
    case MnemonicChoice::Action::kExecute:
      return MAKELRESULT(choice.position, MNC_EXECUTE);
    case MnemonicChoice::Action::kSelect:
      // HiliteMenuItem is made for menu bars: where the loop selects, it
      // would leave a second item highlighted.
      if (choice.highlightByHand) {
        if (highlighted >= 0) HiliteMenuItem(owner, menu, highlighted, MF_BYPOSITION | MF_UNHILITE);
        HiliteMenuItem(owner, menu, choice.position, MF_BYPOSITION | MF_HILITE);
      }
      return MAKELRESULT(choice.position, MNC_SELECT);
    case MnemonicChoice::Action::kNone:
      break;
  }
  return MAKELRESULT(0, MNC_IGNORE);
}

int Scaled(int pixelsAt96, int dpi) { return MulDiv(pixelsAt96, dpi, 96); }

int DpiWhereMenuAppears(HWND hostWindow, const POINT* at) {
  DpiQueries queries;
  queries.hostWindow = [&] { return HostWindowDpi(hostWindow); };
  queries.monitor = [&] { return MonitorDpi(hostWindow, at); };
  queries.screen = SystemDpi;
  return ChooseMenuDpi(queries);
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
