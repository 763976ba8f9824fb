// The resolution the popup menu is measured and drawn for.
#pragma once

#include <functional>

namespace dravlin {

constexpr int kDefaultDpi = 96;

// The ways of asking the system for the pixels per inch where the menu will
// appear. Each gives 0 when this version of the system lacks it or it fails.
struct DpiQueries {
  std::function<int()> hostWindow;  // the host window's own (Windows 10 1607 and later)
  std::function<int()> monitor;     // the monitor's under the menu (Windows 8.1 and later)
  std::function<int()> screen;      // the system-wide one (every version)
};

// The first answer in the order above, asking each only when those before it
// gave none (a query may load a library); 96 when none answers.
int ChooseMenuDpi(const DpiQueries& queries);

}  // namespace dravlin
