// The finder's part apart from the window system: every entry of the running
// menu with the folders that lead to it, and the entries whose captions hold
// what the user typed.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "popup/menu_tables.h"

namespace dravlin {

// What the ANSI code page says of each byte: whether it begins a double-byte
// character, and its upper case when it is a character of its own.
struct CodePageRules {
  CodePageRules();  // ASCII letters fold; no lead bytes
  std::array<bool, 256> leadByte{};
  std::array<char, 256> upper{};
};

struct FinderEntry {
  std::string caption;  // as the menu shows it: ampersands removed
  std::string path;     // the folders above it, "Greetings > Formal"; empty in the root
  unsigned commandId = 0;
  int kind = 0;
};

class FinderIndex {
 public:
  // Every entry the tables show, in command id order.
  FinderIndex(const MenuTables& tables, const CodePageRules& rules);

  const std::vector<FinderEntry>& Entries() const { return entries_; }

  // The positions in Entries() of those whose caption holds every word of
  // typed (separated by spaces) in any order, case ignored; a word matches
  // only whole characters. Empty text matches every entry.
  std::vector<std::size_t> Matching(const std::string& typed) const;

 private:
  std::string Folded(std::string text) const;
  bool Holds(const std::string& folded, const std::string& word) const;

  CodePageRules rules_;
  std::vector<FinderEntry> entries_;
  std::vector<std::string> foldedCaptions_;
};

// The caption as a menu shows it: a single "&" marks the next character and
// goes, "&&" shows one ampersand.
std::string ShownCaption(const std::string& caption, const CodePageRules& rules);

}  // namespace dravlin
