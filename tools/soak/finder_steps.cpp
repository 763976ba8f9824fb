// Steps of the user and the host client around the finder: Ctrl+F in the
// menu, an entry found by its caption and run, and the host acting while the
// finder is open.
#include "hostlink/host_link.h"
#include "popup/finder.h"
#include "tests/wine/menu_watcher.h"
#include "tools/soak/soak.h"

namespace dravlin::soak {
namespace {

std::string RowText(int row, int column) {
  char text[1024] = "";
  ListView_GetItemText(FinderList(), row, column, text, sizeof text);
  return text;
}

// What choosing the finder's row showing caption and path does: the first
// entry that shows them, since the list keeps the menu's order.
EntryAction ActionOfRow(const MenuTables& tables, const std::string& caption, const std::string& path) {
  const FinderIndex index(tables, CodePageRules());
  for (const FinderEntry& entry : index.Entries()) {
    if (entry.caption != caption || entry.path != path) continue;
    for (const auto& menu : tables.menus)
      for (const PlannedItem& item : menu)
        if (item.type == PlannedItem::Type::Entry && item.commandId == entry.commandId)
          return ActionForCommand(tables, item.commandId, item.itemData);
  }
  return {};
}

}  // namespace

void Soak::InFinder(PluginCopy& copy, const MenuTables& tables, std::vector<Steps::Step> then) {
  const std::size_t count = then.size();
  Steps steps(std::move(then));
  ExpectRootMenu(PressTrigger(copy, tables.triggerKey, [](int tick) {
                   if (tick == 1) SendWithCtrl('F');
                 }),
                 tables);
  if (!WaitFor([&] { return steps.Taken() == count && !Finder(); }, 30000))
    Fail("the finder's loop did not end: " + std::to_string(steps.Taken()) + " of " + std::to_string(count) +
         " steps taken; " + DescribeScreen());
}

void Soak::ChooseInFinder(PluginCopy& copy) {
  const MenuTables tables = RunningTables(copy);
  const std::vector<FinderEntry> entries = FinderIndex(tables, CodePageRules()).Entries();
  const std::string typed =
      entries.empty() ? std::string() : entries[static_cast<std::size_t>(Draw(static_cast<int>(entries.size())))].caption;
  Announce(copy, "Ctrl+F in the menu, \"" + typed + "\", Enter");
  const std::string received = copy.Received(), shellLog = ShellLog();
  std::string caption, path;
  InFinder(copy, tables, {{[] { return Finder() != nullptr; }, [&] {
                             SetWindowTextA(FinderEdit(), typed.c_str());
                             caption = RowText(0, 0);
                             path = RowText(0, 1);
                             SendKeys({VK_RETURN, VK_ESCAPE});
                           }}});
  ExpectAction(copy, ActionOfRow(tables, caption, path), received, shellLog);
}

void Soak::ActInFinder(PluginCopy& copy, const std::string& what, const std::function<void()>& act) {
  const MenuTables tables = RunningTables(copy);
  Announce(copy, "Ctrl+F in the menu, " + what + ", then Escape");
  int ticks = 0;
  InFinder(copy, tables,
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
  if (!WaitFor([&] { return copy.host->Connections().size() > connections; }, 15000))
    Fail("the plug-in did not connect after zanInit");
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
