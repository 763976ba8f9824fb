// The configuration dialog: the menu as a tree of folders and entries with
// placeholder items for creating more, and the choice of the trigger key.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <utility>

#include "config/config_tree_win32.h"
#include "menufile/profile_file.h"
#include "win/dialog.h"

namespace dravlin {

class ConfigDialog : public Dialog {
 public:
  ConfigDialog();

  // The directory of the menu definition file; "dravlin.ini" is appended to
  // it as it stands.
  void SetSettingsDirectory(std::string directory) { settingsDirectory_ = std::move(directory); }

  // What OK saved, for the running menu to show; nothing after Cancel.
  std::optional<ProfileFile> TakeSaved() { return std::exchange(saved_, std::nullopt); }

  // Gives a folder item its two placeholder items.
  void AddPlaceholders(ConfigTree::Item folder);
  // Sorts a folder item's direct children.
  void SortChildren(ConfigTree::Item folder);

 private:
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnInitDialog() override;
  INT_PTR OnCommand(int id, int notifyCode) override;
  void OnOk() override;
  INT_PTR OnNotify(const NMHDR& header);
  // Right-click, Shift+F10 or the context-menu key in the tree; (-1, -1) from the keyboard.
  void OnContextMenu(POINT at);
  void OnMouseMove(POINT point);
  void OnLButtonUp(POINT point);
  void OnCaptureChanged();

  void OnTreeDoubleClick();
  // Enter in the tree: a folder opens its properties, the rest as a double-click.
  void OnTreeEnter();
  // F2, Delete, Insert, Ctrl+X, Ctrl+V and Shift+F10 in the tree; true when the key was one of them.
  bool OnTreeKeyDown(WORD key);
  void OnBeginDrag(HTREEITEM item);
  void OnKeyChosen();
  void OnEdit();
  void OnRemove();
  void OnCut();
  void OnPaste();
  // Runs the shortcut menu at a point of the screen.
  void ShowShortcutMenu(POINT at);
  // Where the drag would put the dragged item if it were dropped at a point
  // of the dialog; 0 when nowhere.
  ConfigTree::Item DropFolderAt(POINT point) const;
  void EndDrag();
  void MoveInto(ConfigTree::Item item, ConfigTree::Item folder);
  void CreateEntry(ConfigTree::Item parent);
  void CreateFolder(ConfigTree::Item parent);
  void EditFolder(ConfigTree::Item folder);
  void EditEntry(ConfigTree::Item entry);
  // The selection when Edit and Remove may act on it; otherwise says so and
  // returns 0.
  ConfigTree::Item EditableSelection();

  // Fills the dialog from the file, which must have been read exactly.
  void LoadTree(const ProfileFile& file);
  // Checks the choice of the stored trigger key; any other key shows as the
  // checked, disabled fourth choice, named.
  void ShowTriggerKey(int key);
  // Ends the dialog before it shows, saying why the file is left alone.
  void RefuseFile(const ProfileFile& file);
  // Writes the tree into the file, read afresh, and commits it; false when it
  // could not be replaced.
  bool SaveTree(ProfileFile& file);
  std::string MenuFilePath() const;
  int ShowMessage(const std::string& text, UINT type);

  EntryTable entries_;
  int storedTriggerKey_ = 0;       // kept by OK unless the user chooses another
  ConfigTree::Item cut_ = 0;       // what Paste moves
  ConfigTree::Item dragged_ = 0;   // what the mouse drags, 0 when no drag runs
  std::optional<ProfileFile> opened_;  // as read when the dialog opened
  std::optional<ProfileFile> saved_;
  std::string settingsDirectory_;
  ConfigTreeView tree_;
};

}  // namespace dravlin
