// The hidden plug-in window: target of the host link's requests and owner of
// everything that lives between start and stop.
#pragma once

#include <memory>
#include <string>

#include "hostlink/host_link_win32.h"
#include "win/handles.h"
#include "win/window.h"

namespace dravlin {

class PluginWindow : public Window {
 public:
  // Creates the system window before it returns; the object deletes itself
  // once that window is destroyed.
  static PluginWindow* Create(HWND hostWindow, unsigned port);

  // Rebuilds the popup menu from the menu definition file.
  void BuildPopupMenu();

  HWND HostWindow() const { return hostWindow_; }
  HHOOK Hook() const { return hook_.Get(); }

 private:
  PluginWindow(HWND hostWindow, unsigned port);
  ~PluginWindow() override;

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnPostDestroy() override;

  LRESULT OnCreate(WPARAM wParam, LPARAM lParam);
  LRESULT OnStartRequest();
  LRESULT OnStopRequest();
  LRESULT OnDestroy();

  FontHandle menuFont_;
  HookHandle hook_;
  HWND hostWindow_;
  unsigned port_;
  std::unique_ptr<HostLink> hostLink_;
};

// The running plug-in window for the keyboard hook, which gets no context.
PluginWindow* CurrentPluginWindow();

}  // namespace dravlin
