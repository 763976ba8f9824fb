// Steps of the user and the host client around the popup menu: the trigger
// key, choices with the keyboard, and the host acting while the menu is open.
#include <algorithm>

#include "hostlink/host_link.h"
#include "tests/wine/menu_watcher.h"
#include "tools/soak/soak.h"

namespace dravlin::soak {
namespace {

std::vector<WORD> Downs(std::size_t count, WORD last) {
  std::vector<WORD> keys(count, VK_DOWN);
  keys.push_back(last);
  return keys;
}

// The presses of Down that select the root item at index: the first selects
// item 0, and separators are passed over.
std::size_t DownsTo(const std::vector<ExpectedItem>& root, std::size_t index) {
  return static_cast<std::size_t>(std::count_if(root.begin(), root.begin() + static_cast<std::ptrdiff_t>(index) + 1,
                                                [](const ExpectedItem& item) { return item.type != ExpectedItem::Type::Separator; }));
}

}  // namespace

// Keys that choose an item: first while the root is open, then, for an entry
// in a folder, once its menu has opened.
struct Soak::MenuChoice {
  std::vector<WORD> first;
  std::vector<WORD> second;
  EntryAction action;
  std::string description;
};

Soak::MenuChoice Soak::DrawChoice(const ExpectedMenu& menu, bool rootOnly) {
  using Type = ExpectedItem::Type;
  const std::vector<ExpectedItem>& root = menu.folders.front();
  for (;;) {
    const auto index = static_cast<std::size_t>(Draw(static_cast<int>(root.size())));
    const ExpectedItem& item = root[index];
    MenuChoice choice;
    choice.description = "item " + std::to_string(index + 1) + " of " + std::to_string(root.size());
    // The Find item's finder has steps of its own.
    if (item.type == Type::Separator || item.type == Type::Find) continue;
    if (item.type != Type::Folder) {
      choice.first = Downs(DownsTo(root, index), VK_RETURN);
      choice.action = item.action;
      return choice;
    }
    const std::vector<ExpectedItem>& folder = menu.folders[item.folder];
    std::vector<std::size_t> entries;
    for (std::size_t k = 0; k < folder.size(); ++k)
      if (folder[k].type == Type::Entry) entries.push_back(k);
    if (rootOnly || entries.empty()) continue;
    const std::size_t entry = entries[static_cast<std::size_t>(Draw(static_cast<int>(entries.size())))];
    choice.first = Downs(DownsTo(root, index), VK_RIGHT);
    choice.second = Downs(entry, VK_RETURN);
    choice.action = folder[entry].action;
    choice.description += ", its item " + std::to_string(entry + 1) + " of " + std::to_string(folder.size());
    return choice;
  }
}

std::vector<SeenMenu> Soak::PressTrigger(PluginCopy& copy, int triggerKey,
                                         const std::function<void(int tick)>& whileOpen) {
  FocusTextField(copy);
  // Now and then as a screen reader would have it: text items, whose captions
  // can be read back.
  const bool reader = Chance(25);
  if (reader) SystemParametersInfoA(SPI_SETSCREENREADER, TRUE, nullptr, SPIF_SENDCHANGE);
  const int stuckBefore = MenuWatcher::StuckMenusClosed();
  MenuWatcher watcher;
  watcher.whileOpen = whileOpen;
  SendKeys({static_cast<WORD>(triggerKey)});
  if (!WaitFor([&] { return !watcher.opened.empty() && !VisibleMenuWindow(); }, 20000))
    Fail(watcher.opened.empty() ? "the trigger key " + std::to_string(triggerKey) + " opened no menu"
                                : "the menu stayed open; " + DescribeScreen());
  if (MenuWatcher::StuckMenusClosed() != stuckBefore)
    Fail("the menu ignored the step's keys until its watcher closed it");
  if (reader) SystemParametersInfoA(SPI_SETSCREENREADER, FALSE, nullptr, SPIF_SENDCHANGE);
  return watcher.opened;
}

void Soak::ExpectRootMenu(const std::vector<SeenMenu>& opened, const ExpectedMenu& menu) {
  using Type = ExpectedItem::Type;
  if (opened.size() != 1) Fail(std::to_string(opened.size()) + " menus opened for one press");
  const std::vector<SeenItem>& seen = opened.front().items;
  const std::vector<ExpectedItem>& root = menu.folders.front();
  if (seen.size() != root.size())
    Fail("the menu shows " + std::to_string(seen.size()) + " items where its file has " + std::to_string(root.size()));
  for (std::size_t i = 0; i < root.size(); ++i) {
    const bool matches = root[i].type == Type::Folder      ? seen[i].submenu != nullptr
                         : root[i].type == Type::Separator ? (seen[i].type & MFT_SEPARATOR) != 0
                         : root[i].type == Type::Cancel    ? seen[i].id == kCancelCommandId
                         : root[i].type == Type::Find      ? seen[i].id == kFindCommandId
                                                           : !seen[i].submenu && seen[i].id > kCancelCommandId;
    if (!matches) Fail("item " + std::to_string(i + 1) + " of the menu is not the file's \"" + root[i].caption + "\"");
    // Text items, while a screen reader runs, show what the file names them;
    // read while the menu was open, since the step may end the plug-in.
    if (seen[i].type & (MFT_OWNERDRAW | MFT_SEPARATOR)) continue;
    const std::string& text = seen[i].text;
    const std::string kind = KindName(root[i].kind);
    const std::string expected = kind.empty() ? root[i].caption : root[i].caption + "\t" + kind;
    if (text != expected)
      Fail("item " + std::to_string(i + 1) + " of the menu reads \"" + text + "\" where the file has \"" + expected +
           "\"");
  }
}

void Soak::ExpectAction(PluginCopy& copy, const EntryAction& action, const std::string& received,
                        const std::string& shellLog) {
  if (action.type == EntryAction::Type::OpenWithShell) {
    const std::string expected = shellLog + action.text + "\n";
    if (!WaitFor([&] { return ShellLog().size() >= expected.size(); }, 30000) || ShellLog() != expected)
      Fail("the shell was asked for \"" + ShellLog().substr(shellLog.size()) + "\" where \"" + action.text +
           "\" was chosen");
  }
  const std::string expected =
      received + (action.type == EntryAction::Type::SendCommand ? EncodeWireMessage(kCodeCommand, action.text) : "");
  WaitFor([&] { return copy.Received().size() >= expected.size(); }, 10000);
  PumpMessagesFor(200);
  if (copy.Received() != expected)
    Fail("the host got \"" + Printable(copy.Received().substr(received.size())) + "\" where \"" +
         Printable(expected.substr(received.size())) + "\" was due");
}

void Soak::EscapeFromMenu(PluginCopy& copy) {
  const ExpectedMenu expected = RunningMenu(copy);
  Announce(copy, "trigger key " + std::to_string(expected.triggerKey));
  const std::string received = copy.Received();
  ExpectRootMenu(PressTrigger(copy, expected.triggerKey, [](int tick) {
                   if (tick == 1) SendKeys({VK_ESCAPE});
                 }),
                 expected);
  ExpectAction(copy, EntryAction{}, received, ShellLog());
}

void Soak::ChooseFromMenu(PluginCopy& copy) {
  const ExpectedMenu expected = RunningMenu(copy);
  const MenuChoice choice = DrawChoice(expected, false);
  Announce(copy, "trigger key " + std::to_string(expected.triggerKey) + ", " + choice.description);
  const std::string received = copy.Received(), shellLog = ShellLog();
  ExpectRootMenu(PressTrigger(copy, expected.triggerKey, [&](int tick) {
                   if (tick == 1) SendKeys(choice.first);
                   if (tick == 6 && !choice.second.empty()) SendKeys(choice.second);
                 }),
                 expected);
  ExpectAction(copy, choice.action, received, shellLog);
}

void Soak::ActInMenu(PluginCopy& copy, const std::string& what, const std::function<void()>& act,
                     std::vector<Steps::Step> then) {
  const ExpectedMenu expected = RunningMenu(copy);
  const bool choose = Chance(50);
  const MenuChoice choice = DrawChoice(expected, true);
  Announce(copy, what + ", then " + (choose ? choice.description : "Escape"));
  const std::vector<WORD> keys = choose ? choice.first : std::vector<WORD>{VK_ESCAPE};
  then.insert(then.begin(), Steps::Step{[] { return VisibleMenuWindow() != nullptr; }, act});
  then.push_back(Steps::Step{[] { return ShownDialogTitles().empty(); }, [keys] {
                    if (VisibleMenuWindow()) SendKeys(keys);
                  }});
  const std::size_t count = then.size();
  FocusTextField(copy);
  Steps steps(std::move(then));
  SendKeys({static_cast<WORD>(expected.triggerKey)});
  if (!WaitFor([&] { return steps.Taken() == count && !VisibleMenuWindow() && ShownDialogTitles().empty(); },
               60000))
    Fail("the menu's loop did not end: " + std::to_string(steps.Taken()) + " of " + std::to_string(count) +
         " steps taken; " + DescribeScreen());
}

void Soak::InitInMenu(PluginCopy& copy) {
  const std::size_t connections = copy.host->Connections().size();
  ActInMenu(copy, "zanInit", [&] { copy.host->StartPlugin(); });
  ExpectConnectedAgain(copy, connections, "the plug-in");
}

void Soak::ConfigureInMenu(PluginCopy& copy) {
  ActInMenu(copy, "zanConf, Cancel", [&] { copy.host->CallConfigure(); },
            {{[] { return ShownDialog(kConfigTitle) || ShownDialog(kMessageTitle); }, [] {
                if (const HWND box = ShownDialog(kMessageTitle)) return Click(box, IDOK);
                Click(ShownDialog(kConfigTitle), IDCANCEL);
              }}});
}

void Soak::UnloadInMenu(PluginCopy& copy) {
  ActInMenu(copy, "FreeLibrary", [&] { copy.host->UnloadPlugin(); });
  copy.running = false;
  LoadAndStart(copy);
}

void Soak::CloseLinkInMenu(PluginCopy& copy) {
  ActInMenu(copy, "the host closes the link", [&] { copy.host->CloseConnection(); });
  copy.running = false;
}

void Soak::NewFileInMenu(PluginCopy& copy) {
  const std::string menu = RandomMenuFile(random_);
  ActInMenu(copy, "a new menu file of " + std::to_string(menu.size()) + " bytes and 001", [&] {
    WriteMenuFile(copy, menu);
    SendBytes(copy, EncodeWireMessage(kCodeStart, ""));
  });
  // The rebuild waited for the menu to close; the file's menu shows now.
  WaitForQuietLink(copy);
  if (!HasTrigger(copy)) return;
  const ExpectedMenu expected = RunningMenu(copy);
  ExpectRootMenu(PressTrigger(copy, expected.triggerKey, [](int tick) {
                   if (tick == 1) SendKeys({VK_ESCAPE});
                 }),
                 expected);
}

void Soak::StopOtherInMenu(PluginCopy& copy) {
  PluginCopy& other = *OtherCopy(copy);
  ActInMenu(copy, "copy " + std::to_string(other.number) + "'s host closes its link",
            [&] { other.host->CloseConnection(); });
  other.running = false;
}

void Soak::RestartOtherInMenu(PluginCopy& copy) {
  PluginCopy& other = *OtherCopy(copy);
  const std::size_t connections = other.host->Connections().size();
  ActInMenu(copy, "zanInit of copy " + std::to_string(other.number), [&] { other.host->StartPlugin(); });
  ExpectConnectedAgain(other, connections, "copy " + std::to_string(other.number));
  other.running = true;
}

}  // namespace dravlin::soak
