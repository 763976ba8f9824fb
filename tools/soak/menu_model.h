// The soak's menus: random menu definition files to write, and the menu a file
// holds in a form that compares equal whatever order and numbering a save gave
// it, so that after every step the file can be held to the menu it had or the
// one the step made.
#pragma once

#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "menufile/menu_definition.h"

namespace dravlin::soak {

// A menu without order: folders by their path of captions from the root,
// entries by that path and their caption, command and kind.
struct MenuShape {
  using Entry = std::tuple<std::string, std::string, std::string, int>;

  int triggerKey = kDefaultTriggerKey;
  std::multiset<std::string> folders;
  std::multiset<Entry> entries;

  bool operator==(const MenuShape& other) const {
    return triggerKey == other.triggerKey && folders == other.folders && entries == other.entries;
  }
  bool operator!=(const MenuShape& other) const { return !(*this == other); }
};

// The menu of a file's bytes as the readers take it, but without loss: UTF-16
// text is read as UTF-8, so that a character the ANSI code page only
// approximates still tells two files apart. The reading writes scratchPath.
MenuShape ShapeOfMenuFile(const std::string& bytes, const std::string& scratchPath);

// Whether the ANSI code page, in which the plug-in edits a menu, holds every
// character of the file: always for 8-bit text, for UTF-16 only when none is
// lost or approximated.
bool AnsiHoldsEveryCharacter(const std::string& bytes);

// What the configuration dialog's edits in the root folder do to a menu.
void AddRootFolder(MenuShape& menu, const std::string& caption);
void AddRootEntry(MenuShape& menu, const MenuEntry& entry);
void RenameRootEntry(MenuShape& menu, const std::string& from, const std::string& to);
// Removes the root's folder of that caption with everything in it, or else its entry.
void RemoveRootItem(MenuShape& menu, const std::string& caption);

// The captions of the root's folders and entries that name one item only and
// are plain ASCII, so that the dialog's tree finds them by caption.
std::vector<std::string> DistinctRootCaptions(const MenuShape& menu);

// One line for each folder, entry or trigger key that only one of the menus has.
std::string DescribeDifference(const MenuShape& expected, const MenuShape& actual);

// A well-formed menu file: maybe a trigger key, up to five folders under any
// earlier one, entries of the three kinds; one in four in UTF-16, whose
// captions may hold characters the ANSI code page lacks or only approximates.
std::string RandomMenuFile(std::mt19937& random);

}  // namespace dravlin::soak
