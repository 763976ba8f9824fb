// The configuration dialog and its property dialogs in the built module, driven
// as a user drives them while zanConf runs them modally.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "menufile/file_io.h"
#include "menufile/profile_file.h"
#include "res/resource.h"
#include "tests/wine/dialog_driver.h"
#include "tests/wine/menu_watcher.h"
#include "tests/wine/plugin_fixture.h"
#include "tests/wine/screenshot.h"

namespace dravlin {
namespace {

const char kFolderTitle[] = "Folder properties";
const char kEntryTitle[] = "Menu properties";
const char kMessageTitle[] = "Dravlin";
const char kSelectFirst[] = "Select an item firts";
constexpr int kMessageTextId = 0xFFFF;  // the message box's text control
constexpr int kMessageIconId = 0x0440;  // the message box's icon control

// Steps of a user while a modal dialog runs: a thread timer, which every modal
// loop of this thread dispatches, takes them in order. A step waits until the
// dialog with its title shows; a step that opens a nested dialog runs on while
// the following steps act inside that dialog's loop.
class UserScript {
 public:
  using Action = std::function<void(HWND)>;

  void OnWindow(const char* title, Action action) { steps_.push_back({title, nullptr, std::move(action)}); }
  // The same once ready holds in that window too, such as the effect of the
  // keys that the step before sent: input reaches the dialog later.
  void When(const char* title, std::function<bool(HWND)> ready, Action action) {
    steps_.push_back({title, std::move(ready), std::move(action)});
  }

  // Runs call, which opens the dialog, until every step has been taken. Out of
  // time, the test fails and every dialog is cancelled, so that call returns.
  void Play(const std::function<void()>& call, DWORD timeoutMs = 20000) {
    playing_ = this;
    deadline_ = GetTickCount() + timeoutMs;
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, OnTimer);
    call();
    KillTimer(nullptr, timer);
    playing_ = nullptr;
    EXPECT_TRUE(steps_.empty()) << steps_.size() << " steps not taken; the next waits for \""
                                << steps_.front().title << "\"";
    steps_.clear();
  }

 private:
  struct Step {
    std::string title;
    std::function<bool(HWND)> ready;
    Action action;
  };

  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (playing_) playing_->Tick();
  }

  static BOOL CALLBACK CancelDialog(HWND window, LPARAM) {
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    if (std::string(className) == "#32770") EndDialog(window, IDCANCEL);
    return TRUE;
  }

  void Tick() {
    if (GetTickCount() > deadline_) {
      ADD_FAILURE() << "timed out with " << steps_.size() << " steps not taken";
      steps_.clear();
      EnumThreadWindows(GetCurrentThreadId(), CancelDialog, 0);
      return;
    }
    if (steps_.empty()) return;
    // A dialog disabled under a nested one is not where the user acts.
    const HWND window = FindWindowA("#32770", steps_.front().title.c_str());
    if (!window || !IsWindowVisible(window) || !IsWindowEnabled(window)) return;
    if (steps_.front().ready && !steps_.front().ready(window)) return;
    const Step step = std::move(steps_.front());
    steps_.pop_front();
    step.action(window);
  }

  static inline UserScript* playing_ = nullptr;
  std::deque<Step> steps_;
  DWORD deadline_ = 0;
};

bool HasState(HWND tree, HTREEITEM item, UINT state) {
  return (SendMessageA(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), state) & state) != 0;
}

// The item and everything below it on one line, bold captions marked with *:
// "Menu[Tools[*(new item),*(new folder)],*(new item),*(new folder)]".
std::string Outline(HWND tree, HTREEITEM item) {
  std::string text = (HasState(tree, item, TVIS_BOLD) ? "*" : "") + Caption(tree, item);
  HTREEITEM child = Next(tree, item, TVGN_CHILD);
  if (!child) return text;
  text += '[';
  for (; child; child = Next(tree, child, TVGN_NEXT)) text += Outline(tree, child) + ',';
  text.back() = ']';
  return text;
}

std::string Outline(HWND dialog) {
  const HWND tree = Tree(dialog);
  std::string text;
  for (HTREEITEM top = Next(tree, nullptr, TVGN_ROOT); top; top = Next(tree, top, TVGN_NEXT))
    text += Outline(tree, top);
  return text;
}

// The item at a path of captions from the root; the test fails when it is missing.
HTREEITEM Find(HWND dialog, const std::vector<std::string>& path) {
  const HTREEITEM item = FindItem(dialog, path);
  EXPECT_TRUE(item || path.empty()) << "no item " << path.back();
  return item;
}

HTREEITEM Selected(HWND dialog) { return Next(Tree(dialog), nullptr, TVGN_CARET); }

void Select(HWND dialog, const std::vector<std::string>& path) {
  SelectItem(dialog, path.empty() ? nullptr : Find(dialog, path));
}

// The middle of an item's caption on the screen.
POINT ItemPoint(HWND dialog, const std::vector<std::string>& path) {
  RECT r;
  *reinterpret_cast<HTREEITEM*>(&r) = Find(dialog, path);
  SendMessageA(Tree(dialog), TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r));
  POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  ClientToScreen(Tree(dialog), &p);
  return p;
}

// Mouse input: each step moves the pointer to a point of the screen, then
// presses or releases the buttons in flags (0: only moves). The input is
// queued: the dialog's loop handles it after the step returns.
void SendMouse(const std::vector<std::pair<POINT, DWORD>>& steps) {
  std::vector<INPUT> inputs;
  for (const auto& [point, flags] : steps) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(point.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(point.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
    inputs.push_back(input);
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// A real double-click with the mouse on the item's caption.
void DoubleClickItem(HWND dialog, const std::vector<std::string>& path) {
  const POINT p = ItemPoint(dialog, path);
  SendMouse({{p, MOUSEEVENTF_LEFTDOWN}, {p, MOUSEEVENTF_LEFTUP}, {p, MOUSEEVENTF_LEFTDOWN}, {p, MOUSEEVENTF_LEFTUP}});
}

// Drags an item with the left button over another, and drops it there unless
// told to hold it.
void DragItem(HWND dialog, const std::vector<std::string>& from, const std::vector<std::string>& onto,
              bool drop = true) {
  const POINT start = ItemPoint(dialog, from), end = ItemPoint(dialog, onto);
  std::vector<std::pair<POINT, DWORD>> steps = {{start, MOUSEEVENTF_LEFTDOWN}};
  for (int i = 1; i <= 4; ++i)
    steps.push_back({{start.x + (end.x - start.x) * i / 4, start.y + (end.y - start.y) * i / 4}, 0});
  if (drop) steps.push_back({end, MOUSEEVENTF_LEFTUP});
  SendMouse(steps);
}

// Whether keys sent now reach the dialog's tree: the dialog is the active
// window and the tree has the focus (both follow a closed menu or dialog a
// moment later), and ready holds too.
std::function<bool(HWND)> InTree(std::function<bool(HWND)> ready = nullptr) {
  return [ready](HWND dialog) {
    return GetForegroundWindow() == dialog && GetFocus() == Tree(dialog) && (!ready || ready(dialog));
  };
}

// Whether keys sent now reach the dialog: it is the active window.
bool Active(HWND dialog) { return GetForegroundWindow() == dialog; }

// A key pressed with a modifier, as two steps of the script: the first takes
// the step's action and presses the modifier, the second presses the key once
// the dialog has seen the modifier go down (Wine may otherwise take the key
// alone).
void AddChord(UserScript& script, std::function<bool(HWND)> ready, std::function<void(HWND)> act, WORD modifier,
              WORD key) {
  script.When(kConfigTitle, InTree(std::move(ready)), [act, modifier](HWND dialog) {
    act(dialog);
    INPUT down = Key(modifier, false);
    SendInput(1, &down, sizeof(INPUT));
  });
  script.When(kConfigTitle, [modifier](HWND) { return GetKeyState(modifier) < 0; }, [modifier, key](HWND) {
    INPUT keys[3] = {Key(key, false), Key(key, true), Key(modifier, true)};
    SendInput(3, keys, sizeof(INPUT));
  });
}

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

// Which of the entry dialog's kind buttons are checked: "C", "W", "E" or "".
std::string CheckedKinds(HWND dialog) {
  return std::string(Checked(dialog, IDC_KIND_COMMAND) ? "C" : "") +
         (Checked(dialog, IDC_KIND_WEB_SITE) ? "W" : "") + (Checked(dialog, IDC_KIND_EMAIL) ? "E" : "");
}

std::string CheckedKeys(HWND dialog) {
  return std::string(Checked(dialog, IDC_RIGHT_CTRL) ? "ctrl" : "") +
         (Checked(dialog, IDC_RIGHT_SHIFT) ? "shift" : "") + (Checked(dialog, IDC_INSERT_KEY) ? "ins" : "") +
         (Checked(dialog, IDC_OTHER_KEY) ? "other" : "");
}

void SaveDialogScreenshot(HWND dialog, const std::string& name) {
  RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  EXPECT_TRUE(SaveWindowScreenshot(dialog, name));
}

const char kNoFile[] = "(no file)";

int g_menuItemsSeen = -1;

void CALLBACK CountAndCloseMenu(HWND, UINT, UINT_PTR, DWORD) {
  const HWND menu = FindWindowA("#32768", nullptr);
  if (!menu || !IsWindowVisible(menu)) return;
  g_menuItemsSeen = GetMenuItemCount(reinterpret_cast<HMENU>(SendMessageA(menu, MN_GETHMENU, 0, 0)));
  EndMenu();
}

// The number of items in the popup menu that the trigger key opens from the
// host's text field, or -1 when none opens; the menu is closed again at once.
int ItemsOfTriggeredMenu(HWND textField, WORD triggerKey = VK_RCONTROL) {
  g_menuItemsSeen = -1;
  SetForegroundWindow(GetAncestor(textField, GA_ROOT));
  SetFocus(textField);
  PumpMessagesFor(50);
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, CountAndCloseMenu);
  SendKeys({triggerKey});
  PumpMessagesUntil([] { return g_menuItemsSeen >= 0; }, kTimeoutMs);
  KillTimer(nullptr, timer);
  PumpMessagesFor(100);
  return g_menuItemsSeen;
}

class ConfigDialogTest : public PluginTest {
 protected:
  std::string MenuPath() const { return settingsDirectory_ + "dravlin.ini"; }

  void WriteMenu(const std::string& text) const {
    std::FILE* file = std::fopen(MenuPath().c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
  }

  std::string ReadMenu() const {
    std::FILE* file = std::fopen(MenuPath().c_str(), "rb");
    if (!file) return kNoFile;
    std::string bytes;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, got);
    std::fclose(file);
    return bytes;
  }

  // A value of the saved menu definition file.
  std::string Stored(const std::string& section, const std::string& key) const {
    return ProfileFile(MenuPath()).Read(section, key, "(absent)");
  }

  // Plays the script while the host client opens the configuration dialog.
  int Configure() {
    int result = 0;
    script_.Play([&] { result = host_.CallConfigure(); });
    return result;
  }

  // The same with a request record of the host's layout, given a directory.
  int ConfigureWithDirectory(const char* directory) {
    const void* record[8] = {nullptr, nullptr, directory};
    int result = 0;
    script_.Play([&] { result = host_.Entry("zanConf")(host_.MainWindow(), nullptr, nullptr, record); });
    return result;
  }

  UserScript script_;
};

const char kSampleMenu[] =
    "[general]\r\nVirtKey=%d\r\ncount=4\r\n"
    "[folder0]\r\ncount=3\r\ncapt1=b\r\ncommand1=bee\r\ncapt2=Zulu\r\ncommand2=zz\r\ncapt3=a\r\n"
    "command3=ay\r\n"
    "[folder1]\r\nText=Zeta\r\nparentID=0\r\ncount=1\r\ncapt1=in zeta\r\n"
    "[folder2]\r\nText=Alpha\r\nparentID=0\r\n"
    "[folder3]\r\nText=beta\r\nparentID=0\r\n";

std::string SampleMenu(int triggerKey) {
  char text[512];
  std::snprintf(text, sizeof text, kSampleMenu, triggerKey);
  return text;
}

TEST_F(ConfigDialogTest, WithoutFileShowsTheRootWithItsPlaceholdersAndRightCtrl) {
  script_.OnWindow(kConfigTitle, [&](HWND dialog) {
    EXPECT_EQ(Outline(dialog), "Menu[*(new item),*(new folder)]");
    EXPECT_FALSE(HasState(Tree(dialog), Find(dialog, {"Menu"}), TVIS_EXPANDED));
    EXPECT_EQ(Selected(dialog), Find(dialog, {"Menu"}));
    EXPECT_EQ(CheckedKeys(dialog), "ctrl");
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_OTHER_KEY)));
    EXPECT_EQ(GetFocus(), Tree(dialog)) << "a keyboard user starts in the tree";
    Click(dialog, IDCANCEL);
  });
  EXPECT_EQ(Configure(), 1);
  EXPECT_EQ(ReadMenu(), kNoFile);
}

TEST_F(ConfigDialogTest, TemplatesAreItalianResourcesOfTheModule) {
  const WORD italian = MAKELANGID(LANG_ITALIAN, SUBLANG_ITALIAN);
  for (const int id : {IDD_CONFIGURE, IDD_FOLDER, IDD_ENTRY})
    EXPECT_NE(FindResourceExA(host_.Plugin(), RT_DIALOG, MAKEINTRESOURCEA(id), italian), nullptr) << id;
}

TEST_F(ConfigDialogTest, OkWithoutFileWritesTheEmptyMenu) {
  script_.OnWindow(kConfigTitle, [&](HWND dialog) { Click(dialog, IDOK); });
  EXPECT_EQ(Configure(), 1);
  EXPECT_EQ(Stored("general", "VirtKey"), "163");
  EXPECT_EQ(Stored("general", "Count"), "1");
  EXPECT_EQ(Stored("folder0", "Text"), "Menu");
  EXPECT_EQ(Stored("folder0", "ParentID"), "0");
  EXPECT_EQ(Stored("folder0", "Count"), "0");
}

TEST_F(ConfigDialogTest, FileLoadsSortedWithItsKeyAndSavesRenumbered) {
  struct Case {
    int stored;
    const char* checked;
    const char* saved;
  };
  for (const Case& c : {Case{45, "ins", "45"}, Case{161, "shift", "161"}, Case{163, "ctrl", "163"},
                        Case{145, "other", "145"}}) {
    SCOPED_TRACE(c.stored);
    WriteMenu(SampleMenu(c.stored));
    script_.OnWindow(kConfigTitle, [&](HWND dialog) {
      EXPECT_EQ(Outline(dialog),
                "Menu[Alpha[*(new item),*(new folder)],Zeta[in zeta,*(new item),*(new folder)],"
                "beta[*(new item),*(new folder)],Zulu,a,b,*(new item),*(new folder)]");
      EXPECT_EQ(CheckedKeys(dialog), c.checked);
      Click(dialog, IDOK);
    });
    Configure();
    EXPECT_EQ(Stored("general", "VirtKey"), c.saved);
  }
  EXPECT_EQ(Stored("general", "Count"), "4");
  EXPECT_EQ(Stored("folder1", "Text"), "Alpha");
  EXPECT_EQ(Stored("folder2", "Text"), "Zeta");
  EXPECT_EQ(Stored("folder2", "Capt1"), "in zeta");
  EXPECT_EQ(Stored("folder3", "Text"), "beta");
  EXPECT_EQ(Stored("folder0", "Count"), "3");
  EXPECT_EQ(Stored("folder0", "Capt1"), "Zulu");
  EXPECT_EQ(Stored("folder0", "Capt2"), "a");
  EXPECT_EQ(Stored("folder0", "Command2"), "ay");
  EXPECT_EQ(Stored("folder0", "Capt3"), "b");
  EXPECT_EQ(Stored("folder0", "Command3"), "bee");
}

TEST_F(ConfigDialogTest, PlaceholdersCreateFoldersAndEntries) {
  script_.OnWindow(kConfigTitle, [&](HWND dialog) {
    Select(dialog, {"Menu", "(new item)"});
    NotifyDoubleClick(dialog);
  });
  script_.OnWindow(kEntryTitle, [&](HWND entry) {
    Type(entry, IDC_NAME, "dropped");
    Click(entry, IDCANCEL);
  });
  script_.OnWindow(kConfigTitle, [&](HWND dialog) {
    EXPECT_EQ(Outline(dialog), "Menu[*(new item),*(new folder)]");
    Select(dialog, {"Menu", "(new folder)"});
    NotifyDoubleClick(dialog);
  });
  script_.OnWindow(kFolderTitle, [&](HWND folder) {
    EXPECT_EQ(Text(folder, IDC_NAME), "");
    EXPECT_EQ(GetFocus(), GetDlgItem(folder, IDC_NAME));
    Type(folder, IDC_NAME, "Tools");
    SaveDialogScreenshot(folder, "folder-properties");
    Click(folder, IDOK);
  });
  script_.OnWindow(kConfigTitle, [&](HWND dialog) {
    EXPECT_EQ(Outline(dialog), "Menu[Tools[*(new item),*(new folder)],*(new item),*(new folder)]");
    EXPECT_EQ(Selected(dialog), Find(dialog, {"Menu", "Tools"}));
    EXPECT_TRUE(HasState(Tree(dialog), Find(dialog, {"Menu", "Tools"}), TVIS_EXPANDED));
    DoubleClickItem(dialog, {"Menu", "Tools", "(new item)"});
  });
  script_.OnWindow(kEntryTitle, [&](HWND entry) {
    EXPECT_EQ(Text(entry, IDC_NAME), "");
    EXPECT_EQ(Text(entry, IDC_COMMAND), "");
    EXPECT_EQ(CheckedKinds(entry), "C");
    EXPECT_EQ(Text(entry, IDC_COMMAND_LABEL), "Command:");
    EXPECT_EQ(GetFocus(), GetDlgItem(entry, IDC_NAME));
    Type(entry, IDC_NAME, "Homepage");
    Type(entry, IDC_COMMAND, "http://example.org/");
    Click(entry, IDC_KIND_WEB_SITE);
    EXPECT_EQ(Text(entry, IDC_COMMAND_LABEL), "URL:");
    EXPECT_EQ(GetFocus(), GetDlgItem(entry, IDC_NAME));
    SaveDialogScreenshot(entry, "menu-properties");
    Click(entry, IDOK);
  });
  script_.OnWindow(kConfigTitle, [&](HWND dialog) {
    Select(dialog, {"Menu", "(new item)"});
    NotifyDoubleClick(dialog);
  });
  script_.OnWindow(kEntryTitle, [&](HWND entry) {
    Type(entry, IDC_NAME, "Hello");
    Type(entry, IDC_COMMAND, "Hello, all");
    Click(entry, IDOK);
  });
  script_.OnWindow(kConfigTitle, [&](HWND dialog) {
    EXPECT_EQ(Outline(dialog),
              "Menu[Tools[Homepage,*(new item),*(new folder)],Hello,*(new item),*(new folder)]");
    EXPECT_EQ(Selected(dialog), Find(dialog, {"Menu", "Hello"}));
    SaveDialogScreenshot(dialog, "configure-dravlin");
    Click(dialog, IDOK);
  });
  Configure();
  EXPECT_EQ(Stored("general", "Count"), "2");
  EXPECT_EQ(Stored("folder0", "Capt1"), "Hello");
  EXPECT_EQ(Stored("folder0", "Command1"), "Hello, all");
  EXPECT_EQ(Stored("folder0", "Type1"), "13014");
  EXPECT_EQ(Stored("folder1", "Text"), "Tools");
  EXPECT_EQ(Stored("folder1", "Capt1"), "Homepage");
  EXPECT_EQ(Stored("folder1", "Command1"), "http://example.org/");
  EXPECT_EQ(Stored("folder1", "Type1"), "13008");
}

TEST_F(ConfigDialogTest, EditingKeepsOrChangesTheKindAsTheUserChooses) {
  WriteMenu("[general]\r\ncount=2\r\n"
            "[folder0]\r\ncount=4\r\ncapt1=web\r\ncommand1=http://a/\r\ntype1=13008\r\n"
            "capt2=zero\r\ncommand2=z\r\ntype2=0\r\ncapt3=five\r\ncommand3=f\r\ntype3=5\r\n"
            "capt4=mail\r\ncommand4=m@example.org\r\ntype4=13011\r\n"
            "[folder1]\r\nText=Box\r\nparentID=0\r\n");
  struct Edit {
    const char* caption;
    const char* checkedOnOpen;
    std::function<void(HWND)> change;
  };
  const Edit edits[] = {
      {"web", "W",
       [](HWND entry) {
         EXPECT_EQ(Text(entry, IDC_COMMAND_LABEL), "Command:");
         EXPECT_EQ(Text(entry, IDC_COMMAND), "http://a/");
         Click(entry, IDC_KIND_WEB_SITE);
         EXPECT_EQ(Text(entry, IDC_COMMAND_LABEL), "URL:");
         Click(entry, IDC_KIND_EMAIL);
         EXPECT_EQ(Text(entry, IDC_COMMAND_LABEL), "E-mail:");
         Type(entry, IDC_COMMAND, "lost");
         Click(entry, IDCANCEL);
       }},
      {"zero", "C", [](HWND entry) { Click(entry, IDOK); }},
      {"five", "", [](HWND entry) { Click(entry, IDOK); }},
      {"mail", "E",
       [](HWND entry) {
         Type(entry, IDC_NAME, "Post");
         Type(entry, IDC_COMMAND, "post@example.org");
         Click(entry, IDC_KIND_COMMAND);
         EXPECT_EQ(Text(entry, IDC_COMMAND_LABEL), "Command:");
         Click(entry, IDOK);
       }},
  };
  for (const Edit& edit : edits) {
    script_.OnWindow(kConfigTitle, [&](HWND dialog) {
      Select(dialog, {"Menu", edit.caption});
      Click(dialog, IDC_EDIT_ITEM);
    });
    script_.OnWindow(kEntryTitle, [&](HWND entry) {
      EXPECT_EQ(Text(entry, IDC_NAME), edit.caption);
      EXPECT_EQ(CheckedKinds(entry), edit.checkedOnOpen) << edit.caption;
      edit.change(entry);
    });
  }
  script_.OnWindow(kConfigTitle, [&](HWND dialog) {
    EXPECT_FALSE(HasState(Tree(dialog), Find(dialog, {"Menu", "Box"}), TVIS_EXPANDED));
    DoubleClickItem(dialog, {"Menu", "Box"});
  });
  script_.OnWindow(kConfigTitle, [&](HWND dialog) {
    EXPECT_TRUE(HasState(Tree(dialog), Find(dialog, {"Menu", "Box"}), TVIS_EXPANDED))
        << "a double-click on a folder only opens it";
    Click(dialog, IDC_EDIT_ITEM);
  });
  script_.OnWindow(kFolderTitle, [&](HWND folder) {
    EXPECT_EQ(Text(folder, IDC_NAME), "Box");
    Type(folder, IDC_NAME, "Attic");
    Click(folder, IDOK);
  });
  script_.OnWindow(kConfigTitle, [&](HWND dialog) {
    EXPECT_EQ(Outline(dialog),
              "Menu[Attic[*(new item),*(new folder)],Post,five,web,zero,*(new item),*(new folder)]");
    Click(dialog, IDOK);
  });
  Configure();
  const std::vector<std::vector<std::string>> expected = {
      {"Post", "post@example.org", "13014"},
      {"five", "f", "5"},
      {"web", "http://a/", "13008"},
      {"zero", "z", "13014"},
  };
  for (std::size_t k = 1; k <= expected.size(); ++k) {
    const std::vector<std::string>& entry = expected[k - 1];
    EXPECT_EQ(Stored("folder0", "Capt" + std::to_string(k)), entry[0]);
    EXPECT_EQ(Stored("folder0", "Command" + std::to_string(k)), entry[1]);
    EXPECT_EQ(Stored("folder0", "Type" + std::to_string(k)), entry[2]);
  }
  EXPECT_EQ(Stored("folder1", "Text"), "Attic");
}

// The controls that Tab visits, from the tree round to it, by id.
std::vector<int> TabOrder(HWND dialog) {
  std::vector<int> ids;
  HWND control = Tree(dialog);
  do {
    ids.push_back(GetDlgCtrlID(control));
    control = GetNextDlgTabItem(dialog, control, FALSE);
  } while (control && control != Tree(dialog) && ids.size() < 20);
  return ids;
}

TEST_F(ConfigDialogTest, HandWrittenTriggerKeySurvivesOkUnlessTheUserChoosesAnother) {
  WriteMenu("[general]\r\nVirtKey=123\r\nCount=1\r\n[folder0]\r\nCount=1\r\nCapt1=one\r\nCommand1=1\r\n");
  StartAndWaitForAnswer();
  struct Case {
    int chosen;  // 0: none of the three
    const char* saved;
  };
  for (const Case& c : {Case{0, "123"}, Case{IDC_RIGHT_SHIFT, "161"}}) {
    script_.OnWindow(kConfigTitle, [&](HWND dialog) {
      EXPECT_EQ(CheckedKeys(dialog), "other");
      EXPECT_EQ(Text(dialog, IDC_OTHER_KEY), "Other key (F12)");
      EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_OTHER_KEY)));
      if (!c.chosen) SaveDialogScreenshot(dialog, "configure-dravlin-other-key");
      EXPECT_EQ(TabOrder(dialog), (std::vector<int>{IDC_MENU_TREE, IDC_EDIT_ITEM, IDC_REMOVE_ITEM, IDC_RIGHT_CTRL,
                                                    IDOK, IDCANCEL}));
      if (c.chosen) {
        Click(dialog, c.chosen);
        EXPECT_EQ(CheckedKeys(dialog), "shift");
      }
      Click(dialog, IDOK);
    });
    Configure();
    EXPECT_EQ(Stored("general", "VirtKey"), c.saved);
    if (!c.chosen) EXPECT_EQ(ItemsOfTriggeredMenu(host_.TextField(), VK_F12), 3) << "F12 still opens the menu";
  }
}

const char kKeyboardMenu[] =
    "[general]\r\nCount=3\r\n"
    "[folder0]\r\nCount=2\r\nCapt1=Home\r\nCommand1=home\r\nCapt2=Stray\r\nCommand2=stray\r\n"
    "[folder1]\r\nText=Archive\r\nParentID=0\r\n"
    "[folder2]\r\nText=Links\r\nParentID=0\r\nCount=1\r\nCapt1=site\r\nCommand1=http://s/\r\nType1=13008\r\n";

std::function<bool(HWND)> SelectionIs(std::vector<std::string> path) {
  return [path](HWND dialog) {
    const HTREEITEM item = FindItem(dialog, path);
    return item && item == Selected(dialog);
  };
}

std::function<bool(HWND)> Exists(std::vector<std::string> path) {
  return [path](HWND dialog) { return FindItem(dialog, path) != nullptr; };
}

TEST_F(ConfigDialogTest, KeyboardAloneCreatesEditsRemovesAndMovesAndOkSavesExactlyThat) {
  WriteMenu(kKeyboardMenu);
  script_.When(kConfigTitle, InTree(), [](HWND dialog) {
    EXPECT_EQ(TabOrder(dialog), (std::vector<int>{IDC_MENU_TREE, IDC_EDIT_ITEM, IDC_REMOVE_ITEM, IDC_RIGHT_CTRL,
                                                  IDOK, IDCANCEL}));
    SendKeys({VK_RETURN});  // on the root it opens the root, and the dialog stays
  });
  const auto rootOpen = [](HWND dialog) { return HasState(Tree(dialog), Find(dialog, {"Menu"}), TVIS_EXPANDED); };
  script_.When(kConfigTitle, InTree(rootOpen), [](HWND) { SendKeys({VK_DOWN, VK_RETURN}); });
  script_.When(kFolderTitle, Active, [](HWND folder) {
    EXPECT_EQ(Text(folder, IDC_NAME), "Archive") << "Enter on a folder opens its properties";
    SendKeys({VK_ESCAPE});
  });
  script_.When(kConfigTitle, InTree(SelectionIs({"Menu", "Archive"})), [](HWND) { SendKeys({VK_INSERT}); });
  script_.When(kEntryTitle, Active, [](HWND entry) {
    Type(entry, IDC_NAME, "Old news");
    Type(entry, IDC_COMMAND, "news");
    SendKeys({VK_RETURN});
  });
  // Archive's "(new folder)", two below its new entry.
  script_.When(kConfigTitle, InTree(SelectionIs({"Menu", "Archive", "Old news"})),
               [](HWND) { SendKeys({VK_DOWN, VK_DOWN, VK_RETURN}); });
  script_.When(kFolderTitle, Active, [](HWND folder) {
    Type(folder, IDC_NAME, "Deep");
    SendKeys({VK_RETURN});
  });
  script_.When(kConfigTitle, InTree(SelectionIs({"Menu", "Archive", "Deep"})), [](HWND dialog) {
    Select(dialog, {"Menu", "Home"});
    SendKeys({VK_F2});
  });
  script_.When(kEntryTitle, Active, [](HWND entry) {
    EXPECT_EQ(Text(entry, IDC_COMMAND), "home");
    Type(entry, IDC_NAME, "House");
    SendKeys({VK_RETURN});
  });
  script_.When(kConfigTitle, InTree(SelectionIs({"Menu", "House"})), [](HWND dialog) {
    Select(dialog, {"Menu", "Stray"});
    SendKeys({VK_DELETE});
  });
  script_.When(kMessageTitle, Active, [](HWND box) {
    EXPECT_EQ(Text(box, kMessageTextId), "Delete \"Stray\"?");
    SendKeys({VK_RETURN});
  });
  AddChord(
      script_, [](HWND dialog) { return !FindItem(dialog, {"Menu", "Stray"}); },
      [](HWND dialog) { Select(dialog, {"Menu", "House"}); }, VK_CONTROL, 'X');
  AddChord(
      script_, [](HWND dialog) { return HasState(Tree(dialog), Find(dialog, {"Menu", "House"}), TVIS_CUT); },
      [](HWND dialog) { Select(dialog, {"Menu", "Links", "site"}); },  // an entry's folder takes the paste
      VK_CONTROL, 'V');
  const auto linksMarked = [](HWND dialog) {
    return HasState(Tree(dialog), Find(dialog, {"Menu", "Links"}), TVIS_DROPHILITED);
  };
  script_.When(kConfigTitle, SelectionIs({"Menu", "Links", "House"}), [](HWND dialog) {
    DragItem(dialog, {"Menu", "Archive"}, {"Menu", "Links"}, false);
  });
  // Esc ends the drag, not the dialog.
  script_.When(kConfigTitle, InTree(linksMarked), [](HWND) { SendKeys({VK_ESCAPE}); });
  DWORD releasedAt = 0;
  script_.When(kConfigTitle, std::not_fn(linksMarked), [&releasedAt](HWND dialog) {
    SendMouse({{ItemPoint(dialog, {"Menu", "Links"}), MOUSEEVENTF_LEFTUP}});
    releasedAt = GetTickCount();
  });
  // Nothing shows that a release came to nothing: give it the time it takes.
  script_.When(kConfigTitle, [&releasedAt](HWND) { return GetTickCount() - releasedAt > 500; }, [](HWND dialog) {
    EXPECT_TRUE(Exists({"Menu", "Archive"})(dialog)) << "a drag ended with Esc drops nothing";
    DragItem(dialog, {"Menu", "Archive"}, {"Menu", "Links"});
  });
  script_.When(kConfigTitle, Exists({"Menu", "Links", "Archive"}), [](HWND dialog) {
    EXPECT_EQ(Outline(dialog),
              "Menu[Links[Archive[Deep[*(new item),*(new folder)],Old news,*(new item),*(new folder)],House,site,"
              "*(new item),*(new folder)],*(new item),*(new folder)]");
    SetFocus(Tree(dialog));
    SendKeys({VK_TAB, VK_TAB, VK_TAB, VK_TAB});
  });
  script_.When(kConfigTitle, [](HWND dialog) { return GetFocus() == GetDlgItem(dialog, IDOK); },
               [](HWND) { SendKeys({VK_RETURN}); });
  EXPECT_EQ(Configure(), 1);
  // Values beyond a folder's count stay, as the platform's profile functions would leave them.
  EXPECT_EQ(ReadMenu(),
            "[general]\r\nCount=4\r\nVirtKey=163\r\n"
            "[folder0]\r\nCount=0\r\nCapt1=Home\r\nCommand1=home\r\nCapt2=Stray\r\nCommand2=stray\r\n"
            "Text=Menu\r\nParentID=0\r\n"
            "[folder1]\r\nText=Links\r\nParentID=0\r\nCapt1=House\r\nCommand1=home\r\nType1=13014\r\n"
            "Capt2=site\r\nCommand2=http://s/\r\nType2=13008\r\nCount=2\r\n"
            "[folder2]\r\nText=Archive\r\nParentID=1\r\nCount=1\r\nCapt1=Old news\r\nCommand1=news\r\n"
            "Type1=13014\r\n"
            "[folder3]\r\nText=Deep\r\nParentID=2\r\nCount=0\r\n");
}

// "~" marks a grayed item, "-" a separator: "New &entry\tIns,~&Paste\tCtrl+V".
std::string DescribeMenu(HMENU menu) {
  std::string text;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    char caption[64] = "";
    GetMenuStringA(menu, static_cast<UINT>(i), caption, sizeof caption, MF_BYPOSITION);
    const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
    const std::string item = state & MF_SEPARATOR ? "-" : (state & MF_GRAYED ? "~" : "") + std::string(caption);
    text += (i ? "," : "") + item;
  }
  return text;
}

TEST_F(ConfigDialogTest, ShortcutMenuByRightClickShiftF10AndTheMenuKey) {
  WriteMenu(kKeyboardMenu);
  const std::string all = "New &entry\tIns,New &folder,-,&Edit\tF2,&Remove\tDel,-,Cu&t\tCtrl+X,";
  struct Way {
    const char* name;
    std::vector<std::string> select;  // empty: the right-click selects
    WORD modifier, key;                 // no key: a right-click on Home
    std::vector<std::string> selected;
    std::string menu;
    WORD choice;
  };
  const Way ways[] = {
      {"right-click", {}, 0, 0, {"Menu", "Home"}, all + "~&Paste\tCtrl+V", 'T'},
      {"Shift+F10", {"Menu", "(new item)"}, VK_SHIFT, VK_F10, {"Menu", "(new item)"},
       "New &entry\tIns,New &folder,-,~&Edit\tF2,~&Remove\tDel,-,~Cu&t\tCtrl+X,~&Paste\tCtrl+V", VK_ESCAPE},
      {"menu key", {"Menu", "Links"}, 0, VK_APPS, {"Menu", "Links"}, all + "&Paste\tCtrl+V", 'P'},
  };
  script_.OnWindow(kConfigTitle, [](HWND dialog) { Select(dialog, {"Menu", "Stray"}); });
  for (const Way& way : ways) {
    const auto closed = [](HWND) { return !VisibleMenuWindow(); };
    const auto select = [&way](HWND dialog) {
      if (!way.select.empty()) Select(dialog, way.select);
    };
    if (way.modifier) {
      AddChord(script_, closed, select, way.modifier, way.key);
    } else {
      script_.When(kConfigTitle, InTree(closed), [&way, select](HWND dialog) {
        select(dialog);
        if (way.key) return SendKeys({way.key});
        const POINT p = ItemPoint(dialog, {"Menu", "Home"});
        SendMouse({{p, MOUSEEVENTF_RIGHTDOWN}, {p, MOUSEEVENTF_RIGHTUP}});
      });
    }
    script_.When(kConfigTitle, [](HWND) { return VisibleMenuWindow() != nullptr; }, [&way](HWND dialog) {
      EXPECT_EQ(DescribeMenu(reinterpret_cast<HMENU>(SendMessageA(VisibleMenuWindow(), MN_GETHMENU, 0, 0))), way.menu)
          << way.name;
      EXPECT_TRUE(SelectionIs(way.selected)(dialog)) << way.name;
      SendKeys({way.choice});
    });
  }
  script_.When(kConfigTitle, Exists({"Menu", "Links", "Home"}), [](HWND dialog) {
    EXPECT_EQ(VisibleMenuWindow(), nullptr) << "the menu key opened one menu";
    EXPECT_EQ(Outline(dialog),
              "Menu[Archive[*(new item),*(new folder)],Links[Home,site,*(new item),*(new folder)],Stray,"
              "*(new item),*(new folder)]");
    Click(dialog, IDCANCEL);
  });
  Configure();
  EXPECT_EQ(ReadMenu(), kKeyboardMenu) << "Cancel discards moves";
}

TEST_F(ConfigDialogTest, RemoveAsksWithTheCaptionAndTakesTheWholeFolder) {
  WriteMenu("[general]\r\ncount=3\r\n[folder0]\r\ncount=1\r\ncapt1=Home\r\n"
            "[folder1]\r\nText=Links\r\nparentID=0\r\ncount=1\r\ncapt1=site\r\n"
            "[folder2]\r\nText=Deep\r\nparentID=1\r\n");
  for (const bool yes : {false, true}) {
    script_.OnWindow(kConfigTitle, [](HWND dialog) {
      Select(dialog, {"Menu", "Links"});
      Click(dialog, IDC_REMOVE_ITEM);
    });
    script_.OnWindow(kMessageTitle, [yes](HWND box) {
      EXPECT_EQ(Text(box, kMessageTextId), "Delete \"Links\"?");
      EXPECT_EQ(SendDlgItemMessageA(box, kMessageIconId, STM_GETICON, 0, 0), 0);
      Click(box, yes ? IDYES : IDNO);
    });
  }
  script_.OnWindow(kConfigTitle, [&](HWND dialog) {
    EXPECT_EQ(Outline(dialog), "Menu[Home,*(new item),*(new folder)]");
    Click(dialog, IDOK);
  });
  Configure();
  EXPECT_EQ(Stored("general", "Count"), "1");
  EXPECT_EQ(Stored("folder0", "Capt1"), "Home");
}

TEST_F(ConfigDialogTest, EditAndRemoveNeedAFolderOrAnEntry) {
  const std::string untouched = "Menu[*(new item),*(new folder)]";
  const std::vector<std::vector<std::string>> selections = {
      {}, {"Menu"}, {"Menu", "(new item)"}, {"Menu", "(new folder)"}};
  for (const auto& selection : selections) {
    for (const int button : {IDC_EDIT_ITEM, IDC_REMOVE_ITEM, 0}) {
      if (button == 0 && !selection.empty()) continue;  // a double-click goes to Edit only without a selection
      script_.OnWindow(kConfigTitle, [=](HWND dialog) {
        Select(dialog, selection);
        if (button) {
          Click(dialog, button);
        } else {
          NotifyDoubleClick(dialog);
        }
      });
      script_.OnWindow(kMessageTitle, [=](HWND box) {
        EXPECT_EQ(Text(box, kMessageTextId), kSelectFirst) << selection.size() << " " << button;
        EXPECT_EQ(GetDlgItem(box, IDYES), nullptr);
        EXPECT_EQ(SendDlgItemMessageA(box, kMessageIconId, STM_GETICON, 0, 0), 0);
        Click(box, IDOK);
      });
    }
  }
  script_.OnWindow(kConfigTitle, [&](HWND dialog) {
    EXPECT_EQ(Outline(dialog), untouched);
    Click(dialog, IDCANCEL);
  });
  Configure();
}

TEST_F(ConfigDialogTest, CancelAfterEditsLeavesTheFileByteForByte) {
  const std::string original =
      "; kept\r\n[General]\r\nVIRTKEY = 161\r\nCount=2\n[other]\nx=1\r\n"
      "[folder0]\r\nCount=1\r\nCapt1=Old\r\nCommand1=old\r\n[folder1]\r\nText=Sub\r\nparentID=0\r\n";
  WriteMenu(original);
  script_.OnWindow(kConfigTitle, [&](HWND dialog) {
    EXPECT_EQ(CheckedKeys(dialog), "shift");
    Click(dialog, IDC_INSERT_KEY);
    Select(dialog, {"Menu", "Sub"});
    Click(dialog, IDC_REMOVE_ITEM);
  });
  script_.OnWindow(kMessageTitle, [&](HWND box) { Click(box, IDYES); });
  script_.OnWindow(kConfigTitle, [&](HWND dialog) {
    Select(dialog, {"Menu", "Old"});
    Click(dialog, IDC_EDIT_ITEM);
  });
  script_.OnWindow(kEntryTitle, [&](HWND entry) {
    Type(entry, IDC_NAME, "New");
    Click(entry, IDOK);
  });
  script_.OnWindow(kConfigTitle, [&](HWND dialog) {
    EXPECT_EQ(Outline(dialog), "Menu[New,*(new item),*(new folder)]");
    Click(dialog, IDCANCEL);
  });
  Configure();
  EXPECT_EQ(ReadMenu(), original);
}

TEST_F(ConfigDialogTest, OkRebuildsTheRunningMenuAtOnce) {
  WriteMenu("[general]\r\nCount=1\r\n[folder0]\r\nCount=1\r\nCapt1=one\r\nCommand1=1\r\n");
  StartAndWaitForAnswer();
  EXPECT_EQ(ItemsOfTriggeredMenu(host_.TextField()), 3) << "one, separator, (cancel)";
  script_.OnWindow(kConfigTitle, [&](HWND dialog) {
    Select(dialog, {"Menu", "(new folder)"});
    NotifyDoubleClick(dialog);
  });
  script_.OnWindow(kFolderTitle, [&](HWND folder) {
    Type(folder, IDC_NAME, "Added");
    Click(folder, IDOK);
  });
  script_.OnWindow(kConfigTitle, [&](HWND dialog) { Click(dialog, IDOK); });
  Configure();
  EXPECT_EQ(ItemsOfTriggeredMenu(host_.TextField()), 4) << "Added, one, separator, (cancel)";
}

// OK rebuilds from what it saved only when that is the running menu's file.
TEST_F(ConfigDialogTest, OkOnAnotherDirectoryLeavesTheRunningMenuToItsOwnFile) {
  WriteMenu("[general]\r\nCount=1\r\n[folder0]\r\nCount=1\r\nCapt1=one\r\nCommand1=1\r\n");
  StartAndWaitForAnswer();
  const std::string directory = settingsDirectory_ + "other\\";
  ASSERT_TRUE(CreateDirectoryA(directory.c_str(), nullptr));
  script_.OnWindow(kConfigTitle, [&](HWND dialog) { Click(dialog, IDOK); });
  EXPECT_EQ(ConfigureWithDirectory(directory.c_str()), 1);
  EXPECT_EQ(ProfileFile(directory + "dravlin.ini").Read("folder0", "Count", ""), "0");
  EXPECT_EQ(ItemsOfTriggeredMenu(host_.TextField()), 3) << "one, separator, (cancel)";
}

TEST_F(ConfigDialogTest, FailedSaveSaysWhereAndKeepsTheDialogWithItsEdits) {
  const std::string directory = settingsDirectory_ + "missing\\";
  script_.OnWindow(kConfigTitle, [&](HWND dialog) {
    Select(dialog, {"Menu", "(new folder)"});
    NotifyDoubleClick(dialog);
  });
  script_.OnWindow(kFolderTitle, [&](HWND folder) {
    Type(folder, IDC_NAME, "Kept");
    Click(folder, IDOK);
  });
  script_.OnWindow(kConfigTitle, [&](HWND dialog) { Click(dialog, IDOK); });
  script_.OnWindow(kMessageTitle, [&](HWND box) {
    const std::string text = Text(box, kMessageTextId);
    EXPECT_NE(text.find("could not be saved"), std::string::npos) << text;
    EXPECT_NE(text.find(directory + "dravlin.ini"), std::string::npos) << text;
    Click(box, IDOK);
  });
  script_.OnWindow(kConfigTitle, [&](HWND dialog) {
    EXPECT_EQ(Outline(dialog), "Menu[Kept[*(new item),*(new folder)],*(new item),*(new folder)]");
    ASSERT_TRUE(CreateDirectoryA(directory.c_str(), nullptr));
    Click(dialog, IDOK);
  });
  EXPECT_EQ(ConfigureWithDirectory(directory.c_str()), 1);
  EXPECT_EQ(ProfileFile(directory + "dravlin.ini").Read("folder1", "Text", ""), "Kept");
}

TEST_F(ConfigDialogTest, FileHeldByAnotherProgramStaysAsItWas) {
  const std::string original = "[general]\r\nCount=1\r\n[folder0]\r\nCount=1\r\nCapt1=kept\r\n";
  WriteMenu(original);
  HANDLE held = INVALID_HANDLE_VALUE;
  script_.OnWindow(kConfigTitle, [&](HWND dialog) {
    Select(dialog, {"Menu", "kept"});
    Click(dialog, IDC_REMOVE_ITEM);
  });
  script_.OnWindow(kMessageTitle, [&](HWND box) { Click(box, IDYES); });
  script_.OnWindow(kConfigTitle, [&](HWND dialog) {
    held = CreateFileA(MenuPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Click(dialog, IDOK);
  });
  script_.OnWindow(kMessageTitle, [&](HWND box) {
    EXPECT_NE(Text(box, kMessageTextId).find(MenuPath()), std::string::npos);
    CloseHandle(held);
    Click(box, IDOK);
  });
  script_.OnWindow(kConfigTitle, [&](HWND dialog) {
    EXPECT_EQ(Outline(dialog), "Menu[*(new item),*(new folder)]");
    Click(dialog, IDCANCEL);
  });
  Configure();
  EXPECT_EQ(ReadMenu(), original);
}

TEST_F(ConfigDialogTest, UnreadableFileIsReportedAndNeverReplaced) {
  const std::string original = "[general]\r\nCount=1\r\n[folder0]\r\nCount=1\r\nCapt1=kept\r\n";
  struct Case {
    const char* name;
    std::string text;
    bool held;  // open without sharing, as another program holds it
  };
  for (const Case& c : {Case{"held", original, true},
                        Case{"over the size limit", original + std::string(33 << 20, ';'), false}}) {
    SCOPED_TRACE(c.name);
    WriteMenu(c.text);
    HANDLE held = c.held ? CreateFileA(MenuPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                         : INVALID_HANDLE_VALUE;
    script_.OnWindow(kMessageTitle, [&](HWND box) {
      const std::string text = Text(box, kMessageTextId);
      EXPECT_NE(text.find("could not be read"), std::string::npos) << text;
      EXPECT_NE(text.find(MenuPath()), std::string::npos) << text;
      const HWND dialog = FindWindowA("#32770", kConfigTitle);
      EXPECT_FALSE(dialog && IsWindowVisible(dialog)) << "no tree is offered for saving";
      // The other program lets go before the user answers.
      if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
      held = INVALID_HANDLE_VALUE;
      Click(box, IDOK);
    });
    EXPECT_EQ(Configure(), 1);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    EXPECT_TRUE(ReadMenu() == c.text) << "the file changed";
  }
  WriteMenu(original);
  script_.OnWindow(kConfigTitle, [&](HWND dialog) {
    EXPECT_EQ(Outline(dialog), "Menu[kept,*(new item),*(new folder)]");
    Click(dialog, IDCANCEL);
  });
  Configure();
}

TEST_F(ConfigDialogTest, Utf16FileLoadsAndOkKeepsEveryValueForThePlatform) {
  // As a Windows editor saves "Unicode" text.
  WriteMenu(EncodeProfileText("[general]\r\nVirtKey=161\r\ncount=2\r\n"
                              "[folder0]\r\ncount=2\r\ncapt1=b\r\ncommand1=bee\r\ntype1=13008\r\n"
                              "capt2=Caf\xE9\r\ncommand2=coffee\r\n"
                              "[folder1]\r\nText=Zeta\r\nparentID=0\r\ncount=1\r\ncapt1=in zeta\r\ncommand1=z\r\n"
                              "[other]\r\nkept=yes\r\n",
                              TextEncoding::kUtf16LittleEndian));
  script_.OnWindow(kConfigTitle, [&](HWND dialog) {
    EXPECT_EQ(Outline(dialog), "Menu[Zeta[in zeta,*(new item),*(new folder)],Caf\xE9,b,*(new item),*(new folder)]");
    EXPECT_EQ(CheckedKeys(dialog), "shift");
    Click(dialog, IDOK);
  });
  Configure();
  EXPECT_EQ(ReadMenu().substr(0, 2), "\xFF\xFE") << "saved as it came, in UTF-16";
  const auto platform = [&](const char* section, const char* key) {
    char value[256] = "";
    GetPrivateProfileStringA(section, key, "(absent)", value, sizeof value, MenuPath().c_str());
    return std::string(value);
  };
  EXPECT_EQ(platform("general", "VirtKey"), "161");
  EXPECT_EQ(platform("general", "count"), "2");
  EXPECT_EQ(platform("folder0", "count"), "2");
  EXPECT_EQ(platform("folder0", "capt1"), "Caf\xE9");
  EXPECT_EQ(platform("folder0", "command1"), "coffee");
  EXPECT_EQ(platform("folder0", "capt2"), "b");
  EXPECT_EQ(platform("folder0", "command2"), "bee");
  EXPECT_EQ(platform("folder0", "type2"), "13008");
  EXPECT_EQ(platform("folder1", "Text"), "Zeta");
  EXPECT_EQ(platform("folder1", "capt1"), "in zeta");
  EXPECT_EQ(platform("folder1", "command1"), "z");
  EXPECT_EQ(platform("other", "kept"), "yes");
}

// The code page has look-alikes for some characters ("L" for an L with a
// stroke, "8" for infinity) and nothing for others; either way a save would
// change them.
TEST_F(ConfigDialogTest, Utf16FileTheCodePageCannotHoldIsReportedAndNeverReplaced) {
  const std::u16string menu = u"[general]\r\ncount=1\r\n[folder0]\r\ncount=1\r\ncapt1=";
  for (const std::u16string& text : {menu + u"\u0141\u00F3dka\r\n", menu + u"a\r\n[other]\r\nnote=\u221E loop\r\n",
                                     menu + u"\u4E2D\r\n"}) {
    const std::string bytes = EncodeUtf16Text(text, TextEncoding::kUtf16LittleEndian);
    WriteMenu(bytes);
    script_.OnWindow(kMessageTitle, [&](HWND box) {
      const std::string said = Text(box, kMessageTextId);
      EXPECT_NE(said.find("characters"), std::string::npos) << said;
      EXPECT_NE(said.find(MenuPath()), std::string::npos) << said;
      EXPECT_EQ(said.find("close any program"), std::string::npos) << said;
      Click(box, IDOK);
    });
    EXPECT_EQ(Configure(), 1);
    EXPECT_TRUE(ReadMenu() == bytes) << "the file changed";
  }
}

TEST_F(ConfigDialogTest, SecondConfigureBringsTheOpenDialogForwardAndReturns) {
  WriteMenu(SampleMenu(163));
  script_.OnWindow(kConfigTitle, [&](HWND dialog) {
    SetForegroundWindow(host_.MainWindow());
    EXPECT_EQ(host_.CallConfigure(), 1);
    EXPECT_EQ(GetForegroundWindow(), dialog);
    Select(dialog, {"Menu", "Zulu"});
    Click(dialog, IDC_REMOVE_ITEM);
  });
  script_.OnWindow(kMessageTitle, [&](HWND box) { Click(box, IDYES); });
  script_.OnWindow(kConfigTitle, [&](HWND dialog) { Click(dialog, IDOK); });
  EXPECT_EQ(Configure(), 1);
  EXPECT_EQ(Stored("folder0", "count"), "2") << "the one dialog's removal was saved";
}

TEST_F(ConfigDialogTest, UnloadFromInsideTheDialogWaitsForItsEnd) {
  StartAndWaitForAnswer();
  script_.OnWindow(kConfigTitle, [&](HWND dialog) {
    host_.UnloadPlugin();
    EXPECT_NE(GetModuleHandleA("dravlin.dll"), nullptr) << "unmapped under the dialog";
    Click(dialog, IDOK);
  });
  EXPECT_EQ(Configure(), 1);
  EXPECT_EQ(Stored("folder0", "count"), "0") << "OK saved";
  EXPECT_TRUE(WaitFor([] { return !GetModuleHandleA("dravlin.dll"); })) << "the unload never happened";
  EXPECT_TRUE(PluginWindows().empty());
  EXPECT_TRUE(WaitFor([&] { return host_.Connections().back().closedByPlugin; }));
  EXPECT_EQ(ItemsOfTriggeredMenu(host_.TextField()), -1) << "a hook outlived the module";
}

TEST_F(ConfigDialogTest, MissingRecordOrDirectoryOpensOnTheBareFileName) {
  for (const bool withRecord : {false, true}) {
    script_.OnWindow(kConfigTitle, [&](HWND dialog) { Click(dialog, IDCANCEL); });
    int result = 0;
    const void* record[8] = {};
    script_.Play([&] {
      result = host_.Entry("zanConf")(host_.MainWindow(), nullptr, nullptr, withRecord ? record : nullptr);
    });
    EXPECT_EQ(result, 1);
  }
}

// A menu of entryCount entries, perFolder in each folder, ten subfolders to a
// folder, captions in reverse order so that every folder needs sorting.
std::string LargeMenu(int entryCount, int perFolder) {
  const int folders = (entryCount + perFolder - 1) / perFolder;
  std::string text = "[general]\r\nCount=" + std::to_string(folders) + "\r\n";
  for (int f = 0; f < folders; ++f) {
    const int count = std::min(perFolder, entryCount - f * perFolder);
    text += "[folder" + std::to_string(f) + "]\r\nText=folder " + std::to_string(folders - f) +
            "\r\nParentID=" + std::to_string(f == 0 ? 0 : (f - 1) / 10) + "\r\nCount=" +
            std::to_string(count) + "\r\n";
    for (int k = 1; k <= count; ++k) {
      const std::string n = std::to_string(k), caption = "entry " + std::to_string(100000 - f * perFolder - k);
      text += "Capt" + n + "=" + caption + "\r\nCommand" + n + "=command for " + caption + "\r\nType" + n +
              "=13014\r\n";
    }
  }
  return text;
}

// A menu of 10,000 entries whose order only the sort settles: captions drawn
// from a small set, so that siblings share them, differ only in case, begin
// one another or hold bytes above 127; folders under any earlier folder, some
// of them empty; entries with commands and kinds of their own, so that the
// order of equal captions shows in the saved file.
std::string ShuffledMenu(int folders, int entries) {
  static const char* const kWords[] = {"", "a", "A", "ab", "Ab", "b", "\xE9t\xE9", "\xC9t\xE9", "z", "Z9", "a b"};
  static const int kKinds[] = {13014, 13008, 13011, 7};
  std::uint32_t state = 12345;
  const auto next = [&state](std::size_t range) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % static_cast<std::uint32_t>(range);
  };
  const auto caption = [&] { return std::string(kWords[next(11)]) + std::to_string(next(3)); };
  std::vector<std::string> sections(static_cast<std::size_t>(folders));
  std::vector<int> counts(static_cast<std::size_t>(folders));
  for (std::size_t f = 1; f < sections.size(); ++f)
    sections[f] = "Text=" + caption() + "\r\nparentID=" + std::to_string(next(f)) + "\r\n";
  for (int e = 0; e < entries; ++e) {
    const std::size_t f = next(static_cast<std::size_t>(folders / 3 * 2 + 1));  // the last third stays empty
    const std::string k = std::to_string(++counts[f]);
    sections[f] += "capt" + k + "=" + caption() + "\r\ncommand" + k + "=command " + std::to_string(e) +
                   "\r\ntype" + k + "=" + std::to_string(kKinds[next(4)]) + "\r\n";
  }
  std::string text = "[general]\r\nVirtKey=161\r\ncount=" + std::to_string(folders) + "\r\n";
  for (std::size_t f = 0; f < sections.size(); ++f)
    text += "[folder" + std::to_string(f) + "]\r\ncount=" + std::to_string(counts[f]) + "\r\n" + sections[f];
  return text;
}

std::string Digest(const std::string& bytes) {
  std::uint64_t hash = 14695981039346656037u;  // FNV-1a
  for (const unsigned char c : bytes) hash = (hash ^ c) * 1099511628211u;
  char text[40];
  std::snprintf(text, sizeof text, "%zu:%016llx", bytes.size(), static_cast<unsigned long long>(hash));
  return text;
}

// The tree and the saved file of a large menu, fixed by what the dialog showed
// and wrote when it still filled its tree item by item and let the control sort.
TEST_F(ConfigDialogTest, LargeMenuShowsAndSavesAsItAlwaysHas) {
  struct Case {
    int folders;
    const char* tree;
    const char* saved;
  };
  for (const Case& c : {Case{100, "40337:3e6ca3b8f39d7b55", "676418:969103c070d6e7f8"},
                        Case{1, "37371:46ab53c92a1d7861", "542992:9d3e7a282ab2d391"}}) {
    SCOPED_TRACE(c.folders);
    WriteMenu(ShuffledMenu(c.folders, 10000));
    std::string outline;
    script_.OnWindow(kConfigTitle, [&](HWND dialog) {
      outline = Outline(dialog);
      Click(dialog, IDOK);
    });
    Configure();
    EXPECT_EQ(Digest(outline), c.tree);
    EXPECT_EQ(Digest(ReadMenu()), c.saved);
  }
}

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Figures for a person, not assertions: the time from zanConf to the loaded
// dialog on the screen, and the time OK takes to save and close.
TEST_F(ConfigDialogTest, FiguresForLargeMenus) {
  struct Shape {
    int entries;
    int perFolder;
  };
  for (const Shape shape : {Shape{1000, 100}, Shape{10000, 100}, Shape{10000, 10000}}) {
    WriteMenu(LargeMenu(shape.entries, shape.perFolder));
    double openMs = 0, saveMs = 0;
    const auto start = std::chrono::steady_clock::now();
    script_.OnWindow(kConfigTitle, [&](HWND dialog) {
      openMs = MillisecondsSince(start);
      const auto saving = std::chrono::steady_clock::now();
      Click(dialog, IDOK);
      saveMs = MillisecondsSince(saving);
    });
    Configure();
    EXPECT_EQ(Stored("folder0", "Count"), std::to_string(std::min(shape.entries, shape.perFolder)));
    std::printf("%6d entries, %5d to a folder: open %7.1f ms, save %7.1f ms\n", shape.entries,
                shape.perFolder, openMs, saveMs);
  }
}

}  // namespace
}  // namespace dravlin
