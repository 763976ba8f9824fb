#include "config/config_dialog_win32.h"

#include <commctrl.h>

#include "config/property_dialogs_win32.h"
#include "menufile/file_io.h"
#include "menufile/menu_definition.h"
#include "menufile/profile_file.h"
#include "res/resource.h"

namespace dravlin {
namespace {

const char kCaption[] = "Dravlin";
const char kMenuFileName[] = "dravlin.ini";

struct KeyButton {
  TriggerKeyChoice choice;
  int button;
};
constexpr KeyButton kKeyButtons[] = {
    {TriggerKeyChoice::kRightCtrl, IDC_RIGHT_CTRL},
    {TriggerKeyChoice::kRightShift, IDC_RIGHT_SHIFT},
    {TriggerKeyChoice::kInsert, IDC_INSERT_KEY},
};

}  // namespace

ConfigDialog::ConfigDialog() : Dialog(IDD_CONFIGURE) {}

void ConfigDialog::AddPlaceholders(ConfigTree::Item folder) { dravlin::AddPlaceholders(tree_, folder); }

void ConfigDialog::SortChildren(ConfigTree::Item folder) { tree_.SortChildren(folder); }

INT_PTR ConfigDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NOTIFY: return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    default: return Dialog::HandleMessage(message, wParam, lParam);
  }
}

BOOL ConfigDialog::OnInitDialog() {
  tree_ = ConfigTreeView(Control(IDC_MENU_TREE));
  const ProfileFile file(MenuFilePath());
  if (file.Exact()) LoadTree(file);
  else RefuseFile(file);
  return TRUE;
}

void ConfigDialog::RefuseFile(const ProfileFile& file) {
  // An empty tree shown in place of the menu would replace it on OK, and a
  // tree of look-alike characters would change every value it shows.
  const std::string text =
      file.Readable()
          ? "The menu in\n" + file.Path() +
                "\nholds characters that this system's code page cannot show, so the dialog could not "
                "save it without changing them.\n\nIt is left as it is; edit it with a text editor."
          : "The menu could not be read from\n" + file.Path() +
                "\n\nIt is left as it is; close any program that holds it and try again.";
  // The dialog is not on the screen yet; the box belongs to the host's window.
  MessageBoxA(GetWindow(Handle(), GW_OWNER), text.c_str(), kCaption, MB_OK | MB_ICONEXCLAMATION);
  EndDialog(Handle(), IDCANCEL);
}

INT_PTR ConfigDialog::OnCommand(int id, int notifyCode) {
  switch (id) {
    case IDC_EDIT_ITEM: OnEdit(); return TRUE;
    case IDC_REMOVE_ITEM: OnRemove(); return TRUE;
    default: return Dialog::OnCommand(id, notifyCode);
  }
}

INT_PTR ConfigDialog::OnNotify(const NMHDR& header) {
  if (header.idFrom != IDC_MENU_TREE || header.code != static_cast<UINT>(NM_DBLCLK)) return FALSE;
  OnTreeDoubleClick();
  // 0 lets the tree view go on: a double-click on a folder toggles it.
  SetWindowLongPtrA(Handle(), DWLP_MSGRESULT, 0);
  return TRUE;
}

void ConfigDialog::OnTreeDoubleClick() {
  // The first click of a double-click has selected the item; acting on the
  // selection rather than the pointer is what the user sees as the target.
  const ConfigTree::Item selected = tree_.Selected();
  if (selected != 0 && tree_.HasChildren(selected)) return;
  const std::intptr_t value = selected != 0 ? tree_.Value(selected) : 0;
  if (value == kNewItemValue) {
    CreateEntry(tree_.Parent(selected));
  } else if (value == kNewFolderValue) {
    CreateFolder(tree_.Parent(selected));
  } else {
    OnEdit();
  }
}

void ConfigDialog::CreateEntry(ConfigTree::Item parent) {
  std::string command;
  int kind = kNormalCommandKind;
  EntryDialog dialog(tree_, command, kind);
  dialog.SetUpNew(parent);
  if (dialog.RunModal(Handle()) != IDOK) return;
  entries_[tree_.Selected()] = {command, kind};
  SortChildren(parent);
}

void ConfigDialog::CreateFolder(ConfigTree::Item parent) {
  FolderDialog dialog(tree_);
  dialog.SetUpNew(parent);
  if (dialog.RunModal(Handle()) != IDOK) return;
  const ConfigTree::Item folder = tree_.Selected();
  AddPlaceholders(folder);
  SortChildren(parent);
  tree_.Expand(folder);
}

void ConfigDialog::OnEdit() {
  const ConfigTree::Item selected = EditableSelection();
  if (selected == 0) return;
  if (tree_.HasChildren(selected)) {
    EditFolder(selected);
  } else {
    EditEntry(selected);
  }
}

void ConfigDialog::EditFolder(ConfigTree::Item folder) {
  FolderDialog dialog(tree_);
  dialog.SetUpEdit(folder);
  if (dialog.RunModal(Handle()) == IDOK) SortChildren(tree_.Parent(folder));
}

void ConfigDialog::EditEntry(ConfigTree::Item entry) {
  // The dialog works on copies, so that Cancel leaves the row as it was.
  EntryRecord record = entries_[entry];
  EntryDialog dialog(tree_, record.command, record.kind);
  dialog.SetUpEdit(entry);
  if (dialog.RunModal(Handle()) != IDOK) return;
  entries_[entry] = record;
  SortChildren(tree_.Parent(entry));
}

void ConfigDialog::OnRemove() {
  const ConfigTree::Item selected = EditableSelection();
  if (selected == 0) return;
  const std::string question = "Delete \"" + tree_.Caption(selected) + "\"?";
  if (ShowMessage(question, MB_YESNO) == IDYES) tree_.Delete(selected);
}

ConfigTree::Item ConfigDialog::EditableSelection() {
  const ConfigTree::Item selected = tree_.Selected();
  if (IsEditable(tree_, selected)) return selected;
  ShowMessage("Select an item firts", MB_OK);
  return 0;
}

void ConfigDialog::OnOk() {
  ProfileFile file(MenuFilePath());
  if (!SaveTree(file)) {
    // The edits stay in the dialog, so that the user can try again or cancel.
    ShowMessage("The menu could not be saved to\n" + MenuFilePath(), MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  saved_ = std::move(file);
  Dialog::OnOk();
}

void ConfigDialog::LoadTree(const ProfileFile& file) {
  const MenuDefinition menu = ReadMenuDefinition(file);
  const TriggerKeyChoice choice = ChoiceForTriggerKey(menu.triggerKey);
  for (const KeyButton& key : kKeyButtons)
    if (key.choice == choice) SendMessageA(Control(key.button), BM_SETCHECK, BST_CHECKED, 0);
  LoadConfigTree(menu, tree_, entries_);
}

bool ConfigDialog::SaveTree(ProfileFile& file) {
  const auto checked = [this](int button) {
    return SendMessageA(Control(button), BM_GETCHECK, 0, 0) == BST_CHECKED;
  };
  SaveConfigTree(file,
                 TriggerKeyForChoices(checked(IDC_RIGHT_CTRL), checked(IDC_RIGHT_SHIFT),
                                      checked(IDC_INSERT_KEY)),
                 tree_, entries_);
  return file.Commit();
}

std::string ConfigDialog::MenuFilePath() const {
  return ResolveProfilePath(settingsDirectory_ + kMenuFileName);
}

int ConfigDialog::ShowMessage(const std::string& text, UINT type) {
  return MessageBoxA(Handle(), text.c_str(), kCaption, type);
}

}  // namespace dravlin
