#include "tools/soak/menu_model.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "menufile/file_io.h"
#include "menufile/profile_file.h"

namespace dravlin::soak {
namespace {

const char kPathSeparator[] = " > ";

bool IsUtf16(const std::string& bytes) {
  return bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0;
}

std::u16string Utf16Units(const std::string& bytes) {
  const bool bigEndian = bytes[0] == '\xFE';
  std::u16string units;
  for (std::size_t at = 2; at + 1 < bytes.size(); at += 2) {
    const auto first = static_cast<unsigned char>(bytes[at]);
    const auto second = static_cast<unsigned char>(bytes[at + 1]);
    units.push_back(static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first));
  }
  return units;
}

// Each unit on its own, surrogates included: the text only has to compare.
std::string ToUtf8(const std::u16string& units) {
  std::string text;
  for (const char16_t unit : units) {
    if (unit < 0x80) {
      text += static_cast<char>(unit);
    } else if (unit < 0x800) {
      text += static_cast<char>(0xC0 | unit >> 6);
      text += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      text += static_cast<char>(0xE0 | unit >> 12);
      text += static_cast<char>(0x80 | (unit >> 6 & 0x3F));
      text += static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
  return text;
}

// Characters of up to three bytes, which is all the generator writes.
std::u16string FromUtf8(const std::string& text) {
  std::u16string units;
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : 3;
    char16_t unit = length == 1 ? lead : length == 2 ? lead & 0x1F : lead & 0x0F;
    for (std::size_t k = 1; k < length && at + k < text.size(); ++k)
      unit = static_cast<char16_t>(unit << 6 | (static_cast<unsigned char>(text[at + k]) & 0x3F));
    units.push_back(unit);
    at += length;
  }
  return units;
}

bool IsRootFolder(const std::string& path) { return path.find(kPathSeparator) == std::string::npos; }

bool IsWithin(const std::string& path, const std::string& folder) {
  const std::string prefix = folder + kPathSeparator;
  return path == folder || path.compare(0, prefix.size(), prefix) == 0;
}

std::multiset<MenuShape::Entry>::iterator FindRootEntry(MenuShape& menu, const std::string& caption) {
  return std::find_if(menu.entries.begin(), menu.entries.end(), [&](const MenuShape::Entry& entry) {
    return std::get<0>(entry).empty() && std::get<1>(entry) == caption;
  });
}

std::string Describe(const MenuShape::Entry& entry) {
  return "entry [" + std::get<0>(entry) + "] \"" + std::get<1>(entry) + "\" \"" + std::get<2>(entry) + "\" " +
         std::to_string(std::get<3>(entry));
}

template <typename Item, typename Render>
void DescribeOnlyIn(const std::multiset<Item>& in, const std::multiset<Item>& other, const char* mark,
                    Render render, std::string& text) {
  std::vector<Item> only;
  std::set_difference(in.begin(), in.end(), other.begin(), other.end(), std::back_inserter(only));
  for (const Item& item : only) text += std::string(mark) + render(item) + "\n";
}

int Draw(std::mt19937& random, int range) { return std::uniform_int_distribution<int>(0, range - 1)(random); }

// Words of captions and commands; UTF-16 files also get some the ANSI code
// page holds only approximately (L for the stroked L) or not at all.
std::string Word(std::mt19937& random, bool utf16) {
  static const char* const kPlain[] = {"Alpha", "beta", "Gamma", "delta", "Echo", "zulu", "a b", "Mixed Case"};
  static const char* const kAnsi[] = {"Caf\xE9", "na\xEFve"};
  static const char* const kUtf8[] = {"Caf\xC3\xA9", "\xC5\x81\xC3\xB3" "d\xC5\xBA", "\xE2\x98\x83", "\xE2\x82\xAC"};
  if (Draw(random, 5) > 0) return kPlain[Draw(random, 8)];
  return utf16 ? kUtf8[Draw(random, 4)] : kAnsi[Draw(random, 2)];
}

std::string EntryLines(std::mt19937& random, bool utf16, int k) {
  static const int kKinds[] = {kNormalCommandKind, kNormalCommandKind, kWebSiteKind, kEmailAddressKind};
  const int kind = kKinds[Draw(random, 4)];
  const std::string n = std::to_string(Draw(random, 1000));
  const std::string command = kind == kWebSiteKind     ? "http://example.org/" + n
                              : kind == kEmailAddressKind ? "user" + n + "@example.org"
                                                          : "say " + Word(random, utf16) + " " + n;
  const std::string key = std::to_string(k);
  return "Capt" + key + "=" + Word(random, utf16) + " " + n + "\r\nCommand" + key + "=" + command + "\r\nType" +
         key + "=" + std::to_string(kind) + "\r\n";
}

}  // namespace

MenuShape ShapeOfMenuFile(const std::string& bytes, const std::string& scratchPath) {
  std::ofstream(scratchPath, std::ios::binary | std::ios::trunc)
      << (IsUtf16(bytes) ? ToUtf8(Utf16Units(bytes)) : bytes);
  const MenuDefinition menu = ReadMenuDefinition(ProfileFile(scratchPath));
  MenuShape shape;
  shape.triggerKey = menu.triggerKey;
  std::vector<std::string> paths(menu.folders.size());
  for (std::size_t i = 0; i < menu.folders.size(); ++i) {
    const MenuFolder& folder = menu.folders[i];
    if (i > 0) {
      paths[i] = (folder.parent == 0 ? "" : paths[folder.parent] + kPathSeparator) + folder.caption;
      shape.folders.insert(paths[i]);
    }
    for (const MenuEntry& entry : folder.entries)
      shape.entries.insert({paths[i], entry.caption, entry.command, entry.kind});
  }
  return shape;
}

bool AnsiHoldsEveryCharacter(const std::string& bytes) {
  if (!IsUtf16(bytes)) return true;
  const std::u16string units = Utf16Units(bytes);
  bool exact = false;
  const std::string ansi = ToAnsiCodePage(units, exact);
  return exact && FromAnsiCodePage(ansi) == units;
}

void AddRootFolder(MenuShape& menu, const std::string& caption) { menu.folders.insert(caption); }

void AddRootEntry(MenuShape& menu, const MenuEntry& entry) {
  menu.entries.insert({"", entry.caption, entry.command, entry.kind});
}

void RenameRootEntry(MenuShape& menu, const std::string& from, const std::string& to) {
  const auto entry = FindRootEntry(menu, from);
  if (entry == menu.entries.end()) return;
  MenuShape::Entry renamed = *entry;
  std::get<1>(renamed) = to;
  menu.entries.erase(entry);
  menu.entries.insert(renamed);
}

void RemoveRootItem(MenuShape& menu, const std::string& caption) {
  if (menu.folders.count(caption) == 0) {
    const auto entry = FindRootEntry(menu, caption);
    if (entry != menu.entries.end()) menu.entries.erase(entry);
    return;
  }
  for (auto folder = menu.folders.begin(); folder != menu.folders.end();)
    folder = IsWithin(*folder, caption) ? menu.folders.erase(folder) : std::next(folder);
  for (auto entry = menu.entries.begin(); entry != menu.entries.end();)
    entry = IsWithin(std::get<0>(*entry), caption) ? menu.entries.erase(entry) : std::next(entry);
}

std::vector<std::string> DistinctRootCaptions(const MenuShape& menu) {
  std::multiset<std::string> captions;
  for (const std::string& folder : menu.folders)
    if (IsRootFolder(folder)) captions.insert(folder);
  for (const MenuShape::Entry& entry : menu.entries)
    if (std::get<0>(entry).empty()) captions.insert(std::get<1>(entry));
  std::vector<std::string> distinct;
  for (const std::string& caption : captions) {
    const bool ascii = std::all_of(caption.begin(), caption.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
    if (ascii && !caption.empty() && captions.count(caption) == 1) distinct.push_back(caption);
  }
  return distinct;
}

std::string DescribeDifference(const MenuShape& expected, const MenuShape& actual) {
  std::string text;
  if (expected.triggerKey != actual.triggerKey)
    text += "- trigger key " + std::to_string(expected.triggerKey) + "\n+ trigger key " +
            std::to_string(actual.triggerKey) + "\n";
  const auto folder = [](const std::string& path) { return "folder [" + path + "]"; };
  const auto entry = [](const MenuShape::Entry& e) { return Describe(e); };
  DescribeOnlyIn(expected.folders, actual.folders, "- ", folder, text);
  DescribeOnlyIn(actual.folders, expected.folders, "+ ", folder, text);
  DescribeOnlyIn(expected.entries, actual.entries, "- ", entry, text);
  DescribeOnlyIn(actual.entries, expected.entries, "+ ", entry, text);
  return text;
}

std::string RandomMenuFile(std::mt19937& random) {
  static const int kTriggerKeys[] = {0, 163, 161, 45};
  const bool utf16 = Draw(random, 4) == 0;
  const int triggerKey = kTriggerKeys[Draw(random, 4)];
  const int folders = 1 + Draw(random, 5);
  std::string text = "[general]\r\n";
  if (triggerKey != 0) text += "VirtKey=" + std::to_string(triggerKey) + "\r\n";
  text += "Count=" + std::to_string(folders) + "\r\n";
  for (int f = 0; f < folders; ++f) {
    text += "[folder" + std::to_string(f) + "]\r\n";
    if (f > 0)
      text += "Text=" + Word(random, utf16) + " " + std::to_string(f) + "\r\nParentID=" +
              std::to_string(Draw(random, f)) + "\r\n";
    const int entries = Draw(random, f == 0 ? 7 : 5);
    text += "Count=" + std::to_string(entries) + "\r\n";
    for (int k = 1; k <= entries; ++k) text += EntryLines(random, utf16, k);
  }
  return utf16 ? EncodeUtf16Text(FromUtf8(text), TextEncoding::kUtf16LittleEndian) : text;
}

}  // namespace dravlin::soak
