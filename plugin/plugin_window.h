// The hidden plug-in window: target of the host link's requests and owner of
// everything that lives between start and stop.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hostlink/host_link_win32.h"
#include "menufile/profile_file.h"
#include "popup/finder_window_win32.h"
#include "popup/menu_tables.h"
#include "popup/popup_menu_win32.h"
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
  // Rebuilds it from a file the caller has just committed, which spares
  // reading back what was written. A file at another path than the menu's
  // is not the menu: the menu's own file is read instead.
  void BuildPopupMenu(ProfileFile committed);

  // Closes the host link and destroys the window; inside a nested loop, once
  // that loop has returned. The hook goes at once: a window on its way out
  // opens no menu.
  void Stop();

  // Destroys every plug-in window of the module, without waiting for other
  // threads; the module calls it as it unloads, possibly from a thread other
  // than the windows' own.
  static void DestroyAll();

  // Marks a call that may dispatch messages while the window is in use: a
  // modal loop of the plug-in (the popup menu, a shell request, the
  // configuration dialog) or the next hook of the chain, which may run one of
  // its own. While one is on the stack, stops and rebuilds wait, in the order
  // asked, until the outermost one has returned, and the object outlives its
  // window until then.
  class NestedLoop {
   public:
    explicit NestedLoop(PluginWindow* window);
    ~NestedLoop();
    NestedLoop(const NestedLoop&) = delete;
    NestedLoop& operator=(const NestedLoop&) = delete;

   private:
    PluginWindow* window_;
  };

  HWND HostWindow() const { return hostWindow_; }
  // The trigger key and the root menu of the latest build; null before one.
  int TriggerKey() const { return tables_.triggerKey; }
  HMENU RootMenu() const { return menus_.Root(); }

 private:
  PluginWindow(HWND hostWindow, unsigned port);
  ~PluginWindow() override;

  // The keyboard hook of the window that installed it; the hook procedure
  // gets no context, and one window at a time holds a hook.
  static LRESULT CALLBACK HookProcedure(int code, WPARAM virtualKey, LPARAM keystrokeFlags);
  void InstallHook();
  void RemoveHook();
  // Opens the root menu at the caret when the keystroke, already passed on to
  // the next hook, is a press of the trigger key in a text field of the host.
  void OnKeystroke(WPARAM virtualKey, LPARAM keystrokeFlags);
  // Rebuilds the menus and the font when a screen reader started or stopped
  // since they were made, or the menu is to appear at another resolution.
  void SuitMenus(POINT at);
  // Makes the menus of the tables: text items while a screen reader runs,
  // owner-drawn ones otherwise, drawn for the given resolution.
  void MakeMenus(int dpi, bool asText);

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnPostDestroy() override;

  enum class Request { kStop, kRebuild };

  void Defer(Request request);
  void OnNestedLoopEnd();
  // The one place that deletes the object: once its window is gone and no
  // nested loop will return into it.
  void DeleteIfDone();
  std::string MenuFilePath() const;
  void BuildFrom(const ProfileFile& file);

  LRESULT OnCreate(WPARAM wParam, LPARAM lParam);
  LRESULT OnStartRequest();
  LRESULT OnStopRequest();
  LRESULT OnDeferredRequests();
  LRESULT OnDestroy();
  // A letter typed while a key that opened the menu is still down is part of
  // the user's typing (right Shift as trigger, then P), not a choice.
  LRESULT OnMenuChar(WPARAM wParam, LPARAM lParam);
  bool OpeningKeyHeld() const;
  LRESULT OnMeasureItem(MEASUREITEMSTRUCT* request);
  LRESULT OnDrawItem(const DRAWITEMSTRUCT* request);
  // Carries out a chosen menu entry or opens the finder, then the default
  // command processing.
  LRESULT HandleMenuCommand(WPARAM wParam, LPARAM lParam);
  // Does what choosing the entry of this command id in the menu does.
  void RunCommand(unsigned commandId);
  // Runs the finder where the menu last opened, then the entry chosen in it;
  // the focus goes back to the text field the menu was opened from.
  void OpenFinder();

  int dpi_ = 0;  // the resolution the menus and the font were made for
  FontHandle menuFont_;
  HookHandle hook_;
  HWND hostWindow_;
  unsigned port_;
  std::unique_ptr<HostLink> hostLink_;
  MenuTables tables_;
  PopupMenus menus_;
  bool menuOpen_ = false;            // TrackPopupMenu is running
  bool menusAsText_ = false;         // built for a screen reader
  bool triggerPressServed_ = false;  // the trigger key's press has opened the menu
  // The trigger key and the key whose press opened the menu (the same key
  // unless another was pressed while the trigger was down), each until the
  // hook sees it released; 0 once it has.
  std::array<int, 2> heldOpeningKeys_ = {};
  POINT menuPoint_ = {};             // where the menu last opened
  FinderWindow* finder_ = nullptr;   // while the finder's loop runs
  int nestedLoops_ = 0;              // NestedLoop objects on the stack
  std::vector<Request> deferred_;    // asked for while a nested loop ran
  std::optional<ProfileFile> committed_;  // what a deferred rebuild is to show, if not the file
};

}  // namespace dravlin
