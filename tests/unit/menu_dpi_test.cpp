#include "popup/menu_dpi.h"

#include <gtest/gtest.h>

#include <string>

namespace dravlin {
namespace {

// What each version of Windows answers, as the plug-in asks it at an opening;
// -1 stands for a function that version lacks. A single monitor never shows
// Wine the monitor's own resolution, nor an older version's order.
TEST(MenuDpi, TheBestAnswerThisVersionOfWindowsGives) {
  struct Case {
    const char* system;
    int hostWindow, monitor, screen;
    int dpi;
    std::string asked;  // w, m, s: the queries made, in order
  } cases[] = {
      {"Windows 10 1607, host per monitor on a 144 monitor", 144, 120, 120, 144, "w"},
      {"Windows 8.1, no GetDpiForWindow", -1, 144, 120, 144, "wm"},
      {"Windows 7, neither", -1, -1, 120, 120, "wms"},
      {"host window gone (GetDpiForWindow gives 0)", 0, 120, 96, 120, "wm"},
      {"no answer at all", -1, -1, 0, 96, "wms"},
  };
  for (const Case& c : cases) {
    std::string asked;
    const auto query = [&asked](char name, int answer) {
      return [&asked, name, answer] {
        asked += name;
        return answer < 0 ? 0 : answer;
      };
    };
    DpiQueries queries{query('w', c.hostWindow), query('m', c.monitor), query('s', c.screen)};
    EXPECT_EQ(ChooseMenuDpi(queries), c.dpi) << c.system;
    EXPECT_EQ(asked, c.asked) << c.system;
  }
}

}  // namespace
}  // namespace dravlin
