// The finder's window: an edit box over a list of the entries whose captions
// hold what is typed, run as a modal loop of the plug-in, as the popup menu is.
#pragma once

#include <cstddef>
#include <vector>

#include "popup/finder.h"
#include "win/handles.h"
#include "win/window.h"

namespace dravlin {

// The lead bytes and upper case of the ANSI code page.
CodePageRules AnsiCodePageRules();

class FinderWindow : public Window {
 public:
  // The window shows the index's entries in font, with sizes for dpi; all
  // three outlive it.
  FinderWindow(const FinderIndex& index, HFONT font, int dpi);

  // Creates the window with its top left at `at` on the screen, moved onto
  // the monitor that holds that point, owned by owner, listing every entry
  // with the first selected; false when it could not be made.
  bool Open(HWND owner, POINT at);

  // Takes the thread's messages until an entry is chosen with Enter or a
  // double-click, whose command id it returns, or the window closes (0).
  unsigned RunUntilClosed();

  // Ends the loop without a choice; from anything the loop dispatches.
  void Close();

 private:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnPostDestroy() override;

  LRESULT OnCreate(WPARAM wParam, LPARAM lParam);
  LRESULT OnActivate(WPARAM wParam);
  LRESULT OnCommand(WPARAM wParam, LPARAM lParam);
  LRESULT OnNotify(NMHDR* header);
  LRESULT OnCustomDraw(NMLVCUSTOMDRAW& request);
  // A key pressed in the edit box that the finder takes instead: the keys
  // that move the list's selection, Enter and Escape.
  bool OnEditKey(const MSG& message);
  void OnGetDisplayInfo(NMLVDISPINFOA& request);
  // Lists the entries that hold the edit box's text, the first selected.
  void Narrow();
  void Choose(int row);
  int ImageOf(int kind) const;

  const FinderIndex& index_;
  HFONT font_;
  int dpi_;
  HWND edit_ = nullptr;
  HWND list_ = nullptr;
  ImageListHandle images_;
  std::vector<std::size_t> rows_;  // positions in the index's entries
  bool done_ = false;
  unsigned chosen_ = 0;
};

}  // namespace dravlin
