// Menu items measured and drawn by the plug-in window into a bitmap of ours,
// through the same messages the menu sends, and checked pixel by pixel.
#include <fstream>

#include "tests/wine/plugin_fixture.h"

namespace dravlin {
namespace {

constexpr int kWidth = 200, kHeight = 20;
constexpr ULONG_PTR kFolderItem = 0, kCommandItem = 1, kKindlessItem = 2, kCancelItem = 3;

COLORREF Rgb(int r, int g, int b) { return RGB(r, g, b); }

class OwnerDrawTest : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    std::ofstream(settingsDirectory_ + "dravlin.ini", std::ios::binary)
        << "[general]\r\nCount=2\r\n[folder1]\r\nText=Greetings\r\n"
           "[folder0]\r\nCount=2\r\nCapt1=Say &hello\r\nCommand1=hi\r\nCapt2=Kindless\r\nType2=0\r\n";
    StartAndWaitForAnswer();
    FocusTextField();
    ASSERT_TRUE(OpenMenuAndType({VK_ESCAPE}));
    window_ = FindPluginWindow();
    ASSERT_NE(window_, nullptr);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -kHeight;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&pixels_), nullptr, 0);
    previous_ = SelectObject(dc_, bitmap_);
  }

  void TearDown() override {
    PluginTest::TearDown();
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }

  void Draw(ULONG_PTR itemData, bool selected) {
    // Fill with a colour no system colour has, so that untouched pixels show.
    RECT all = {0, 0, kWidth, kHeight};
    HBRUSH magenta = CreateSolidBrush(Rgb(255, 0, 255));
    FillRect(dc_, &all, magenta);
    DeleteObject(magenta);
    DRAWITEMSTRUCT request = {};
    request.CtlType = ODT_MENU;
    request.itemAction = ODA_DRAWENTIRE;
    request.itemState = selected ? ODS_SELECTED : 0;
    request.hDC = dc_;
    request.rcItem = all;
    request.itemData = itemData;
    SendMessageA(window_, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&request));
    GdiFlush();
  }

  COLORREF Pixel(int x, int y) const {
    const DWORD bgrx = pixels_[y * kWidth + x];
    return RGB((bgrx >> 16) & 0xFF, (bgrx >> 8) & 0xFF, bgrx & 0xFF);
  }

  int CountInText(COLORREF colour) const {
    int count = 0;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 25; x < kWidth; ++x) count += Pixel(x, y) == colour;
    return count;
  }

  HWND window_ = nullptr;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  DWORD* pixels_ = nullptr;
};

TEST_F(OwnerDrawTest, MeasureGivesTwentyHighAndCaptionWidthPlus25) {
  LOGFONTA font = {};
  HDC screen = GetDC(nullptr);
  font.lfHeight = -(GetDeviceCaps(screen, LOGPIXELSY) * 85 / 720);
  ReleaseDC(nullptr, screen);
  font.lfCharSet = DEFAULT_CHARSET;
  lstrcpyA(font.lfFaceName, "Tahoma");
  HFONT tahoma = CreateFontIndirectA(&font);
  HGDIOBJ before = SelectObject(dc_, tahoma);
  for (const auto& [itemData, caption] : {std::pair<ULONG_PTR, std::string>{kFolderItem, "Greetings"},
                                          {kCommandItem, "Say &hello"},
                                          {kCancelItem, "(cancel)"}}) {
    SIZE extent;
    GetTextExtentPoint32A(dc_, caption.c_str(), static_cast<int>(caption.size()), &extent);
    MEASUREITEMSTRUCT request = {};
    request.CtlType = ODT_MENU;
    request.itemData = itemData;
    SendMessageA(window_, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&request));
    EXPECT_EQ(request.itemHeight, 20u) << caption;
    EXPECT_EQ(request.itemWidth, UINT(extent.cx + 25)) << caption << ", the ampersand measured too";
  }
  SelectObject(dc_, before);
  DeleteObject(tahoma);
}

TEST_F(OwnerDrawTest, ColoursFollowTheSelectionState) {
  for (bool selected : {false, true}) {
    Draw(kCommandItem, selected);
    const COLORREF background = GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_MENU);
    const COLORREF text = GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT);
    EXPECT_EQ(Pixel(kWidth - 2, 1), background) << selected;
    EXPECT_EQ(Pixel(0, kHeight - 1), background) << selected;
    EXPECT_GT(CountInText(text), 10) << "caption pixels in the text colour, selected " << selected;
    EXPECT_EQ(CountInText(Rgb(255, 0, 255)), 0) << "the whole item is painted";
  }
}

TEST_F(OwnerDrawTest, IconsAtTwoTwoAndTheArrowTurnsWhiteWhenSelected) {
  Draw(kCommandItem, false);
  EXPECT_EQ(Pixel(2 + 5, 2 + 7), Rgb(0, 0, 0));
  EXPECT_EQ(Pixel(2 + 13, 2 + 7), Rgb(0, 0, 0));
  EXPECT_EQ(Pixel(2 + 1, 2 + 7), GetSysColor(COLOR_MENU)) << "transparent around the arrow";
  Draw(kCommandItem, true);
  EXPECT_EQ(Pixel(2 + 5, 2 + 7), Rgb(255, 255, 255));
  EXPECT_EQ(Pixel(2 + 13, 2 + 7), Rgb(255, 255, 255));

  for (bool selected : {false, true}) {
    Draw(kFolderItem, selected);
    EXPECT_EQ(Pixel(2 + 7, 2 + 9), Rgb(255, 208, 0)) << "yellow folder, selected " << selected;
    EXPECT_EQ(Pixel(2 + 0, 2 + 6), Rgb(128, 88, 0));
    Draw(kCancelItem, selected);
    EXPECT_EQ(Pixel(2 + 7, 2 + 7), Rgb(0, 0, 0)) << "black cross, selected " << selected;
    EXPECT_EQ(Pixel(2 + 7, 2 + 3), Rgb(192, 192, 192)) << "grey square";
  }
}

TEST_F(OwnerDrawTest, KindZeroDrawsNoIconButItsCaption) {
  Draw(kKindlessItem, false);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < 25; ++x) ASSERT_EQ(Pixel(x, y), GetSysColor(COLOR_MENU)) << x << "," << y;
  EXPECT_GT(CountInText(GetSysColor(COLOR_MENUTEXT)), 10);
}

TEST_F(OwnerDrawTest, ItemDataOutsideTheTableIsIgnored) {
  Draw(99, false);
  EXPECT_EQ(Pixel(kWidth / 2, kHeight / 2), Rgb(255, 0, 255));
  MEASUREITEMSTRUCT request = {};
  request.CtlType = ODT_MENU;
  request.itemData = 99;
  SendMessageA(window_, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&request));
  EXPECT_EQ(request.itemHeight, 0u);
}

}  // namespace
}  // namespace dravlin
