// The configuration dialog's costs for large menus.
//
// Totals: through the built plug-in, started as a host client starts it, the
// time from calling zanConf until the loaded dialog has painted and waits for
// the user, and the time from OK until zanConf has returned (the save and the
// dialog's teardown) and the running menu has been rebuilt, just after.
//
// Phases: the same steps the dialog takes, run here one by one with the same
// code on a copy of the dialog made from the module's own template.
//
// Baseline: the same menu read value by value through GetPrivateProfileStringA,
// in the same run.
#include "tools/host_simulator.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_menu_win32.h"
#include "config/config_tree_win32.h"
#include "popup/menu_tables.h"
#include "popup/popup_menu_win32.h"
#include "res/resource.h"

namespace dravlin::bench {
namespace {

constexpr int kRepeats = 5;
constexpr double kReadBudgetSeconds = 60;

struct Shape {
  int entries;
  int folders;
  const char* name;
};
constexpr Shape kShapes[] = {{1000, 10, "1,000 in 10"}, {10000, 100, "10,000 in 100"}, {10000, 1, "10,000 in 1"}};

// entries spread over folders (the root included), ten subfolders to a
// folder, captions in no particular order so that every folder needs sorting.
MenuDefinition ShuffledMenu(const Shape& shape) {
  std::uint32_t state = 2024;
  const auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  MenuDefinition menu;
  menu.folders.resize(static_cast<std::size_t>(shape.folders));
  for (std::size_t f = 1; f < menu.folders.size(); ++f) {
    menu.folders[f].parent = static_cast<int>((f - 1) / 10);
    menu.folders[f].caption = "Folder " + std::to_string(next() % 100000);
  }
  for (int e = 0; e < shape.entries; ++e) {
    MenuEntry entry;
    entry.caption = "Entry " + std::to_string(next() % 1000000);
    entry.command = "say entry number " + std::to_string(e + 1) + " of the bench menu";
    entry.kind = e % 7 == 0 ? kWebSiteKind : e % 11 == 0 ? kEmailAddressKind : kNormalCommandKind;
    menu.folders[static_cast<std::size_t>(e % shape.folders)].entries.push_back(std::move(entry));
  }
  return menu;
}

std::string ProgramDirectory() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string file = path;
  return file.substr(0, file.find_last_of("\\/") + 1);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// ---------------------------------------------------------------------------
// Totals through the plug-in

// The dialog manager tells the owner each time the dialog's queue runs dry;
// the first time nothing is left to paint, the loaded dialog is on the screen.
// OK is pressed right there.
struct ConfigureRun {
  WNDPROC hostProcedure = nullptr;
  double begin = 0;
  double shown = 0;
  double ok = 0;
};
ConfigureRun g_run;

LRESULT CALLBACK WatchOwner(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX && g_run.shown == 0 &&
      HIWORD(GetQueueStatus(QS_ALLINPUT)) == 0) {
    g_run.shown = Now();
    const HWND dialog = reinterpret_cast<HWND>(lParam);
    g_run.ok = Now();
    // Clicked as a user clicks it: OK with the focus still on the tree acts on the tree's item.
    SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    return 0;
  }
  return CallWindowProcA(g_run.hostProcedure, hwnd, message, wParam, lParam);
}

struct Totals {
  double open = 0;
  double ok = 0;
};

// Median open and OK times of zanConf on the menu file, rewritten before each
// run so that every OK writes.
Totals ConfigureTotals(HostSimulator& host, const std::string& path, const std::string& bytes) {
  std::vector<double> opens, oks;
  for (int i = 0; i < kRepeats; ++i) {
    WriteBytes(path, bytes);
    PumpMessagesFor(50);
    g_run = ConfigureRun{};
    g_run.hostProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(host.MainWindow(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchOwner)));
    g_run.begin = Now();
    host.CallConfigure();
    // The rebuild of the running menu waits for zanConf's loop to return and
    // runs from the host's queue right after; it belongs to OK all the same.
    for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&message);
    const double end = Now();
    SetWindowLongPtrA(host.MainWindow(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_run.hostProcedure));
    opens.push_back(g_run.shown - g_run.begin);
    oks.push_back(end - g_run.ok);
  }
  return {Median(opens), Median(oks)};
}

// ---------------------------------------------------------------------------
// Phases, with the dialog's own code

class TimedTreeView : public ConfigTreeView {
 public:
  using ConfigTreeView::ConfigTreeView;
  void SortChildren(Item parent) override {
    const double begin = Now();
    ConfigTreeView::SortChildren(parent);
    sortSeconds += Now() - begin;
  }
  double sortSeconds = 0;
};

INT_PTR CALLBACK IgnoreMessages(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

enum Phase { kRead, kFill, kSort, kShow, kReread, kSaveWalk, kCommit, kRebuild, kDestroy, kMakeMenus, kPhaseCount };
const char* const kPhaseNames[kPhaseCount] = {
    "read the file", "fill the tree", "sort", "show", "read the file again",
    "save walk", "commit", "rebuild the running menu", "destroy the dialog",
    "menus made when next shown (not in OK)"};

using PhaseTimes = std::vector<double>;

PhaseTimes TimePhasesOnce(HMODULE plugin, const std::string& path, PopupMenus& running) {
  PhaseTimes t(kPhaseCount);
  const HWND dialog =
      CreateDialogParamA(plugin, MAKEINTRESOURCEA(IDD_CONFIGURE), nullptr, IgnoreMessages, 0);
  auto tree = std::make_unique<TimedTreeView>(GetDlgItem(dialog, IDC_MENU_TREE));
  auto entries = std::make_unique<EntryTable>();

  double begin = Now();
  ProfileFile opened(path);
  const MenuDefinition menu = ReadMenuDefinition(opened);
  t[kRead] = Now() - begin;
  begin = Now();
  LoadConfigTree(menu, *tree, *entries);
  t[kSort] = tree->sortSeconds;
  t[kFill] = Now() - begin - t[kSort];
  begin = Now();
  ShowWindow(dialog, SW_SHOWNORMAL);
  UpdateWindow(dialog);
  t[kShow] = Now() - begin;

  begin = Now();
  ProfileFile file = std::move(opened).Reread();
  t[kReread] = Now() - begin;
  begin = Now();
  SaveConfigTree(file, menu.triggerKey, *tree, *entries);
  t[kSaveWalk] = Now() - begin;
  begin = Now();
  file.Commit();
  t[kCommit] = Now() - begin;
  begin = Now();
  running = PopupMenus();
  const MenuTables tables = PlanMenuTables(ReadMenuDefinition(file));
  t[kRebuild] = Now() - begin;
  // The dialog's window goes first, then its tree and entry table with it.
  begin = Now();
  DestroyWindow(dialog);
  tree.reset();
  entries.reset();
  t[kDestroy] = Now() - begin;
  begin = Now();
  running = PopupMenus(tables, false);
  t[kMakeMenus] = Now() - begin;
  return t;
}

PhaseTimes TimePhases(HMODULE plugin, const std::string& path, const std::string& bytes) {
  std::vector<PhaseTimes> runs;
  PopupMenus running(PlanMenuTables(ReadMenuDefinition(ProfileFile(path))), false);
  for (int i = 0; i < kRepeats; ++i) {
    WriteBytes(path, bytes);
    runs.push_back(TimePhasesOnce(plugin, path, running));
    PumpMessagesFor(50);
  }
  running = PopupMenus();
  PhaseTimes medians(kPhaseCount);
  for (int p = 0; p < kPhaseCount; ++p) {
    std::vector<double> values;
    for (const PhaseTimes& run : runs) values.push_back(run[static_cast<std::size_t>(p)]);
    medians[static_cast<std::size_t>(p)] = Median(values);
  }
  return medians;
}

// ---------------------------------------------------------------------------

struct Row {
  CappedTiming baseline;
  Totals totals;
  PhaseTimes phases;
};

std::string BaselineText(const CappedTiming& baseline) {
  return baseline.complete ? FormatSeconds(baseline.seconds) : "~" + FormatSeconds(baseline.estimate);
}

double BaselineSeconds(const CappedTiming& baseline) {
  return baseline.complete ? baseline.seconds : baseline.estimate;
}

void PrintLine(const char* label, const std::vector<std::string>& cells) {
  std::printf("  %-44s", label);
  for (const std::string& cell : cells) std::printf(" %14s", cell.c_str());
  std::printf("\n");
}

void PrintTable(const std::vector<Row>& rows) {
  const auto cells = [&](const std::function<std::string(const Row&)>& cell) {
    std::vector<std::string> texts;
    for (const Row& row : rows) texts.push_back(cell(row));
    return texts;
  };
  const auto percent = [](double part, double whole) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%%", 100 * part / whole);
    return std::string(text);
  };
  std::vector<std::string> names;
  for (const Shape& shape : kShapes) names.push_back(shape.name);
  std::printf("\n");
  PrintLine("entries in folders", names);
  PrintLine("value-by-value read (baseline)", cells([](const Row& r) { return BaselineText(r.baseline); }));
  PrintLine("open: zanConf until the loaded dialog shows",
            cells([](const Row& r) { return FormatSeconds(r.totals.open); }));
  for (int p = kRead; p <= kShow; ++p)
    PrintLine((std::string("  ") + kPhaseNames[p]).c_str(),
              cells([p](const Row& r) { return FormatSeconds(r.phases[static_cast<std::size_t>(p)]); }));
  PrintLine("OK: click until zanConf and the rebuild are done", cells([](const Row& r) { return FormatSeconds(r.totals.ok); }));
  for (int p = kReread; p <= kMakeMenus; ++p)
    PrintLine((std::string("  ") + kPhaseNames[p]).c_str(),
              cells([p](const Row& r) { return FormatSeconds(r.phases[static_cast<std::size_t>(p)]); }));
  PrintLine("open / baseline",
            cells([&](const Row& r) { return percent(r.totals.open, BaselineSeconds(r.baseline)); }));
  PrintLine("OK / baseline", cells([&](const Row& r) { return percent(r.totals.ok, BaselineSeconds(r.baseline)); }));
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (!rows[i].baseline.complete)
      std::printf("  (%s: the value-by-value read stopped after %.0f s at %ld of %ld values; the rest\n"
                  "   estimated at the rate of its last quarter)\n",
                  kShapes[i].name, rows[i].baseline.seconds, rows[i].baseline.done, rows[i].baseline.total);
}

}  // namespace
}  // namespace dravlin::bench

int main() {
  using namespace dravlin;
  using namespace dravlin::bench;
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  const std::string directory = MakeBenchDirectory("dravlin-config-bench");
  const std::string path = directory + "dravlin.ini";
  std::printf(
      "Configuration dialog: open (zanConf until the loaded dialog has painted) and OK (save,\n"
      "teardown, until zanConf returns, and the rebuild of the running menu) through the started\n"
      "plug-in, medians of %d; their phases, the same steps run one by one with the dialog's\n"
      "code; and the value-by-value read of the same menu through GetPrivateProfileStringA.\n",
      kRepeats);
  std::fflush(stdout);
  std::vector<Row> rows;
  {
    HostSimulator host(directory);
    if (!host.Create(GetModuleHandleA(nullptr), SW_SHOWNORMAL) ||
        !host.LoadPlugin(ProgramDirectory() + "dravlin.dll") || host.StartPlugin() != 1 ||
        !PumpMessagesUntil([&] { return !host.Connections().empty() && !host.Connections().back().received.empty(); },
                           5000)) {
      std::printf("the plug-in did not start\n");
      return 1;
    }
    for (const Shape& shape : kShapes) {
      const MenuDefinition menu = ShuffledMenu(shape);
      // A save keeps what lies beyond the new counts; each menu starts afresh.
      const std::string baselinePath = directory + "baseline.ini";
      DeleteFileA(baselinePath.c_str());
      SaveMenu(baselinePath, menu);
      const std::string bytes = FileBytes(baselinePath);
      Sleep(kSettleMs);
      Row row;
      // The faster of two reads: the platform's pace varies from run to run.
      for (int i = 0; i < 2; ++i) {
        const CappedTiming read = RunCapped(kReadBudgetSeconds, ValuesRead(menu),
                                            [&](Budget& budget) { ReadValueByValue(baselinePath, budget); });
        if (i == 0 || BaselineSeconds(read) < BaselineSeconds(row.baseline)) row.baseline = read;
      }
      row.totals = ConfigureTotals(host, path, bytes);
      row.phases = TimePhases(host.Plugin(), path, bytes);
      rows.push_back(row);
      std::printf("  %s done\n", shape.name);
      std::fflush(stdout);
    }
  }
  PrintTable(rows);
  RemoveBenchDirectory(directory);
  return 0;
}
