// Steps of the user and the host client around the finder: Ctrl+F in the
// menu, an entry found by its caption and run, and the host acting while the
// finder is open.
#include "hostlink/host_link.h"
#include "tests/wine/menu_watcher.h"
#include "tools/soak/soak.h"

namespace dravlin::soak {
namespace {

std::string RowText(int row, int column) {
  char text[1024] = "";
  ListView_GetItemText(FinderList(), row, column, text, sizeof text);
  return text;
}

// A caption as the menu shows it: a single "&" marks the next letter, "&&"
// shows one.
std::string Shown(const std::string& caption) {
  std::string shown;
  for (std::size_t at = 0; at < caption.size(); ++at) {
    if (caption[at] == '&' && ++at == caption.size()) break;
    shown += caption[at];
  }
  return shown;
}

struct FoundEntry {
  std::string caption;
  std::string path;
  EntryAction action;
};

// Every entry of the file's menu as the finder lists it: folder by folder,
// each below its parent, which comes first.
std::vector<FoundEntry> EntriesOf(const ExpectedMenu& menu) {
  std::vector<std::string> paths(menu.folders.size());
  std::vector<FoundEntry> entries;
  for (std::size_t f = 0; f < menu.folders.size(); ++f)
    for (const ExpectedItem& item : menu.folders[f]) {
      if (item.type == ExpectedItem::Type::Folder)
        paths[item.folder] = paths[f].empty() ? Shown(item.caption) : paths[f] + " > " + Shown(item.caption);
      if (item.type == ExpectedItem::Type::Entry) entries.push_back({Shown(item.caption), paths[f], item.action});
    }
  return entries;
}

// What choosing the finder's row showing caption and path does: the first
// entry that shows them, since the list keeps the menu's order.
EntryAction ActionOfRow(const ExpectedMenu& menu, const std::string& caption, const std::string& path) {
  for (const FoundEntry& entry : EntriesOf(menu))
    if (entry.caption == caption && entry.path == path) return entry.action;
  return {};
}

}  // namespace

void Soak::InFinder(PluginCopy& copy, const ExpectedMenu& menu, std::vector<Steps::Step> then) {
  const std::size_t count = then.size();
  Steps steps(std::move(then));
  ExpectRootMenu(PressTrigger(copy, menu.triggerKey, [](int tick) {
                   if (tick == 1) SendWithCtrl('F');
                 }),
                 menu);
  if (!WaitFor([&] { return steps.Taken() == count && !Finder(); }, 30000))
    Fail("the finder's loop did not end: " + std::to_string(steps.Taken()) + " of " + std::to_string(count) +
         " steps taken; " + DescribeScreen());
}

void Soak::ChooseInFinder(PluginCopy& copy) {
  const ExpectedMenu menu = RunningMenu(copy);
  const std::vector<FoundEntry> entries = EntriesOf(menu);
  const std::string typed =
      entries.empty() ? std::string() : entries[static_cast<std::size_t>(Draw(static_cast<int>(entries.size())))].caption;
  Announce(copy, "Ctrl+F in the menu, \"" + typed + "\", Enter");
  const std::string received = copy.Received(), shellLog = ShellLog();
  std::string caption, path;
  InFinder(copy, menu, {{[] { return Finder() != nullptr; }, [&] {
                             SetWindowTextA(FinderEdit(), typed.c_str());
                             caption = RowText(0, 0);
                             path = RowText(0, 1);
                             SendKeys({VK_RETURN, VK_ESCAPE});
                           }}});
  ExpectAction(copy, ActionOfRow(menu, caption, path), received, shellLog);
}

void Soak::ActInFinder(PluginCopy& copy, const std::string& what, const std::function<void()>& act) {
  const ExpectedMenu menu = RunningMenu(copy);
  Announce(copy, "Ctrl+F in the menu, " + what + ", then Escape");
  int ticks = 0;
  InFinder(copy, menu,
           {{[] { return Finder() != nullptr; }, act},
            // The finder closes itself on a stop or a rebuild; after a while the user does.
            {[&] { return ++ticks > 10; }, [] {
               if (Finder()) SendKeys({VK_ESCAPE});
             }}});
}

void Soak::CloseLinkInFinder(PluginCopy& copy) {
  ActInFinder(copy, "the host closes the link", [&] { copy.host->CloseConnection(); });
  copy.running = false;
}

void Soak::UnloadInFinder(PluginCopy& copy) {
  ActInFinder(copy, "FreeLibrary", [&] { copy.host->UnloadPlugin(); });
  copy.running = false;
  LoadAndStart(copy);
}

void Soak::InitInFinder(PluginCopy& copy) {
  const std::size_t connections = copy.host->Connections().size();
  ActInFinder(copy, "zanInit", [&] { copy.host->StartPlugin(); });
  ExpectConnectedAgain(copy, connections, "the plug-in");
}

void Soak::NewFileInFinder(PluginCopy& copy) {
  const std::string menu = RandomMenuFile(random_);
  ActInFinder(copy, "a new menu file of " + std::to_string(menu.size()) + " bytes and 001", [&] {
    WriteMenuFile(copy, menu);
    SendBytes(copy, EncodeWireMessage(kCodeStart, ""));
  });
  WaitForQuietLink(copy);
}

}  // namespace dravlin::soak
