#include "popup/menu_dpi.h"

namespace dravlin {

int ChooseMenuDpi(const DpiQueries& queries) {
  for (const auto* query : {&queries.hostWindow, &queries.monitor, &queries.screen})
    if (*query)
      if (const int dpi = (*query)(); dpi > 0) return dpi;
  return kDefaultDpi;
}

}  // namespace dravlin
