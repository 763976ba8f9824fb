#include "win/window.h"

#include <string>
#include <vector>

#include "win/module.h"

namespace dravlin {
namespace {
std::vector<std::string>& RegisteredClassNames() {
  static std::vector<std::string> names;
  return names;
}
}  // namespace

bool Window::RegisterWindowClass(WNDCLASSA windowClass) {
  windowClass.lpfnWndProc = WindowProcedure;
  windowClass.hInstance = ModuleInstance();
  if (RegisterClassA(&windowClass)) {
    RegisteredClassNames().push_back(windowClass.lpszClassName);
    return true;
  }
  return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void Window::UnregisterWindowClasses() {
  for (const std::string& name : RegisteredClassNames()) UnregisterClassA(name.c_str(), ModuleInstance());
  RegisteredClassNames().clear();
}

Window::~Window() {
  if (!hwnd_) return;
  SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
  if (GetWindowThreadProcessId(hwnd_, nullptr) == GetCurrentThreadId()) {
    DestroyWindow(hwnd_);
    return;
  }
  // Only its own thread may destroy it, and that thread may be blocked: the
  // system's procedure takes the window over and closes it there, so that
  // nothing of the module runs for it any more.
  SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcA));
  PostMessageA(hwnd_, WM_CLOSE, 0, 0);
}

HWND Window::CreateSystemWindow(DWORD exStyle, const char* className, const char* title,
                                DWORD style, int x, int y, int width, int height, HWND owner) {
  return CreateWindowExA(exStyle, className, title, style, x, y, width, height, owner, nullptr,
                         ModuleInstance(), this);
}

LRESULT Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefaultProcessing(message, wParam, lParam);
}

LRESULT Window::DefaultProcessing(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Window::WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* window = static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    window->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
  }
  auto* window = reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!window) return DefWindowProcA(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    const LRESULT result = DefWindowProcA(hwnd, message, wParam, lParam);
    window->hwnd_ = nullptr;
    window->OnPostDestroy();
    return result;
  }
  // No exception may cross into the host's message loop.
  try {
    return window->HandleMessage(message, wParam, lParam);
  } catch (...) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

}  // namespace dravlin
