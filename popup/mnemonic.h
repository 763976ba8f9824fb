// Choosing a menu item by typing a letter, as standard menus do, for the
// owner-drawn items the window system cannot read.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace dravlin {

// The character that chooses an item: the one after the first single "&"
// ("&&" shows an ampersand), or the caption's first character when it has no
// "&". Double-byte characters are kept whole. Empty when there is none.
std::string MnemonicOf(const std::string& caption, const std::function<bool(char)>& isLeadByte);

// The typed character as a window of the ANSI code page receives it in the
// low word of WM_MENUCHAR: one byte, or a double-byte character with its lead
// byte above its trail byte.
std::string TypedCharacter(std::uint16_t character);

struct MnemonicChoice {
  enum class Action { kNone, kExecute, kSelect };
  Action action = Action::kNone;
  int position = -1;
  // The menu loop ignores the answer that selects, so the highlight must be
  // moved by hand.
  bool highlightByHand = false;
};

// What typing a key does in a menu whose items have the given mnemonics (in
// one letter case, empty for items without one), with the highlight at
// position highlighted (-1 for none): one match chooses it, several move the
// highlight to the next match after the highlighted item, none do nothing.
// loopSelects tells whether the platform's menu loop acts on a selecting answer.
MnemonicChoice ChooseByMnemonic(const std::vector<std::string>& mnemonics, const std::string& typed,
                                int highlighted, bool loopSelects);

}  // namespace dravlin
