// Base of every window of the plug-in: one static window procedure finds the
// object and hands each message to its HandleMessage switch.
#pragma once

#include <windows.h>

namespace dravlin {

class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  // Destroys the system window; one of another thread is left to the system,
  // which closes it on that thread.
  virtual ~Window();

  HWND Handle() const { return hwnd_; }

  // Registers a class whose windows route their messages to their objects;
  // registering a name again is harmless.
  static bool RegisterWindowClass(WNDCLASSA windowClass);

  // Unregisters every class registered above; the module calls it before it
  // unloads, because a class outlives the code of its window procedure.
  static void UnregisterWindowClasses();

 protected:
  // Creates the system window of an already registered class; the object
  // receives WM_NCCREATE and everything after it.
  HWND CreateSystemWindow(DWORD exStyle, const char* className, const char* title, DWORD style,
                          int x, int y, int width, int height, HWND owner);

  // The message table: a switch over the messages the window handles.
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // Runs once the system window is gone, whatever destroyed it; the object
  // may delete itself here.
  virtual void OnPostDestroy() {}

  LRESULT DefaultProcessing(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  HWND hwnd_ = nullptr;
};

}  // namespace dravlin
