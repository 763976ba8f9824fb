// Steps of the user in the configuration dialog, and of the host client while
// the dialog is open. Each run of the dialog knows the menu OK must save.
#include <algorithm>
#include <cstdio>
#include <memory>

#include "config/config_tree.h"
#include "hostlink/host_link.h"
#include "tests/wine/menu_watcher.h"
#include "tools/soak/soak.h"

namespace dravlin::soak {
namespace {

struct KeyButton {
  int key;
  int button;
};
constexpr KeyButton kKeyButtons[] = {
    {VK_RCONTROL, IDC_RIGHT_CTRL}, {VK_RSHIFT, IDC_RIGHT_SHIFT}, {VK_INSERT, IDC_INSERT_KEY}};

struct KindButton {
  int kind;
  int button;
  const char* name;
};
constexpr KindButton kKindButtons[] = {{kNormalCommandKind, IDC_KIND_COMMAND, "command"},
                                       {kWebSiteKind, IDC_KIND_WEB_SITE, "web site"},
                                       {kEmailAddressKind, IDC_KIND_EMAIL, "e-mail address"}};

std::string CommandFor(int kind, const std::string& name) {
  std::string word = name;
  std::replace(word.begin(), word.end(), ' ', '-');
  if (kind == kWebSiteKind) return "http://example.org/" + word;
  if (kind == kEmailAddressKind) return word + "@example.org";
  return "command of " + name;
}

}  // namespace

struct Soak::DialogPlan {
  // Adds a step that acts in the dialog of that title once the user can.
  void In(Soak& soak, const char* title, std::function<void(HWND)> act) {
    steps.push_back({soak.InDialog(title), [title, act] { act(ShownDialog(title)); }});
  }

  std::string description;
  std::vector<Steps::Step> steps;  // the last one closes the dialog
  MenuShape expected;              // what OK is to save
  bool ok = false;
};

std::function<bool()> Soak::InDialog(const char* title) {
  return [this, title] {
    const std::vector<std::string> titles = ShownDialogTitles();
    if (std::count(titles.begin(), titles.end(), std::string(kConfigTitle)) > 1)
      Fail("two configuration dialogs are open at once");
    return ShownDialog(title) != nullptr;
  };
}

HTREEITEM Soak::RootItem(HWND dialog, const std::string& caption) {
  const HTREEITEM item = FindItem(dialog, {kRootCaption, caption});
  if (!item) Fail("the dialog's tree has no item \"" + caption + "\" in its root");
  return item;
}

Soak::DialogPlan Soak::DrawEdits(const PluginCopy& copy, bool ok) {
  DialogPlan plan;
  plan.ok = ok;
  plan.expected = ShapeOf(copy);
  for (int i = 0, count = 1 + Draw(3); i < count; ++i)
    DrawEdit(plan, "soak " + std::to_string(step_) + static_cast<char>('a' + i));
  plan.In(*this, kConfigTitle, [ok](HWND dialog) { Click(dialog, ok ? IDOK : IDCANCEL); });
  plan.description += ok ? "OK" : "Cancel";
  return plan;
}

void Soak::DrawEdit(DialogPlan& plan, const std::string& name) {
  std::vector<std::string> captions = DistinctRootCaptions(plan.expected), entries;
  for (const std::string& caption : captions)
    if (plan.expected.folders.count(caption) == 0) entries.push_back(caption);
  const auto pick = [this](const std::vector<std::string>& from) {
    return from[static_cast<std::size_t>(Draw(static_cast<int>(from.size())))];
  };
  const int edit = Draw(5);
  if (edit == 0) {
    const KeyButton key = kKeyButtons[Draw(3)];
    plan.In(*this, kConfigTitle, [key](HWND dialog) { Click(dialog, key.button); });
    plan.expected.triggerKey = key.key;
    plan.description += "trigger key " + std::to_string(key.key) + ", ";
  } else if (edit == 1 && !entries.empty()) {
    const std::string from = pick(entries);
    plan.In(*this, kConfigTitle, [this, from](HWND dialog) {
      SelectItem(dialog, RootItem(dialog, from));
      Click(dialog, IDC_EDIT_ITEM);
    });
    plan.In(*this, kEntryTitle, [name](HWND entry) {
      Type(entry, IDC_NAME, name);
      Click(entry, IDOK);
    });
    RenameRootEntry(plan.expected, from, name);
    plan.description += "\"" + from + "\" renamed \"" + name + "\", ";
  } else if (edit == 2 && !captions.empty()) {
    const std::string caption = pick(captions);
    plan.In(*this, kConfigTitle, [this, caption](HWND dialog) {
      SelectItem(dialog, RootItem(dialog, caption));
      Click(dialog, IDC_REMOVE_ITEM);
    });
    plan.In(*this, kMessageTitle, [](HWND box) { Click(box, IDYES); });
    RemoveRootItem(plan.expected, caption);
    plan.description += "\"" + caption + "\" removed, ";
  } else if (edit == 3) {
    const KindButton kind = kKindButtons[Draw(3)];
    const std::string command = CommandFor(kind.kind, name);
    plan.In(*this, kConfigTitle, [this](HWND dialog) {
      SelectItem(dialog, RootItem(dialog, kNewItemCaption));
      NotifyDoubleClick(dialog);
    });
    plan.In(*this, kEntryTitle, [name, command, kind](HWND entry) {
      Type(entry, IDC_NAME, name);
      Type(entry, IDC_COMMAND, command);
      Click(entry, kind.button);
      Click(entry, IDOK);
    });
    AddRootEntry(plan.expected, {name, command, kind.kind});
    plan.description += std::string("new ") + kind.name + " \"" + name + "\", ";
  } else {
    plan.In(*this, kConfigTitle, [this](HWND dialog) {
      SelectItem(dialog, RootItem(dialog, kNewFolderCaption));
      NotifyDoubleClick(dialog);
    });
    plan.In(*this, kFolderTitle, [name](HWND folder) {
      Type(folder, IDC_NAME, name);
      Click(folder, IDOK);
    });
    AddRootFolder(plan.expected, name);
    plan.description += "new folder \"" + name + "\", ";
  }
}

bool Soak::RunDialog(PluginCopy& copy, DialogPlan plan, const std::string& hostAct,
                     const std::function<void()>& act) {
  Announce(copy, (hostAct.empty() ? "" : hostAct + " in the dialog; ") + plan.description);
  // A file the dialog cannot show in full is refused before the dialog shows.
  std::string refusal;
  plan.steps.insert(plan.steps.begin(),
                    Steps::Step{[] { return ShownDialog(kConfigTitle) || ShownDialog(kMessageTitle); }, [&] {
                                  if (const HWND box = ShownDialog(kMessageTitle)) {
                                    refusal = Text(box, kMessageTextId);
                                    return Click(box, IDOK);
                                  }
                                  if (act) act();
                                }});
  const std::size_t count = plan.steps.size();
  const Steps steps(std::move(plan.steps));
  const int result = copy.host->CallConfigure();
  if (result != 1) Fail("zanConf returned " + std::to_string(result));
  if (!refusal.empty()) {
    if (AnsiHoldsEveryCharacter(copy.menuFile)) Fail("the dialog refused a menu it can show: " + refusal);
    std::replace(refusal.begin(), refusal.end(), '\n', ' ');
    std::printf("  the dialog refused the file: %s\n", refusal.c_str());
    return false;
  }
  if (steps.Taken() != count)
    Fail("the dialog closed with " + std::to_string(steps.Taken()) + " of the user's " + std::to_string(count) +
         " steps taken");
  if (plan.ok) ExpectSaved(copy, plan);
  return true;
}

void Soak::ExpectSaved(PluginCopy& copy, const DialogPlan& plan) {
  bool exists = false;
  const std::string bytes = ReadFileBytes(copy.MenuPath(), exists);
  const MenuShape saved = ShapeOfMenuFile(bytes, scratchPath_);
  if (!exists || saved != plan.expected)
    Fail("OK saved another menu than the dialog showed; what differs:\n" + DescribeDifference(plan.expected, saved));
  copy.menuFile = bytes;
  copy.menuFileExists = true;
}

void Soak::EditAndOk(PluginCopy& copy) { RunDialog(copy, DrawEdits(copy, true)); }

void Soak::EditAndCancel(PluginCopy& copy) { RunDialog(copy, DrawEdits(copy, false)); }

void Soak::InitInDialog(PluginCopy& copy) {
  const std::size_t connections = copy.host->Connections().size();
  if (!RunDialog(copy, DrawEdits(copy, Chance(50)), "zanInit", [&] { copy.host->StartPlugin(); })) return;
  ExpectConnectedAgain(copy, connections, "the plug-in");
  copy.running = true;
}

void Soak::ConfigureInDialog(PluginCopy& copy) {
  RunDialog(copy, DrawEdits(copy, Chance(60)), "zanConf again", [&] { copy.host->CallConfigure(); });
}

void Soak::UnloadInDialog(PluginCopy& copy) {
  if (!RunDialog(copy, DrawEdits(copy, Chance(50)), "FreeLibrary", [&] { copy.host->UnloadPlugin(); })) return;
  const bool start = copy.running;
  copy.running = false;
  if (!copy.host->LoadPlugin(copy.modulePath)) Fail("LoadLibrary failed for " + copy.modulePath);
  if (start) StartCopy(copy);
}

void Soak::CloseLinkInDialog(PluginCopy& copy) {
  if (RunDialog(copy, DrawEdits(copy, Chance(50)), "the host closes the link",
                [&] { copy.host->CloseConnection(); }))
    copy.running = false;
}

void Soak::StartRequestInDialog(PluginCopy& copy) {
  RunDialog(copy, DrawEdits(copy, Chance(50)), "001",
            [&] { SendBytes(copy, EncodeWireMessage(kCodeStart, "")); });
}

void Soak::TriggerInDialog(PluginCopy& copy) {
  const auto key = static_cast<WORD>(HasTrigger(copy) ? RunningMenu(copy).triggerKey : VK_RCONTROL);
  DialogPlan plan = DrawEdits(copy, Chance(50));
  // The dialog has the focus: no menu may open over it, though the key arrives.
  const auto pressedAt = std::make_shared<DWORD>(0);
  const KeystrokeLog keystrokes;
  plan.steps.insert(plan.steps.begin(),
                    Steps::Step{[pressedAt] { return *pressedAt != 0 && GetTickCount() - *pressedAt > 300; },
                                [this, &keystrokes, key] {
                                  if (!keystrokes.Downs(key)) Fail("the trigger key never reached the host's thread");
                                  if (VisibleMenuWindow()) Fail("the trigger key opened the menu over the dialog");
                                }});
  // In the editor's tree, which has the focus, Insert also creates an entry:
  // its properties open, and Cancel leaves the tree as it was.
  if (key == VK_INSERT)
    plan.steps.insert(plan.steps.begin() + 1,
                      Steps::Step{InDialog(kEntryTitle), [] { Click(ShownDialog(kEntryTitle), IDCANCEL); }});
  RunDialog(copy, std::move(plan), "trigger key " + std::to_string(key), [pressedAt, key] {
    SendKeys({key});
    *pressedAt = GetTickCount();
  });
}

}  // namespace dravlin::soak
