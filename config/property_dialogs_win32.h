// The folder and entry property dialogs: each names a new tree item under a
// folder, or edits an existing one, straight in the configuration tree.
#pragma once

#include <string>

#include "config/config_tree_win32.h"
#include "win/dialog.h"

namespace dravlin {

class FolderDialog : public Dialog {
 public:
  explicit FolderDialog(ConfigTreeView& tree);

  // New mode: OK inserts a folder as the last child of parent and selects it.
  void SetUpNew(ConfigTree::Item parent);
  // Edit mode: OK renames the folder item.
  void SetUpEdit(ConfigTree::Item item);

 private:
  BOOL OnInitDialog() override;
  void OnOk() override;

  ConfigTreeView& tree_;
  ConfigTree::Item parent_ = 0;
  ConfigTree::Item item_ = 0;
  bool isNew_ = true;
};

class EntryDialog : public Dialog {
 public:
  // command and kind are the caller's: read when the dialog opens in edit
  // mode, kind set at every kind click, command set on OK.
  EntryDialog(ConfigTreeView& tree, std::string& command, int& kind);

  // New mode: OK inserts an entry as the last child of parent and selects it.
  void SetUpNew(ConfigTree::Item parent);
  // Edit mode: OK renames the entry item.
  void SetUpEdit(ConfigTree::Item item);

 private:
  BOOL OnInitDialog() override;
  INT_PTR OnCommand(int id, int notifyCode) override;
  void OnOk() override;
  void OnKindClicked(int button);

  ConfigTreeView& tree_;
  std::string& command_;
  int& kind_;
  ConfigTree::Item parent_ = 0;
  ConfigTree::Item item_ = 0;
  bool isNew_ = true;
};

}  // namespace dravlin
