// The hidden plug-in window: target of the host link's requests and owner of
// everything that lives between start and stop.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "hostlink/host_link_win32.h"
#include "popup/menu_tables.h"
#include "win/handles.h"
#include "win/window.h"

namespace dravlin {

class PluginWindow : public Window {
 public:
  // Creates the system window before it returns; the object deletes itself
  // once that window is destroyed.
  static PluginWindow* Create(HWND hostWindow, unsigned port);

  // Rebuilds the popup menu from the menu definition file. A file that cannot
  // be read leaves the menu as it was.
  void BuildPopupMenu();

  HWND HostWindow() const { return hostWindow_; }
  HHOOK Hook() const { return hook_.Get(); }
  // The trigger key and the root menu of the latest build; null before one.
  int TriggerKey() const { return tables_.triggerKey; }
  HMENU RootMenu() const { return folderMenus_.empty() ? nullptr : folderMenus_.front().Get(); }

  // Opens the root menu at the caret when the keystroke, already passed on to
  // the next hook, is a press of the trigger key in a text field of the host.
  void OnKeystroke(WPARAM virtualKey, LPARAM keystrokeFlags);

 private:
  PluginWindow(HWND hostWindow, unsigned port);
  ~PluginWindow() override;

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnPostDestroy() override;

  LRESULT OnCreate(WPARAM wParam, LPARAM lParam);
  LRESULT OnStartRequest();
  LRESULT OnStopRequest();
  LRESULT OnDestroy();
  LRESULT OnMeasureItem(MEASUREITEMSTRUCT* request);
  LRESULT OnDrawItem(const DRAWITEMSTRUCT* request);
  // Carries out a chosen menu entry, then the default command processing.
  LRESULT HandleMenuCommand(WPARAM wParam, LPARAM lParam);
  const ItemRecord* RecordFor(ULONG_PTR itemData) const;

  FontHandle menuFont_;
  HookHandle hook_;
  HWND hostWindow_;
  unsigned port_;
  std::unique_ptr<HostLink> hostLink_;
  std::vector<MenuHandle> folderMenus_;
  MenuTables tables_;
  bool menuOpen_ = false;
  bool triggerPressServed_ = false;
};

// The running plug-in window for the keyboard hook, which gets no context.
PluginWindow* CurrentPluginWindow();

}  // namespace dravlin
