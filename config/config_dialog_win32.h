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

  void OnTreeDoubleClick();
  void OnEdit();
  void OnRemove();
  void CreateEntry(ConfigTree::Item parent);
  void CreateFolder(ConfigTree::Item parent);
  void EditFolder(ConfigTree::Item folder);
  void EditEntry(ConfigTree::Item entry);
  // The selection when Edit and Remove may act on it; otherwise says so and
  // returns 0.
  ConfigTree::Item EditableSelection();

  // Fills the dialog from the file, which must have been read exactly.
  void LoadTree(const ProfileFile& file);
  // Ends the dialog before it shows, saying why the file is left alone.
  void RefuseFile(const ProfileFile& file);
  // Writes the tree into the file, read afresh, and commits it; false when it
  // could not be replaced.
  bool SaveTree(ProfileFile& file);
  std::string MenuFilePath() const;
  int ShowMessage(const std::string& text, UINT type);

  EntryTable entries_;
  std::optional<ProfileFile> saved_;
  std::string settingsDirectory_;
  ConfigTreeView tree_;
};

}  // namespace dravlin
