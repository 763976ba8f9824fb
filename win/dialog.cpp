#include "win/dialog.h"

#include "win/module.h"

namespace dravlin {

INT_PTR Dialog::RunModal(HWND owner) {
  const INT_PTR result = DialogBoxParamA(ModuleInstance(), MAKEINTRESOURCEA(templateId_), owner,
                                         DialogProcedure, reinterpret_cast<LPARAM>(this));
  hwnd_ = nullptr;
  return result == IDOK ? IDOK : IDCANCEL;
}

INT_PTR Dialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return OnInitDialog();
    case WM_COMMAND: return OnCommand(LOWORD(wParam), HIWORD(wParam));
    default: return FALSE;
  }
}

INT_PTR Dialog::OnCommand(int id, int) {
  switch (id) {
    case IDOK: OnOk(); return TRUE;
    case IDCANCEL: OnCancel(); return TRUE;
    default: return FALSE;
  }
}

std::string Dialog::ControlText(int id) const {
  const HWND control = Control(id);
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(control)) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(control, &text[0], static_cast<int>(text.size()))));
  return text;
}

void Dialog::SetControlText(int id, const std::string& text) { SetDlgItemTextA(hwnd_, id, text.c_str()); }

INT_PTR CALLBACK Dialog::DialogProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  // Messages before WM_INITDIALOG (WM_SETFONT) find no object yet.
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<Dialog*>(lParam);
    dialog->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
  }
  auto* dialog = reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  if (!dialog) return FALSE;
  // No exception may cross into the dialog manager and the host's stack.
  try {
    return dialog->HandleMessage(message, wParam, lParam);
  } catch (...) {
    return FALSE;
  }
}

}  // namespace dravlin
