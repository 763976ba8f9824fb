#include "popup/mnemonic.h"

#include <algorithm>

namespace dravlin {

std::string MnemonicOf(const std::string& caption, const std::function<bool(char)>& isLeadByte) {
  const auto characterAt = [&](std::size_t at) {
    const std::size_t length = isLeadByte(caption[at]) && at + 1 < caption.size() ? 2 : 1;
    return caption.substr(at, length);
  };
  for (std::size_t at = 0; at < caption.size(); at += characterAt(at).size()) {
    if (caption[at] != '&') continue;
    if (at + 1 == caption.size()) return {};
    if (caption[at + 1] != '&') return characterAt(at + 1);
    ++at;  // "&&" is a shown ampersand
  }
  return caption.empty() ? std::string() : characterAt(0);
}

std::string TypedCharacter(std::uint16_t character) {
  const char lead = static_cast<char>(character >> 8), trail = static_cast<char>(character & 0xFF);
  return lead ? std::string{lead, trail} : std::string(1, trail);
}

MnemonicChoice ChooseByMnemonic(const std::vector<std::string>& mnemonics, const std::string& typed,
                                int highlighted, bool loopSelects) {
  std::vector<int> matches;
  for (int i = 0; i < static_cast<int>(mnemonics.size()); ++i)
    if (!typed.empty() && mnemonics[i] == typed) matches.push_back(i);
  if (matches.empty()) return {};
  if (matches.size() == 1) return {MnemonicChoice::Action::kExecute, matches.front()};
  const auto next = std::upper_bound(matches.begin(), matches.end(), highlighted);
  return {MnemonicChoice::Action::kSelect, next == matches.end() ? matches.front() : *next, !loopSelects};
}

}  // namespace dravlin
