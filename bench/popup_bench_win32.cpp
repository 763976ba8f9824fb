// The popup menu's costs at run time.
//
// Building: what BuildPopupMenu does (load the file, read the menu, plan the
// tables, create the Win32 menus, and here also destroy them), next to the
// same menus built from the file read value by value through
// GetPrivateProfileStringA in the reading procedure's order.
//
// The finder: its opening (the index of every entry, the window made, filled
// and painted) and its work per keystroke (the list narrowed and painted
// again), next to one walk of the menu tables.
//
// The hook: the time of an ordinary keystroke typed into the host client
// simulator's text field with the plug-in loaded but not started, started
// (keyboard hook installed, menu built) and unloaded. The difference is what
// the hook adds to every keystroke that does not open the menu.
#include "tools/host_simulator.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_menu_win32.h"
#include "popup/finder_window_win32.h"
#include "popup/menu_tables.h"
#include "popup/popup_menu_win32.h"
#include "win/module.h"

namespace dravlin::bench {
namespace {

constexpr int kSizes[] = {100, 1000, 10000};
constexpr double kBuildBudgetSeconds = 25;

std::size_t ItemCount(const PopupMenus& menus) {
  std::size_t count = 0;
  for (const MenuHandle& menu : menus.Menus()) count += static_cast<std::size_t>(GetMenuItemCount(menu.Get()));
  return count;
}

std::size_t PlannedItemCount(const MenuTables& tables) {
  std::size_t count = 0;
  for (const auto& menu : tables.menus) count += menu.size();
  return count;
}

void BuildRow(const std::string& path, const MenuDefinition& menu) {
  const int entries = EntryCount(menu);
  std::size_t items = 0;
  const double ours = MedianSeconds([&] {
    const MenuTables tables = PlanMenuTables(ReadMenuDefinition(ProfileFile(path)));
    const PopupMenus menus(tables, false);
    items = ItemCount(menus);
  });
  const MenuTables planned = PlanMenuTables(menu);
  const std::size_t expectedItems = PlannedItemCount(planned);
  // The Win32 menus' share of the build, which the platform decides.
  const double menusOnly = MedianSeconds([&] {
    const PopupMenus menus(planned, false);
  });

  MenuDefinition platformRead;
  std::size_t platformItems = 0;
  const CappedTiming platform = RunCapped(kBuildBudgetSeconds, ValuesRead(menu), [&](Budget& budget) {
    platformRead = ReadValueByValue(path, budget);
    const MenuTables tables = PlanMenuTables(platformRead);
    const PopupMenus menus(tables, false);
    platformItems = ItemCount(menus);
  });

  const bool oursRight = items == expectedItems;
  const char* same = !oursRight                                                      ? "NO"
                     : !platform.complete                                            ? "-"
                     : SameMenu(platformRead, menu) && platformItems == expectedItems ? "yes"
                                                                                      : "NO";
  char platformText[40];
  char perEntry[32];
  char ratio[32];
  if (platform.complete) {
    std::snprintf(platformText, sizeof platformText, "%s", FormatSeconds(platform.seconds).c_str());
    std::snprintf(perEntry, sizeof perEntry, "%s", FormatSeconds(platform.seconds / entries).c_str());
    std::snprintf(ratio, sizeof ratio, "%.0fx", platform.seconds / ours);
  } else {
    std::snprintf(platformText, sizeof platformText, ">%s [*]", FormatSeconds(platform.seconds).c_str());
    std::snprintf(perEntry, sizeof perEntry, "~%s", FormatSeconds(platform.estimate / entries).c_str());
    std::snprintf(ratio, sizeof ratio, ">%.0fx", platform.seconds / ours);
  }
  std::printf("%8d %7zu  %14s %10s %11s  %16s %11s  %9s  %s\n", entries, expectedItems,
              FormatSeconds(ours).c_str(), FormatSeconds(ours / entries).c_str(), FormatSeconds(menusOnly).c_str(),
              platformText, perEntry, ratio, same);
  if (!platform.complete)
    std::printf(
        "    [*] stopped after %.0f s while reading, at %ld of %ld values; with the rest at the rate "
        "of its last quarter ~%s (~%.0fx)\n",
        platform.seconds, platform.done, platform.total, FormatSeconds(platform.estimate).c_str(),
        platform.estimate / ours);
  std::fflush(stdout);
}

void BuildBench() {
  const std::string directory = MakeBenchDirectory("dravlin-popup-bench");
  std::vector<MenuDefinition> menus;
  for (int size : kSizes) {
    menus.push_back(BenchMenu(size));
    SaveMenu(directory + "menu-" + std::to_string(size) + ".ini", menus.back());
  }
  Sleep(kSettleMs);
  std::printf(
      "BuildPopupMenu (ProfileFile + ReadMenuDefinition + PlanMenuTables + PopupMenus made and\n"
      "destroyed, median of repeats) against the same build reading the file value by value\n"
      "through GetPrivateProfileStringA (one run); menus in %d folders. 'Win32 menus': the part of\n"
      "BuildPopupMenu spent creating and destroying the menus. 'same': equal menus built.\n\n",
      kBenchFolders);
  std::printf("%8s %7s  %14s %10s %11s  %16s %11s  %9s  %s\n", "entries", "items", "BuildPopupMenu",
              "per entry", "Win32 menus", "value by value", "per entry", "ratio", "same");
  for (std::size_t i = 0; i < menus.size(); ++i)
    BuildRow(directory + "menu-" + std::to_string(kSizes[i]) + ".ini", menus[i]);
  RemoveBenchDirectory(directory);
}

std::string ProgramDirectory() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string directory = path;
  return directory.substr(0, directory.find_last_of("\\/") + 1);
}

// ---------------------------------------------------------------------------
// The finder

constexpr int kFinderSizes[] = {1000, 10000};
// Typed one character at a time, then taken back: from every entry down to
// one and up again.
const char* const kTypedTexts[] = {"e", "en", "ent", "entr", "entry", "entry ", "entry 9", "entry 99",
                                   "entry 999", "entry 99", "entry 9", "entry ", "entry"};

// Touches every caption of the tables once, as any use of the whole menu must.
std::size_t WalkTables(const MenuTables& tables) {
  std::size_t characters = 0;
  for (const auto& menu : tables.menus)
    for (const PlannedItem& item : menu)
      if (item.type != PlannedItem::Type::Separator) characters += tables.items[item.itemData].caption.size();
  return characters;
}

HWND FinderEdit(const FinderWindow& finder) { return FindWindowExA(finder.Handle(), nullptr, "Edit", nullptr); }
HWND FinderList(const FinderWindow& finder) { return FindWindowExA(finder.Handle(), nullptr, WC_LISTVIEWA, nullptr); }

void FinderRow(const MenuTables& tables, HFONT font, int dpi) {
  std::size_t walked = 0;
  const double walk = MedianSeconds([&] { walked = WalkTables(tables); });
  const CodePageRules rules = AnsiCodePageRules();
  std::unique_ptr<FinderIndex> index;
  std::unique_ptr<FinderWindow> finder;
  int listed = 0;
  const double opening = MedianSeconds(
      [&] {
        index = std::make_unique<FinderIndex>(tables, rules);
        finder = std::make_unique<FinderWindow>(*index, font, dpi);
        finder->Open(nullptr, POINT{100, 100});
        UpdateWindow(finder->Handle());
        listed = ListView_GetItemCount(FinderList(*finder));
      },
      [&] {
        finder.reset();
        index.reset();
      });
  const double indexing = MedianSeconds([&] { FinderIndex(tables, rules); });
  double matching = 0, keystroke = 0;
  std::vector<double> matchingTimes, keystrokeTimes;
  for (const char* typed : kTypedTexts) {
    matchingTimes.push_back(MedianSeconds([&] { index->Matching(typed); }));
    keystrokeTimes.push_back(MedianSeconds([&] {
      SetWindowTextA(FinderEdit(*finder), typed);
      UpdateWindow(FinderList(*finder));
    }));
  }
  for (std::size_t i = 0; i < keystrokeTimes.size(); ++i) {
    matching = std::max(matching, matchingTimes[i]);
    keystroke = std::max(keystroke, keystrokeTimes[i]);
  }
  std::sort(keystrokeTimes.begin(), keystrokeTimes.end());
  const bool right = walked > 0 && listed == static_cast<int>(tables.commands.size());
  std::printf("%8zu  %12s  %12s  %12s  %14s %14s %16s  %s\n", tables.commands.size(), FormatSeconds(walk).c_str(),
              FormatSeconds(opening).c_str(), FormatSeconds(indexing).c_str(), FormatSeconds(keystrokeTimes[keystrokeTimes.size() / 2]).c_str(),
              FormatSeconds(keystroke).c_str(), FormatSeconds(matching).c_str(), right ? "yes" : "NO");
  std::fflush(stdout);
}

void FinderBench() {
  // The icons are the plug-in's; its windows' classes name it too.
  const HMODULE plugin = LoadLibraryA((ProgramDirectory() + "dravlin.dll").c_str());
  SetModuleInstance(plugin ? plugin : GetModuleHandleA(nullptr));
  const int dpi = GetDeviceCaps(WindowDc(nullptr).Get(), LOGPIXELSY);
  LOGFONTA logFont = {};
  logFont.lfHeight = -(dpi * 85 / 720);
  lstrcpynA(logFont.lfFaceName, "Tahoma", LF_FACESIZE);
  const FontHandle font(CreateFontIndirectA(&logFont));
  std::printf(
      "\nThe finder: opening it (index of the entries, window made, filled and painted) and a\n"
      "keystroke (the list narrowed to the typed text and painted again; %zu texts from \"e\", which\n"
      "every entry holds, to one entry and back), medians of repeats, next to one walk of the menu\n"
      "tables. 'narrowing': the slowest typed text's share spent matching captions. 'all': every\n"
      "entry listed at opening.\n\n",
      std::size(kTypedTexts));
  std::printf("%8s  %12s  %12s  %12s  %14s %14s %16s  %s\n", "entries", "table walk", "opening", "of it index", "keystroke",
              "slowest key", "narrowing", "all");
  for (int size : kFinderSizes) FinderRow(PlanMenuTables(BenchMenu(size)), font.Get(), dpi);
}

// ---------------------------------------------------------------------------
// Keystrokes

constexpr int kRounds = 5;
constexpr int kKeystrokesPerPhase = 200;
constexpr DWORD kKeystrokeTimeoutMs = 2000;

void SendKey(WORD key, bool up) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, 0));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof input);
}

// Handles messages without waiting between them: the input SendInput queued
// is there at once, and a wait would measure the scheduler rather than the
// keystroke.
bool SpinUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (done()) return true;
    if (GetTickCount() - start > timeoutMs) return false;
  }
}

// Types 'A' (down and up) into the text field kKeystrokesPerPhase times, each
// timed from SendInput until its character is in the field and no key message
// is left in the queue. Appends the times; false when a keystroke got lost.
bool TimeKeystrokes(HostSimulator& host, std::vector<double>& times) {
  SetForegroundWindow(host.MainWindow());
  SetFocus(host.TextField());
  SetWindowTextA(host.TextField(), "");
  SpinUntil([] { return false; }, 50);
  for (int i = 1; i <= kKeystrokesPerPhase; ++i) {
    const double begin = Now();
    SendKey('A', false);
    SendKey('A', true);
    const bool done = SpinUntil(
        [&] {
          return GetWindowTextLengthA(host.TextField()) == i && !(HIWORD(GetQueueStatus(QS_KEY)) & QS_KEY);
        },
        kKeystrokeTimeoutMs);
    if (!done) return false;
    times.push_back(Now() - begin);
  }
  return true;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Mean(const std::vector<double>& values) {
  double sum = 0;
  for (double v : values) sum += v;
  return sum / static_cast<double>(values.size());
}

// A keyboard hook that does nothing but pass the keystroke on: what the
// platform charges for any hook, apart from the plug-in's own work.
LRESULT CALLBACK PassOnHook(int code, WPARAM wParam, LPARAM lParam) {
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct KeystrokeTimes {
  std::vector<double> loaded, started, unloaded, emptyHook, emptyModuleHook;
};

bool TimeWithPassOnHook(HostSimulator& host, HINSTANCE module, std::vector<double>& times) {
  HHOOK hook = SetWindowsHookExA(WH_KEYBOARD, PassOnHook, module, GetCurrentThreadId());
  const bool typed = hook && TimeKeystrokes(host, times);
  if (hook) UnhookWindowsHookEx(hook);
  return typed;
}

bool TimeKeystrokeRounds(HostSimulator& host, KeystrokeTimes& times) {
  const std::string plugin = ProgramDirectory() + "dravlin.dll";
  for (int round = 0; round < kRounds; ++round) {
    if (!host.LoadPlugin(plugin)) {
      std::printf("could not load %s\n", plugin.c_str());
      return false;
    }
    if (!TimeKeystrokes(host, times.loaded)) return false;
    const std::size_t connections = host.Connections().size();
    // The plug-in answers the start on this thread after installing its hook
    // and building its menu, so its first bytes mean both are done.
    const bool answered =
        host.StartPlugin() == 1 && PumpMessagesUntil(
                                       [&] {
                                         return host.Connections().size() > connections &&
                                                !host.Connections().back().received.empty();
                                       },
                                       5000);
    if (!answered) {
      std::printf("the plug-in did not start\n");
      return false;
    }
    if (!TimeKeystrokes(host, times.started)) return false;
    host.UnloadPlugin();
    PumpMessagesFor(100);
    if (!TimeKeystrokes(host, times.unloaded)) return false;
    // A hook doing nothing, registered without and (as the plug-in registers
    // its own) with the handle of the module holding the procedure.
    if (!TimeWithPassOnHook(host, nullptr, times.emptyHook) ||
        !TimeWithPassOnHook(host, GetModuleHandleA(nullptr), times.emptyModuleHook))
      return false;
  }
  return true;
}

void PrintKeystrokeRow(const char* state, const std::vector<double>& times) {
  std::printf("  %-46s %10s %10s\n", state, FormatSeconds(Median(times)).c_str(),
              FormatSeconds(Mean(times)).c_str());
}

std::string SignedSeconds(double seconds) {
  return (seconds < 0 ? "-" : "") + FormatSeconds(seconds < 0 ? -seconds : seconds);
}

bool KeystrokeBench() {
  const std::string settings = MakeBenchDirectory("dravlin-hook-bench");
  SaveMenu(settings + "dravlin.ini", BenchMenu(100));
  KeystrokeTimes times;
  bool measured = false;
  {
    HostSimulator host(settings);
    if (host.Create(GetModuleHandleA(nullptr), SW_SHOWNORMAL)) {
      measured = TimeKeystrokeRounds(host, times);
      if (!measured) std::printf("a keystroke did not reach the text field, or the plug-in failed\n");
    } else {
      std::printf("the host client simulator could not start\n");
    }
  }
  RemoveBenchDirectory(settings);
  if (!measured) return false;

  std::printf(
      "\nAn ordinary keystroke ('A' down and up into the simulator's text field, timed from\n"
      "SendInput until handled), %d rounds of %d per state, the states taking turns:\n\n",
      kRounds, kKeystrokesPerPhase);
  std::printf("  %-46s %10s %10s\n", "", "median", "mean");
  PrintKeystrokeRow("plug-in loaded, not started (no hook)", times.loaded);
  PrintKeystrokeRow("plug-in started (its hook installed)", times.started);
  PrintKeystrokeRow("plug-in unloaded", times.unloaded);
  PrintKeystrokeRow("no plug-in, a hook that only passes keys on", times.emptyHook);
  PrintKeystrokeRow("  the same, registered with a module handle", times.emptyModuleHook);
  const double without = (Median(times.loaded) + Median(times.unloaded)) / 2;
  std::printf("\n  the plug-in's hook per keystroke (started - mean of loaded and unloaded): %s\n",
              SignedSeconds(Median(times.started) - without).c_str());
  std::printf("  a pass-on hook (- mean of loaded and unloaded):                           %s\n",
              SignedSeconds(Median(times.emptyHook) - without).c_str());
  std::printf("  a pass-on hook with a module handle (- mean of loaded and unloaded):      %s\n",
              SignedSeconds(Median(times.emptyModuleHook) - without).c_str());
  std::printf("  the plug-in's own work in its hook (started - pass-on hook with module):  %s\n",
              SignedSeconds(Median(times.started) - Median(times.emptyModuleHook)).c_str());
  return true;
}

}  // namespace
}  // namespace dravlin::bench

int main(int argc, char** argv) {
  // "finder" runs the finder's part alone.
  const bool finderOnly = argc > 1 && std::string(argv[1]) == "finder";
  if (!finderOnly) dravlin::bench::BuildBench();
  dravlin::bench::FinderBench();
  if (finderOnly) return 0;
  return dravlin::bench::KeystrokeBench() ? 0 : 1;
}
