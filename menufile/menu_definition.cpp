#include "menufile/menu_definition.h"

#include <algorithm>
#include <utility>

namespace dravlin {
namespace {

const char kGeneralSection[] = "general";

std::string FolderSection(int folder) { return "folder" + std::to_string(folder); }

std::string EntryKey(const char* name, int entry) { return name + std::to_string(entry); }

void ReadFolders(const ProfileFile& file, int folderCount, MenuDefinition& menu) {
  menu.folders.resize(static_cast<std::size_t>(folderCount));
  for (int i = 1; i < folderCount; ++i) {
    const std::string section = FolderSection(i);
    MenuFolder& folder = menu.folders[static_cast<std::size_t>(i)];
    const int parent = file.ReadNumber(section, "parentID", 0);
    folder.parent = parent >= 0 && parent < i ? parent : 0;
    folder.caption = file.Read(section, "Text", "");
  }
}

void ReadEntries(const ProfileFile& file, MenuDefinition& menu) {
  int entriesLeft = kMaxMenuEntries;
  for (std::size_t i = 0; i < menu.folders.size() && entriesLeft > 0; ++i) {
    const std::string section = FolderSection(static_cast<int>(i));
    const int count = std::min(file.ReadNumber(section, "count", 0), entriesLeft);
    std::vector<MenuEntry>& entries = menu.folders[i].entries;
    for (int k = 1; k <= count; ++k) {
      MenuEntry entry;
      entry.caption = file.Read(section, EntryKey("capt", k), "");
      entry.command = file.Read(section, EntryKey("command", k), "");
      entry.kind = file.ReadNumber(section, EntryKey("type", k), kNormalCommandKind);
      entries.push_back(std::move(entry));
    }
    entriesLeft -= std::max(count, 0);
  }
}

}  // namespace

MenuDefinition ReadMenuDefinition(const ProfileFile& file) {
  MenuDefinition menu;
  menu.triggerKey = file.ReadNumber(kGeneralSection, "VirtKey", kDefaultTriggerKey);
  const int folderCount =
      std::clamp(file.ReadNumber(kGeneralSection, "count", 1), 1, kMaxMenuFolders);
  ReadFolders(file, folderCount, menu);
  ReadEntries(file, menu);
  return menu;
}

namespace {

// A folder whose children are being written. The walk keeps its own stack so
// that a deeply nested tree cannot exhaust the host thread's stack.
struct OpenFolder {
  std::string section;
  int number = 0;
  std::vector<MenuTreeReader::Node> children;
  std::size_t nextChild = 0;
  int entryCount = 0;
};

void WriteEntry(ProfileFile& file, OpenFolder& folder, const MenuTreeReader& tree,
                MenuTreeReader::Node entry) {
  const int k = ++folder.entryCount;
  file.Write(folder.section, EntryKey("Capt", k), tree.Caption(entry));
  file.Write(folder.section, EntryKey("Command", k), tree.Command(entry));
  file.WriteNumber(folder.section, EntryKey("Type", k), tree.Kind(entry));
}

}  // namespace

void WriteMenuDefinition(ProfileFile& file, int triggerKey, const MenuTreeReader& tree) {
  file.WriteNumber(kGeneralSection, "VirtKey", triggerKey);
  int folderCounter = -1;
  std::vector<OpenFolder> open;
  const auto beginFolder = [&](MenuTreeReader::Node folder, int parent) {
    OpenFolder opened;
    opened.number = ++folderCounter;
    opened.section = FolderSection(opened.number);
    file.Write(opened.section, "Text", tree.Caption(folder));
    file.WriteNumber(opened.section, "ParentID", parent);
    opened.children = tree.Children(folder);
    open.push_back(std::move(opened));
  };
  beginFolder(tree.Root(), 0);
  while (!open.empty()) {
    OpenFolder& current = open.back();
    if (current.nextChild == current.children.size()) {
      file.WriteNumber(current.section, "Count", current.entryCount);
      open.pop_back();
      continue;
    }
    const MenuTreeReader::Node child = current.children[current.nextChild++];
    if (tree.IsFolder(child)) {
      beginFolder(child, current.number);
    } else {
      WriteEntry(file, current, tree, child);
    }
  }
  file.WriteNumber(kGeneralSection, "Count", folderCounter + 1);
}

}  // namespace dravlin
