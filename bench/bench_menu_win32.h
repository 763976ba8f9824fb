// What the Windows benchmarks share: menus of a given size, the same menu read
// and written value by value through the platform's profile functions (the
// way the plug-in must not do it), and timing.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "menufile/menu_definition.h"
#include "menufile/profile_file.h"

namespace dravlin::bench {

// ---------------------------------------------------------------------------
// Timing

inline double Now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / frequency;
}

// The median time of run(), repeated until it has taken a few tenths of a
// second in all; the median keeps a run disturbed by other processes out.
// prepare() runs untimed before each run.
inline double MedianSeconds(const std::function<void()>& run,
                            const std::function<void()>& prepare = [] {}) {
  std::vector<double> times;
  double total = 0;
  while (times.size() < 3 || (total < 0.3 && times.size() < 51)) {
    prepare();
    const double begin = Now();
    run();
    times.push_back(Now() - begin);
    total += times.back();
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

inline std::string FormatSeconds(double seconds) {
  char text[32];
  if (seconds < 1e-3) {
    std::snprintf(text, sizeof text, "%.1f us", seconds * 1e6);
  } else if (seconds < 1) {
    std::snprintf(text, sizeof text, "%.2f ms", seconds * 1e3);
  } else {
    std::snprintf(text, sizeof text, "%.2f s", seconds);
  }
  return text;
}

// ---------------------------------------------------------------------------
// Menus

constexpr int kBenchFolders = 5;

// A menu of `entries` entries spread evenly over the root and four folders,
// two of them nested, numbered in pre-order as a save numbers them.
inline MenuDefinition BenchMenu(int entries) {
  static const int kParents[kBenchFolders] = {0, 0, 1, 0, 3};
  MenuDefinition menu;
  menu.triggerKey = 163;
  menu.folders.resize(kBenchFolders);
  for (int f = 0; f < kBenchFolders; ++f) {
    MenuFolder& folder = menu.folders[static_cast<std::size_t>(f)];
    folder.parent = kParents[f];
    folder.caption = f ? "Folder " + std::to_string(f) : std::string();
  }
  for (int e = 0; e < entries; ++e) {
    MenuEntry entry;
    entry.caption = "Entry " + std::to_string(e + 1);
    entry.command = "say entry number " + std::to_string(e + 1) + " of the bench menu";
    entry.kind = e % 7 == 0 ? kWebSiteKind : e % 11 == 0 ? kEmailAddressKind : kNormalCommandKind;
    menu.folders[static_cast<std::size_t>(e % kBenchFolders)].entries.push_back(std::move(entry));
  }
  return menu;
}

inline int EntryCount(const MenuDefinition& menu) {
  int count = 0;
  for (const MenuFolder& folder : menu.folders) count += static_cast<int>(folder.entries.size());
  return count;
}

inline bool SameMenu(const MenuDefinition& a, const MenuDefinition& b) {
  if (a.triggerKey != b.triggerKey || a.folders.size() != b.folders.size()) return false;
  for (std::size_t f = 0; f < a.folders.size(); ++f) {
    const MenuFolder& x = a.folders[f];
    const MenuFolder& y = b.folders[f];
    if (x.caption != y.caption || x.parent != y.parent || x.entries.size() != y.entries.size()) return false;
    for (std::size_t e = 0; e < x.entries.size(); ++e)
      if (x.entries[e].caption != y.entries[e].caption || x.entries[e].command != y.entries[e].command ||
          x.entries[e].kind != y.entries[e].kind)
        return false;
  }
  return true;
}

// The configuration tree a save walks, over a menu definition. A node is its
// folder's number shifted up, plus the entry's position + 1 for an entry.
class DefinitionTree : public MenuTreeReader {
 public:
  explicit DefinitionTree(const MenuDefinition& menu) : menu_(menu) {}

  Node Root() const override { return 0; }
  std::vector<Node> Children(Node folder) const override {
    const std::size_t number = FolderOf(folder);
    std::vector<Node> children;
    for (std::size_t f = number + 1; f < menu_.folders.size(); ++f)
      if (static_cast<std::size_t>(menu_.folders[f].parent) == number) children.push_back(Node(f) << kShift);
    for (std::size_t e = 0; e < menu_.folders[number].entries.size(); ++e)
      children.push_back((Node(number) << kShift) | (e + 1));
    return children;
  }
  bool IsFolder(Node node) const override { return (node & kEntryMask) == 0; }
  std::string Caption(Node node) const override {
    return IsFolder(node) ? menu_.folders[FolderOf(node)].caption : EntryOf(node).caption;
  }
  std::string Command(Node entry) const override { return EntryOf(entry).command; }
  int Kind(Node entry) const override { return EntryOf(entry).kind; }

 private:
  static constexpr int kShift = 20;
  static constexpr Node kEntryMask = (Node(1) << kShift) - 1;
  static std::size_t FolderOf(Node node) { return static_cast<std::size_t>(node >> kShift); }
  const MenuEntry& EntryOf(Node node) const {
    return menu_.folders[FolderOf(node)].entries[static_cast<std::size_t>((node & kEntryMask) - 1)];
  }

  const MenuDefinition& menu_;
};

struct ProfileValue {
  std::string section;
  std::string key;
  std::string value;
};

// Every value a save writes, in the order it writes them: the trigger key,
// then each folder in pre-order (its text and parent, its subfolders, its
// entries, its count), then the folder count. Pre-order is the folders' own
// order in a BenchMenu.
inline std::vector<ProfileValue> ValuesInSaveOrder(const MenuDefinition& menu) {
  std::vector<ProfileValue> values;
  values.push_back({"general", "VirtKey", std::to_string(menu.triggerKey)});
  std::vector<std::size_t> open;
  const auto finish = [&](std::size_t f) {
    const std::string section = "folder" + std::to_string(f);
    const std::vector<MenuEntry>& entries = menu.folders[f].entries;
    for (std::size_t e = 0; e < entries.size(); ++e) {
      const std::string k = std::to_string(e + 1);
      values.push_back({section, "Capt" + k, entries[e].caption});
      values.push_back({section, "Command" + k, entries[e].command});
      values.push_back({section, "Type" + k, std::to_string(entries[e].kind)});
    }
    values.push_back({section, "Count", std::to_string(entries.size())});
  };
  for (std::size_t f = 0; f < menu.folders.size(); ++f) {
    // Folders whose subtree ends before this one are complete.
    while (!open.empty() && static_cast<std::size_t>(menu.folders[f].parent) != open.back()) {
      finish(open.back());
      open.pop_back();
    }
    const std::string section = "folder" + std::to_string(f);
    values.push_back({section, "Text", menu.folders[f].caption});
    values.push_back({section, "ParentID", std::to_string(f ? menu.folders[f].parent : 0)});
    open.push_back(f);
  }
  while (!open.empty()) {
    finish(open.back());
    open.pop_back();
  }
  values.push_back({"general", "Count", std::to_string(menu.folders.size())});
  return values;
}

// ---------------------------------------------------------------------------
// Value by value through the platform, within a time budget

// Thrown when a value-by-value run has used up its time.
struct OutOfTime {};

// The outcome of a run that may have been cut short: a lower bound on the
// whole run, and an estimate of it.
struct CappedTiming {
  double seconds = 0;
  bool complete = false;
  long done = 0;   // values read or written
  long total = 0;  // values in the whole run
  double estimate = 0;
};

// Counts the values of a run and stops it when its budget is spent, keeping
// the time taken at every few values for the estimate.
class Budget {
 public:
  Budget(double seconds, long total) : budget_(seconds), total_(total), begin_(Now()) {}

  void Step() {
    ++done_;
    if (done_ % 32) return;
    const double elapsed = Now() - begin_;
    samples_.emplace_back(done_, elapsed);
    if (elapsed > budget_) throw OutOfTime{};
  }

  // For a run cut short, the rest is costed at the rate of the last quarter
  // of what was done: the platform's cost per value only grows with the file,
  // so this estimate is low rather than high.
  CappedTiming Result(bool complete) const {
    CappedTiming timing;
    timing.seconds = Now() - begin_;
    timing.complete = complete;
    timing.done = done_;
    timing.total = total_;
    timing.estimate = timing.seconds;
    if (complete || samples_.size() < 4) return timing;
    const auto& [n1, t1] = samples_[samples_.size() * 3 / 4 - 1];
    const auto& [n2, t2] = samples_.back();
    timing.estimate = t2 + static_cast<double>(total_ - n2) * (t2 - t1) / static_cast<double>(n2 - n1);
    return timing;
  }

 private:
  double budget_;
  long total_;
  double begin_;
  long done_ = 0;
  std::vector<std::pair<long, double>> samples_;
};

// Runs work(budget) and times it, cut short after budgetSeconds.
inline CappedTiming RunCapped(double budgetSeconds, long total, const std::function<void(Budget&)>& work) {
  Budget budget(budgetSeconds, total);
  try {
    work(budget);
  } catch (const OutOfTime&) {
    return budget.Result(false);
  }
  return budget.Result(true);
}

// The number of values the reading procedure reads for a menu.
inline long ValuesRead(const MenuDefinition& menu) {
  const long folders = static_cast<long>(menu.folders.size());
  return 2 + 2 * (folders - 1) + folders + 3L * EntryCount(menu);
}

// The reading procedure done literally: each value fetched from the file with
// GetPrivateProfileStringA into a 128-byte buffer, in the procedure's order.
inline MenuDefinition ReadValueByValue(const std::string& path, Budget& budget) {
  const auto read = [&](const std::string& section, const std::string& key, const char* fallback) {
    char value[128] = "";
    GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback, value, sizeof value, path.c_str());
    budget.Step();
    return std::string(value);
  };
  const auto number = [&](const std::string& section, const std::string& key, const char* fallback) {
    return ParseProfileNumber(read(section, key, fallback));
  };
  MenuDefinition menu;
  menu.triggerKey = number("general", "VirtKey", "163");
  const int folders = std::max(1, number("general", "count", "1"));
  menu.folders.resize(static_cast<std::size_t>(folders));
  for (int i = 1; i < folders; ++i) {
    const std::string section = "folder" + std::to_string(i);
    const int parent = number(section, "parentID", "0");
    menu.folders[static_cast<std::size_t>(i)].parent = parent >= 0 && parent < i ? parent : 0;
    menu.folders[static_cast<std::size_t>(i)].caption = read(section, "Text", "");
  }
  for (int i = 0; i < folders; ++i) {
    const std::string section = "folder" + std::to_string(i);
    const int count = number(section, "count", "0");
    for (int k = 1; k <= count; ++k) {
      MenuEntry entry;
      entry.caption = read(section, "capt" + std::to_string(k), "");
      entry.command = read(section, "command" + std::to_string(k), "");
      entry.kind = number(section, "type" + std::to_string(k), "13014");
      menu.folders[static_cast<std::size_t>(i)].entries.push_back(std::move(entry));
    }
  }
  return menu;
}

inline void WriteValueByValue(const std::string& path, const std::vector<ProfileValue>& values, Budget& budget) {
  for (const ProfileValue& v : values) {
    WritePrivateProfileStringA(v.section.c_str(), v.key.c_str(), v.value.c_str(), path.c_str());
    budget.Step();
  }
}

// ---------------------------------------------------------------------------
// Files

// A fresh directory under the temporary directory, with its trailing separator.
inline std::string MakeBenchDirectory(const char* name) {
  char base[MAX_PATH] = "";
  GetTempPathA(MAX_PATH, base);
  for (unsigned attempt = GetTickCount();; ++attempt) {
    const std::string directory = std::string(base) + name + "-" + std::to_string(attempt) + "\\";
    if (CreateDirectoryA(directory.c_str(), nullptr)) return directory;
  }
}

inline void RemoveBenchDirectory(const std::string& directory) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((directory + "*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((directory + found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(directory.c_str());
}

inline std::string FileBytes(const std::string& path) {
  std::string bytes;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

// Writes the menu as a save does, through ProfileFile.
inline bool SaveMenu(const std::string& path, const MenuDefinition& menu) {
  ProfileFile file(path);
  WriteMenuDefinition(file, menu.triggerKey, DefinitionTree(menu));
  return file.Commit();
}

// The platform's reads are several times slower for a few seconds after the
// file's last write; the benchmarks read files that have settled.
constexpr DWORD kSettleMs = 3000;

}  // namespace dravlin::bench
