// The popup menu and the dialogs at the screen resolutions users run: each
// resolution in a process of its own, since Wine takes it from the prefix's
// registry when a process starts.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "res/resource.h"
#include "tests/wine/dialog_driver.h"
#include "tests/wine/menu_watcher.h"
#include "tests/wine/modal_steps.h"
#include "tests/wine/plugin_fixture.h"
#include "tests/wine/screenshot.h"

namespace dravlin {
namespace {

const char kDesktopKey[] = "Control Panel\\Desktop";
const char kDpiVariable[] = "DRAVLIN_TEST_DPI";

int Scaled(int pixelsAt96, int dpi) { return MulDiv(pixelsAt96, dpi, 96); }

// The resolution the parent asked this process to check, or 0 when none.
int RequestedDpi() {
  char value[16] = "";
  return GetEnvironmentVariableA(kDpiVariable, value, sizeof value) ? std::atoi(value) : 0;
}

std::string ControlText(HWND control) {
  char text[256] = "";
  GetWindowTextA(control, text, sizeof text);
  return text;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM children) {
  reinterpret_cast<std::vector<HWND>*>(children)->push_back(child);
  return TRUE;
}

RECT ClientRectOf(HWND control, HWND dialog) {
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

bool Contains(const RECT& outer, const RECT& inner) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

// Every control inside the dialog, no two overlapping unless one holds the
// other (a group box), and every label's text as wide as its control allows.
void ExpectLaidOut(HWND dialog) {
  std::vector<HWND> controls;
  EnumChildWindows(dialog, CollectChild, reinterpret_cast<LPARAM>(&controls));
  RECT client;
  GetClientRect(dialog, &client);
  HDC dc = GetDC(dialog);
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const RECT rect = ClientRectOf(controls[i], dialog);
    const std::string text = ControlText(controls[i]);
    EXPECT_TRUE(Contains(client, rect)) << text;
    for (std::size_t j = i + 1; j < controls.size(); ++j) {
      const RECT other = ClientRectOf(controls[j], dialog);
      RECT common;
      EXPECT_TRUE(!IntersectRect(&common, &rect, &other) || Contains(rect, other) || Contains(other, rect))
          << text << " and " << ControlText(controls[j]);
    }
    char className[32] = "";
    GetClassNameA(controls[i], className, sizeof className);
    const LONG style = GetWindowLongA(controls[i], GWL_STYLE);
    const bool radio = lstrcmpiA(className, "Button") == 0 && (style & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
    const bool label = lstrcmpiA(className, "Static") == 0 || (lstrcmpiA(className, "Button") == 0 &&
                                                               (style & BS_TYPEMASK) != BS_GROUPBOX);
    if (!label || text.empty()) continue;
    const HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(controls[i], WM_GETFONT, 0, 0)));
    SIZE extent;
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, previous);
    const int box = radio ? GetSystemMetrics(SM_CXMENUCHECK) : 0;
    EXPECT_LE(extent.cx + box, rect.right - rect.left) << "\"" << text << "\" is cut";
    EXPECT_LE(extent.cy, rect.bottom - rect.top) << "\"" << text << "\" is cut";
  }
  ReleaseDC(dialog, dc);
}

INT_PTR CALLBACK InertDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

const char kMenu[] =
    "[general]\r\nCount=2\r\n"
    "[folder0]\r\nCount=3\r\nCapt1=Say hello, all of you\r\nCommand1=hi\r\n"
    "Capt2=Home page\r\nCommand2=http://example.org\r\nType2=13008\r\nCapt3=Mail us\r\nCommand3=x\r\nType3=13011\r\n"
    "[folder1]\r\nText=Greetings\r\nParentID=0\r\nCount=1\r\nCapt1=Bye\r\nCommand1=bye\r\n";

// Disabled: these run only in the process that DpiTest starts for one resolution.
class DISABLED_DpiChild : public PluginTest {
 protected:
  void SetUp() override {
    dpi_ = RequestedDpi();
    if (!dpi_) FAIL() << "runs in a process of its own, for one resolution";
    // A host that does not declare itself DPI aware is shown 96 DPI and
    // scaled, on Windows and from Wine 10 on. The call is younger than the
    // Windows versions the headers are set to.
    using DeclareDpiAware = BOOL(WINAPI*)();
    const auto declareDpiAware = reinterpret_cast<DeclareDpiAware>(
        GetProcAddress(GetModuleHandleA("user32.dll"), "SetProcessDPIAware"));
    ASSERT_NE(declareDpiAware, nullptr);
    declareDpiAware();
    PluginTest::SetUp();
    std::ofstream(settingsDirectory_ + "dravlin.ini", std::ios::binary) << kMenu;
    StartAndWaitForAnswer();
  }

  // Draws an item into a bitmap as tall as it was measured and returns the
  // box around the pixels left of its caption that are not background: its
  // icon.
  RECT DrawnIconBox(ULONG_PTR itemData, int height) {
    const int width = Scaled(25, dpi_);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32};
    DWORD* pixels = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&pixels), nullptr, 0);
    const HGDIOBJ previous = SelectObject(dc, bitmap);
    DRAWITEMSTRUCT request = {};
    request.CtlType = ODT_MENU;
    request.itemAction = ODA_DRAWENTIRE;
    request.hDC = dc;
    request.rcItem = {0, 0, width, height};
    request.itemData = itemData;
    SendMessageA(FindPluginWindow(), WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&request));
    GdiFlush();
    RECT box = {width, height, -1, -1};
    const COLORREF menu = GetSysColor(COLOR_MENU);
    const DWORD background = GetBValue(menu) | GetGValue(menu) << 8 | GetRValue(menu) << 16;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if ((pixels[y * width + x] & 0xFFFFFF) != background) {
          box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x + 1),
                 std::max<LONG>(box.bottom, y + 1)};
        }
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return box;
  }

  std::string Name(const std::string& what) const { return what + "-" + std::to_string(dpi_) + "dpi"; }

  int dpi_ = 0;
};

TEST_F(DISABLED_DpiChild, ItemsHoldTheirCaptionsAndIconsTheirSize) {
  FocusTextField();
  ASSERT_TRUE(OpenMenuAndType({VK_ESCAPE}));
  HDC screen = GetDC(nullptr);
  ASSERT_EQ(GetDeviceCaps(screen, LOGPIXELSY), dpi_);
  LOGFONTA font = {};
  font.lfHeight = -(dpi_ * 85 / 720);
  lstrcpyA(font.lfFaceName, "Tahoma");
  const HFONT menuFont = CreateFontIndirectA(&font);
  const HGDIOBJ previous = SelectObject(screen, menuFont);
  TEXTMETRICA metrics;
  GetTextMetricsA(screen, &metrics);
  SelectObject(screen, previous);
  DeleteObject(menuFont);
  ReleaseDC(nullptr, screen);

  // Item table positions: Greetings 0, Say hello 1, Home page 2, Mail us 3, Bye 4, (cancel) 5.
  for (ULONG_PTR item = 0; item <= 5; ++item) {
    MEASUREITEMSTRUCT measure = {};
    measure.CtlType = ODT_MENU;
    measure.itemData = item;
    SendMessageA(FindPluginWindow(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure));
    const int height = static_cast<int>(measure.itemHeight);
    EXPECT_EQ(height, std::max<int>(Scaled(20, dpi_), metrics.tmHeight)) << item;
    const RECT icon = DrawnIconBox(item, height);
    const int offset = Scaled(2, dpi_), size = Scaled(16, dpi_);
    EXPECT_GE(icon.left, offset) << item;
    EXPECT_GE(icon.top, offset) << item;
    EXPECT_LE(icon.right, offset + size) << item << ": drawn larger than " << size;
    EXPECT_LE(icon.bottom, std::min(offset + size, height)) << item;
    EXPECT_GE(icon.right - icon.left, size * 3 / 4) << item << ": drawn smaller than " << size;
  }
}

TEST_F(DISABLED_DpiChild, ScreenshotsOfTheMenuAndTheDialogs) {
  SetForegroundWindow(host_.MainWindow());
  SetFocus(host_.TextField());
  PumpMessagesFor(50);
  MenuWatcher watcher;
  bool saved = false;
  watcher.whileOpen = [&](int tick) {
    if (tick == 1) SendKeys({VK_RIGHT});
    if (tick == 6) {
      RECT area = watcher.opened[0].rect;
      area.right += (area.right - area.left) * 2;
      saved = SaveScreenshot(area, Name("popup_menu"));
      EndMenu();
    }
  };
  SendKeys({VK_RCONTROL});
  WaitFor([&] { return saved; });
  EXPECT_TRUE(saved);

  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  const std::pair<int, const char*> dialogs[] = {
      {IDD_CONFIGURE, "configure-dravlin"}, {IDD_FOLDER, "folder-properties"}, {IDD_ENTRY, "menu-properties"}};
  for (const auto& [id, name] : dialogs) {
    const HWND dialog =
        CreateDialogParamA(host_.Plugin(), MAKEINTRESOURCEA(id), host_.MainWindow(), InertDialog, 0);
    ASSERT_NE(dialog, nullptr) << name;
    ShowWindow(dialog, SW_SHOW);
    PumpMessagesFor(100);
    SCOPED_TRACE(ControlText(dialog));
    ExpectLaidOut(dialog);
    EXPECT_TRUE(SaveWindowScreenshot(dialog, Name(name)));
    DestroyWindow(dialog);
  }
}

TEST_F(DISABLED_DpiChild, ScreenshotOfTheLoadedDialogWithItsShortcutMenu) {
  HWND dialog = nullptr;
  bool saved = false;
  const Steps steps({
      {[&] { return (dialog = ShownDialog(kConfigTitle)) != nullptr; },
       [&] {
         for (const HTREEITEM folder : {FindItem(dialog, {"Menu"}), FindItem(dialog, {"Menu", "Greetings"})})
           SendMessageA(Tree(dialog), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(folder));
         SelectItem(dialog, FindItem(dialog, {"Menu", "Home page"}));
         SendKeys({VK_APPS});
       }},
      {[] { return VisibleMenuWindow() != nullptr; },
       [&] {
         RECT area, menu;
         GetWindowRect(dialog, &area);
         GetWindowRect(VisibleMenuWindow(), &menu);
         UnionRect(&area, &area, &menu);
         saved = SaveScreenshot(area, Name("configure-dravlin-shortcut-menu"));
         SendKeys({VK_ESCAPE});
       }},
      {[&] { return !VisibleMenuWindow(); }, [&] { Click(dialog, IDCANCEL); }},
  });
  EXPECT_EQ(host_.CallConfigure(), 1);
  EXPECT_EQ(steps.Taken(), 3u);
  EXPECT_TRUE(saved);
}

TEST_F(DISABLED_DpiChild, FinderGrowsWithTheTextAndItsScreenshot) {
  SetForegroundWindow(host_.MainWindow());
  SetFocus(host_.TextField());
  PumpMessagesFor(50);
  MenuWatcher watcher;
  watcher.whileOpen = [](int tick) {
    if (tick == 1) SendWithCtrl('F');
  };
  RECT finder = {};
  int iconSize = 0, rowHeight = 0;
  bool saved = false;
  int ticks = 0;
  Steps steps({{[] { return Finder() != nullptr; },
                [&] {
                  GetWindowRect(Finder(), &finder);
                  int height = 0;
                  ImageList_GetIconSize(ListView_GetImageList(FinderList(), LVSIL_SMALL), &iconSize, &height);
                  RECT row = {LVIR_BOUNDS};
                  SendMessageA(FinderList(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
                  rowHeight = row.bottom - row.top;
                  SendKeys({'E'});
                }},
               // Once its loop has shown what it painted.
               {[&] { return ++ticks > 10; },
                [&] {
                  saved = SaveWindowScreenshot(Finder(), Name("finder"));
                  SendKeys({VK_ESCAPE});
                }}});
  SendKeys({VK_RCONTROL});
  WaitFor([&] { return steps.Taken() == 2 && !Finder(); });
  EXPECT_TRUE(saved);
  EXPECT_EQ(finder.right - finder.left, Scaled(420, dpi_));
  EXPECT_EQ(iconSize, Scaled(16, dpi_));
  EXPECT_GE(rowHeight, iconSize);
}

// Runs the checks above in a child process at each resolution, then puts the
// prefix's resolution back.
TEST(DpiTest, MenuAndDialogsAtEveryResolution) {
  HKEY desktop = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &desktop,
                            nullptr),
            ERROR_SUCCESS);
  for (const DWORD dpi : {96u, 120u, 144u, 192u}) {
    RegSetValueExA(desktop, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    SetEnvironmentVariableA(kDpiVariable, std::to_string(dpi).c_str());
    EXPECT_TRUE(PassedInChild("DISABLED_DpiChild.*", 60000)) << "at " << dpi << " pixels per inch";
  }
  SetEnvironmentVariableA(kDpiVariable, nullptr);
  RegDeleteValueA(desktop, "LogPixels");
  RegCloseKey(desktop);
}

}  // namespace
}  // namespace dravlin
