// Base of every modal dialog of the plug-in: one static dialog procedure finds
// the object and hands each message to its HandleMessage switch.
#pragma once

#include <windows.h>

#include <string>

namespace dravlin {

class Dialog {
 public:
  explicit Dialog(int templateId) : templateId_(templateId) {}
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;
  virtual ~Dialog() = default;

  // Runs the dialog from the module's template, modal to owner. Returns IDOK
  // or IDCANCEL; IDCANCEL also when the dialog could not be created.
  INT_PTR RunModal(HWND owner);

  HWND Handle() const { return hwnd_; }

 protected:
  // The message table: a switch over the messages the dialog handles. FALSE
  // leaves a message to the dialog manager.
  virtual INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // Fills the controls. TRUE lets the dialog manager focus the first tab stop;
  // FALSE says the handler has set the focus itself.
  virtual BOOL OnInitDialog() { return TRUE; }

  // A WM_COMMAND from control id; the base handles OK and Cancel.
  virtual INT_PTR OnCommand(int id, int notifyCode);

  // OK and Cancel (Escape and the close box included) close the dialog.
  virtual void OnOk() { EndDialog(hwnd_, IDOK); }
  virtual void OnCancel() { EndDialog(hwnd_, IDCANCEL); }

  HWND Control(int id) const { return GetDlgItem(hwnd_, id); }
  // A control's whole text, and setting it.
  std::string ControlText(int id) const;
  void SetControlText(int id, const std::string& text);

 private:
  static INT_PTR CALLBACK DialogProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  int templateId_;
  HWND hwnd_ = nullptr;
};

}  // namespace dravlin
