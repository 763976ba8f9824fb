// Choosing a menu item by typing a letter, as standard menus do, for the
// owner-drawn items the window system cannot read.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace dravlin {

// The character that chooses an item: the one after the first single "&"
// ("&&" shows an ampersand), or the caption's first character when it has no
// "&". Double-byte characters are kept whole. Empty when there is none.
std::string MnemonicOf(const std::string& caption, const std::function<bool(char)>& isLeadByte);

struct MnemonicChoice {
  enum class Action { kNone, kExecute, kSelect };
  Action action = Action::kNone;
  int position = -1;
};

// What typing a key does in a menu whose items have the given mnemonics (in
// one letter case, empty for items without one), with the highlight at
// position highlighted (-1 for none): one match chooses it, several move the
// highlight to the next match after the highlighted item, none do nothing.
MnemonicChoice ChooseByMnemonic(const std::vector<std::string>& mnemonics, const std::string& typed,
                                int highlighted);

}  // namespace dravlin
