// Reading and writing every value of the menu definition file through
// ProfileFile, next to the same values read and written one by one through the
// platform's profile functions. Those reread or rewrite the file per value, so
// their cost grows with the square of the menu; ProfileFile's per-entry time
// should stay flat. The platform's runs stop after a time budget and are then
// given as a lower bound and an estimate.
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_menu_win32.h"

namespace dravlin::bench {
namespace {

constexpr int kSizes[] = {100, 1000, 10000};
constexpr double kReadBudgetSeconds = 25;
constexpr double kWriteBudgetSeconds = 40;

std::vector<std::string> g_footnotes;

// Prints one row; a platform run cut short shows its lower bound, marked with a
// footnote giving the estimate.
void PrintRow(int entries, const char* operation, long values, double ours, const CappedTiming& platform,
              const char* same) {
  char platformText[32];
  char perEntry[32];
  char ratio[32];
  if (platform.complete) {
    std::snprintf(platformText, sizeof platformText, "%s", FormatSeconds(platform.seconds).c_str());
    std::snprintf(perEntry, sizeof perEntry, "%s", FormatSeconds(platform.seconds / entries).c_str());
    std::snprintf(ratio, sizeof ratio, "%.0fx", platform.seconds / ours);
  } else {
    g_footnotes.push_back(std::to_string(g_footnotes.size() + 1));
    std::snprintf(platformText, sizeof platformText, ">%s [%zu]", FormatSeconds(platform.seconds).c_str(),
                  g_footnotes.size());
    std::snprintf(perEntry, sizeof perEntry, "~%s", FormatSeconds(platform.estimate / entries).c_str());
    std::snprintf(ratio, sizeof ratio, ">%.0fx", platform.seconds / ours);
    char note[256];
    std::snprintf(note, sizeof note,
                  "[%zu] %s stopped after %.0f s at %ld of %ld values; with the rest at the rate of "
                  "its last quarter the whole run would take ~%s (~%.0fx)",
                  g_footnotes.size(), operation, platform.seconds, platform.done, platform.total,
                  FormatSeconds(platform.estimate).c_str(), platform.estimate / ours);
    g_footnotes.back() = note;
  }
  std::printf("%8d  %-5s %7ld  %11s %10s  %16s %11s  %9s  %s\n", entries, operation, values,
              FormatSeconds(ours).c_str(), FormatSeconds(ours / entries).c_str(), platformText, perEntry, ratio,
              same);
  std::fflush(stdout);
}

void ReadRow(const std::string& path, const MenuDefinition& menu) {
  const int entries = EntryCount(menu);
  MenuDefinition read;
  const double ours = MedianSeconds([&] {
    ProfileFile file(path);
    read = ReadMenuDefinition(file);
  });
  if (!SameMenu(read, menu)) std::printf("ProfileFile read a different menu from %s\n", path.c_str());
  MenuDefinition platformRead;
  const CappedTiming platform = RunCapped(kReadBudgetSeconds, ValuesRead(menu),
                                          [&](Budget& budget) { platformRead = ReadValueByValue(path, budget); });
  const char* same = !platform.complete ? "-" : SameMenu(platformRead, menu) ? "yes" : "NO";
  PrintRow(entries, "read", ValuesRead(menu), ours, platform, same);
}

void WriteRow(const std::string& directory, const MenuDefinition& menu) {
  const int entries = EntryCount(menu);
  const std::string ours = directory + "write-ours-" + std::to_string(entries) + ".ini";
  const std::string platformPath = directory + "write-platform-" + std::to_string(entries) + ".ini";
  const double oursSeconds =
      MedianSeconds([&] { SaveMenu(ours, menu); }, [&] { DeleteFileA(ours.c_str()); });
  const std::vector<ProfileValue> values = ValuesInSaveOrder(menu);
  const CappedTiming platform =
      RunCapped(kWriteBudgetSeconds, static_cast<long>(values.size()),
                [&](Budget& budget) { WriteValueByValue(platformPath, values, budget); });
  const char* same = !platform.complete ? "-" : FileBytes(ours) == FileBytes(platformPath) ? "yes" : "NO";
  PrintRow(entries, "write", static_cast<long>(values.size()), oursSeconds, platform, same);
}

}  // namespace
}  // namespace dravlin::bench

int main() {
  using namespace dravlin::bench;
  const std::string directory = MakeBenchDirectory("dravlin-profile-bench");
  std::vector<dravlin::MenuDefinition> menus;
  for (int size : kSizes) {
    menus.push_back(BenchMenu(size));
    SaveMenu(directory + "read-" + std::to_string(size) + ".ini", menus.back());
  }
  Sleep(kSettleMs);

  std::printf(
      "Menu definition file: every value of a menu in %d folders, through ProfileFile\n"
      "(read: load + ReadMenuDefinition; write: WriteMenuDefinition + Commit, median of repeats)\n"
      "and one by one through GetPrivateProfileStringA / WritePrivateProfileStringA (one run).\n"
      "'same': the platform read the same menu / wrote the same bytes.\n\n",
      kBenchFolders);
  std::printf("%8s  %-5s %7s  %11s %10s  %16s %11s  %9s  %s\n", "entries", "op", "values", "ProfileFile",
              "per entry", "platform", "per entry", "ratio", "same");
  for (std::size_t i = 0; i < menus.size(); ++i)
    ReadRow(directory + "read-" + std::to_string(kSizes[i]) + ".ini", menus[i]);
  for (const dravlin::MenuDefinition& menu : menus) WriteRow(directory, menu);
  if (!g_footnotes.empty()) std::printf("\n");
  for (const std::string& note : g_footnotes) std::printf("%s\n", note.c_str());
  RemoveBenchDirectory(directory);
  return 0;
}
