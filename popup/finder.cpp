#include "popup/finder.h"

#include <algorithm>
#include <cstring>

namespace dravlin {
namespace {

const char kPathSeparator[] = " > ";

std::size_t CharacterLength(const std::string& text, std::size_t at, const CodePageRules& rules) {
  return rules.leadByte[static_cast<unsigned char>(text[at])] && at + 1 < text.size() ? 2 : 1;
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find(' ', start), text.size());
    if (end > start) words.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

}  // namespace

CodePageRules::CodePageRules() {
  for (int c = 0; c < 256; ++c) upper[c] = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
}

std::string ShownCaption(const std::string& caption, const CodePageRules& rules) {
  std::string shown;
  for (std::size_t at = 0; at < caption.size();) {
    if (caption[at] == '&') {
      // A single "&" goes; of "&&" the second is shown.
      if (++at == caption.size()) break;
    }
    const std::size_t length = CharacterLength(caption, at, rules);
    shown.append(caption, at, length);
    at += length;
  }
  return shown;
}

FinderIndex::FinderIndex(const MenuTables& tables, const CodePageRules& rules) : rules_(rules) {
  // Folders come before the folders they hold, so each path extends its parent's.
  std::vector<std::string> paths(tables.menus.size());
  for (std::size_t menu = 0; menu < tables.menus.size(); ++menu)
    for (const PlannedItem& item : tables.menus[menu]) {
      if (item.type != PlannedItem::Type::Folder || item.submenu >= paths.size()) continue;
      const std::string folder = ShownCaption(tables.items[item.itemData].caption, rules_);
      paths[item.submenu] = paths[menu].empty() ? folder : paths[menu] + kPathSeparator + folder;
    }
  entries_.resize(tables.commands.size());
  for (std::size_t menu = 0; menu < tables.menus.size(); ++menu)
    for (const PlannedItem& item : tables.menus[menu]) {
      if (item.type != PlannedItem::Type::Entry) continue;
      const ItemRecord& record = tables.items[item.itemData];
      entries_[item.commandId - kFirstEntryCommandId] = {ShownCaption(record.caption, rules_), paths[menu],
                                                         item.commandId, record.kind};
    }
  foldedCaptions_.reserve(entries_.size());
  for (const FinderEntry& entry : entries_) foldedCaptions_.push_back(Folded(entry.caption));
}

std::string FinderIndex::Folded(std::string text) const {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = CharacterLength(text, at, rules_);
    if (length == 1) text[at] = rules_.upper[static_cast<unsigned char>(text[at])];
    at += length;
  }
  return text;
}

bool FinderIndex::Holds(const std::string& folded, const std::string& word) const {
  // Tried only where a character begins: a trail byte is not a character.
  for (std::size_t at = 0; at + word.size() <= folded.size(); at += CharacterLength(folded, at, rules_))
    if (std::memcmp(folded.data() + at, word.data(), word.size()) == 0) return true;
  return false;
}

std::vector<std::size_t> FinderIndex::Matching(const std::string& typed) const {
  std::vector<std::string> words = Words(typed);
  for (std::string& word : words) word = Folded(word);
  std::vector<std::size_t> matching;
  for (std::size_t i = 0; i < foldedCaptions_.size(); ++i) {
    bool all = true;
    for (const std::string& word : words) all = all && Holds(foldedCaptions_[i], word);
    if (all) matching.push_back(i);
  }
  return matching;
}

}  // namespace dravlin
