// A long randomized run of the plug-in inside one host process. A host client
// and a user take steps drawn at random by weight; after each the process is
// checked: its heaps are sound, every menu file holds the menu it had or the
// one the step made, and every running plug-in answers a fresh start request.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "popup/menu_tables.h"
#include "tests/wine/dialog_driver.h"
#include "tests/wine/menu_watcher.h"
#include "tools/host_simulator.h"
#include "tools/soak/menu_model.h"

namespace dravlin::soak {

struct SoakOptions {
  unsigned seed = 0;
  DWORD durationMs = 60 * 1000;
};

// Runs the soak in this process and prints each step; returns 0 when no step
// found a fault. A fault, a crash included, ends the process at once with
// exit code 1 after printing the step and the seed.
int RunSoak(const SoakOptions& options);

constexpr char kFolderTitle[] = "Folder properties";
constexpr char kEntryTitle[] = "Menu properties";
constexpr char kMessageTitle[] = "Dravlin";
constexpr int kMessageTextId = 0xFFFF;  // the message box's text control

// The file's bytes, empty when it is missing or cannot be read.
std::string ReadFileBytes(const std::string& path, bool& exists);
// The titles of the dialogs and message boxes of this thread on the screen.
std::vector<std::string> ShownDialogTitles();
// Which menus and dialogs are on the screen, for a failure message.
std::string DescribeScreen();

// The popup menu a menu file must show, read with the platform's profile
// functions rather than the plug-in's own reader and planner: each folder's
// items in order, its folders first, then its entries; the root ends with a
// separator and "(cancel)".
struct ExpectedItem {
  enum class Type { Folder, Entry, Separator, Cancel, Find };
  Type type = Type::Entry;
  std::string caption;
  int kind = 0;
  std::size_t folder = 0;  // Folder: the folder whose menu it opens
  EntryAction action;      // Entry: what choosing it does
};

struct ExpectedMenu {
  int triggerKey = kDefaultTriggerKey;
  std::vector<std::vector<ExpectedItem>> folders;  // 0 is the root
};

ExpectedMenu ReadExpectedMenu(const std::string& path);

// One copy of the plug-in module with a host client of its own.
struct PluginCopy {
  int number = 1;  // as the output names it
  std::string modulePath;
  std::string settingsDirectory;
  std::unique_ptr<HostSimulator> host;
  bool running = false;          // started, and its link not closed by the host
  bool menuFileExists = false;   // and what the menu file must hold:
  std::string menuFile;

  std::string MenuPath() const { return settingsDirectory + "dravlin.ini"; }
  // What the plug-in sent on its latest connection.
  std::string Received() const;
};

class Soak {
 public:
  explicit Soak(const SoakOptions& options);
  int Run();

 private:
  struct StepKind {
    const char* name;
    int weight;
    bool (Soak::*applies)(const PluginCopy& copy) const;
    void (Soak::*take)(PluginCopy& copy);
  };
  static const std::vector<StepKind>& Kinds();

  // Drawing: a kind by weight, then a copy it applies to.
  int Draw(int range);
  bool Chance(int percent) { return Draw(100) < percent; }
  std::pair<const StepKind*, PluginCopy*> DrawStep();

  // Output and failure.
  void Announce(PluginCopy& copy, const std::string& details);
  [[noreturn]] void Fail(const std::string& what);
  static void CALLBACK OnDeadlineTimer(HWND, UINT, UINT_PTR, DWORD);
  static LONG WINAPI OnFirstChanceFault(EXCEPTION_POINTERS* exception);
  static LONG WINAPI OnCrash(EXCEPTION_POINTERS* exception);

  // The checks after every step.
  void CheckAfterStep();
  void CheckMenuFile(const PluginCopy& copy);
  void CheckAnswers(PluginCopy& copy);
  void CheckStopped(PluginCopy& copy);

  // What steps share.
  bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs);
  void ExpectUnloaded(const std::string& modulePath);
  void WaitForQuietLink(const PluginCopy& copy);
  // Fails with "<who> did not connect after zanInit" unless the copy's host
  // gets a connection beyond the count it had before.
  void ExpectConnectedAgain(const PluginCopy& copy, std::size_t before, const std::string& who);
  void SendBytes(PluginCopy& copy, const std::string& bytes);
  void SendInPieces(PluginCopy& copy, const std::vector<std::string>& pieces);
  void StartCopy(PluginCopy& copy);
  void LoadAndStart(PluginCopy& copy);
  std::vector<HWND> PluginWindowsOf(const PluginCopy& copy) const;
  PluginCopy* OtherCopy(const PluginCopy& copy);
  ExpectedMenu RunningMenu(const PluginCopy& copy) const;
  MenuShape ShapeOf(const PluginCopy& copy) const;
  void WriteMenuFile(PluginCopy& copy, const std::string& bytes);
  std::string ShellLog() const;
  void FocusTextField(const PluginCopy& copy);

  // Which copies a kind applies to.
  bool Always(const PluginCopy&) const { return true; }
  bool IsRunning(const PluginCopy& copy) const { return copy.running; }
  bool IsStopped(const PluginCopy& copy) const { return !copy.running; }
  bool HasTrigger(const PluginCopy& copy) const;
  bool HasTriggerAndOther(const PluginCopy& copy) const;
  bool HasTriggerAndOtherRunning(const PluginCopy& copy) const;
  bool IsFirstAlone(const PluginCopy& copy) const;
  bool IsSecond(const PluginCopy& copy) const { return copy.number == 2; }

  // The host link and the module (link_steps.cpp).
  void SendOpening(PluginCopy& copy);
  void SendHostileBytes(PluginCopy& copy);
  void SendFlood(PluginCopy& copy);
  void CloseLink(PluginCopy& copy);
  void Restart(PluginCopy& copy);
  void InitWhileRunning(PluginCopy& copy);
  void UnloadAndLoad(PluginCopy& copy);
  void LoadSecondCopy(PluginCopy& first);
  void UnloadSecondCopy(PluginCopy& second);
  std::vector<std::string> DrawOpening(const PluginCopy& copy, std::string& description);

  // The trigger key and the popup menu (menu_steps.cpp).
  void EscapeFromMenu(PluginCopy& copy);
  void ChooseFromMenu(PluginCopy& copy);
  void InitInMenu(PluginCopy& copy);
  void ConfigureInMenu(PluginCopy& copy);
  void UnloadInMenu(PluginCopy& copy);
  void CloseLinkInMenu(PluginCopy& copy);
  void NewFileInMenu(PluginCopy& copy);
  void StopOtherInMenu(PluginCopy& copy);
  void RestartOtherInMenu(PluginCopy& copy);
  void ActInMenu(PluginCopy& copy, const std::string& what, const std::function<void()>& act,
                 std::vector<Steps::Step> then = {});
  struct MenuChoice;
  MenuChoice DrawChoice(const ExpectedMenu& menu, bool rootOnly);
  std::vector<SeenMenu> PressTrigger(PluginCopy& copy, int triggerKey,
                                     const std::function<void(int tick)>& whileOpen);
  void ExpectRootMenu(const std::vector<SeenMenu>& opened, const ExpectedMenu& menu);
  void ExpectAction(PluginCopy& copy, const EntryAction& action, const std::string& received,
                    const std::string& shellLog);

  // The finder (finder_steps.cpp).
  void ChooseInFinder(PluginCopy& copy);
  void CloseLinkInFinder(PluginCopy& copy);
  void UnloadInFinder(PluginCopy& copy);
  void InitInFinder(PluginCopy& copy);
  void NewFileInFinder(PluginCopy& copy);
  void ActInFinder(PluginCopy& copy, const std::string& what, const std::function<void()>& act);
  // Opens the menu, presses Ctrl+F in it and takes the steps in the finder.
  void InFinder(PluginCopy& copy, const ExpectedMenu& menu, std::vector<Steps::Step> then);

  // The configuration dialog (dialog_steps.cpp).
  void EditAndOk(PluginCopy& copy);
  void EditAndCancel(PluginCopy& copy);
  void InitInDialog(PluginCopy& copy);
  void ConfigureInDialog(PluginCopy& copy);
  void UnloadInDialog(PluginCopy& copy);
  void CloseLinkInDialog(PluginCopy& copy);
  void StartRequestInDialog(PluginCopy& copy);
  void TriggerInDialog(PluginCopy& copy);
  struct DialogPlan;
  DialogPlan DrawEdits(const PluginCopy& copy, bool ok);
  void DrawEdit(DialogPlan& plan, const std::string& name);
  // Runs the dialog through the plan, act first when given; false when the
  // dialog refused to open on the file, so that act did not run.
  bool RunDialog(PluginCopy& copy, DialogPlan plan, const std::string& hostAct = {},
                 const std::function<void()>& act = {});
  // Whether the user can act in the dialog of that title; fails when two
  // configuration dialogs are open.
  std::function<bool()> InDialog(const char* title);
  // The item of that caption in the root of the configuration dialog's tree.
  HTREEITEM RootItem(HWND dialog, const std::string& caption);
  void ExpectSaved(PluginCopy& copy, const DialogPlan& plan);

  // The menu file on disk (file_steps.cpp).
  void RewriteMenuFile(PluginCopy& copy);
  void ReplaceMenuFile(PluginCopy& copy);
  void DeleteMenuFile(PluginCopy& copy);
  void HoldMenuFile(PluginCopy& copy);
  void OpenDialogOnHeldFile(PluginCopy& copy);
  void SaveOverHeldFile(PluginCopy& copy);
  void RebuildFromHeldFile(PluginCopy& copy);

  SoakOptions options_;
  std::mt19937 random_;
  std::string workDirectory_;
  std::string scratchPath_;
  std::string shellLogPath_;
  std::vector<std::unique_ptr<PluginCopy>> copies_;
  int step_ = 0;
  const char* kindName_ = "";
  std::string stepLine_;
  DWORD stepStart_ = 0;
  std::map<std::string, int> taken_;
  DWORD hostThread_ = 0;
  static inline Soak* current_ = nullptr;
};

}  // namespace dravlin::soak
