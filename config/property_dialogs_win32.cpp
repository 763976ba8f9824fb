#include "config/property_dialogs_win32.h"

#include "res/resource.h"

namespace dravlin {
namespace {

// The entry kinds in the order of their radio buttons. Kind values and control
// ids overlap (13011 is an e-mail kind and the "Web site" button) but never mix.
struct KindChoice {
  int button;
  int kind;
  const char* label;
};
constexpr KindChoice kKindChoices[] = {
    {IDC_KIND_COMMAND, kNormalCommandKind, "Command:"},
    {IDC_KIND_WEB_SITE, kWebSiteKind, "URL:"},
    {IDC_KIND_EMAIL, kEmailAddressKind, "E-mail:"},
};

// Inserts the named item under parent and makes it the selection, as the
// caller expects to find it after OK.
void InsertSelected(ConfigTreeView& tree, ConfigTree::Item parent, const std::string& name) {
  tree.Select(tree.InsertLast(parent, name));
}

}  // namespace

FolderDialog::FolderDialog(ConfigTreeView& tree) : Dialog(IDD_FOLDER), tree_(tree) {}

void FolderDialog::SetUpNew(ConfigTree::Item parent) {
  parent_ = parent;
  isNew_ = true;
}

void FolderDialog::SetUpEdit(ConfigTree::Item item) {
  item_ = item;
  isNew_ = false;
}

BOOL FolderDialog::OnInitDialog() {
  if (!isNew_) SetControlText(IDC_NAME, tree_.Caption(item_));
  SetFocus(Control(IDC_NAME));
  return FALSE;
}

void FolderDialog::OnOk() {
  const std::string name = ControlText(IDC_NAME);
  if (isNew_) {
    InsertSelected(tree_, parent_, name);
  } else {
    tree_.SetCaption(item_, name);
  }
  Dialog::OnOk();
}

EntryDialog::EntryDialog(ConfigTreeView& tree, std::string& command, int& kind)
    : Dialog(IDD_ENTRY), tree_(tree), command_(command), kind_(kind) {}

void EntryDialog::SetUpNew(ConfigTree::Item parent) {
  parent_ = parent;
  isNew_ = true;
}

void EntryDialog::SetUpEdit(ConfigTree::Item item) {
  item_ = item;
  isNew_ = false;
}

BOOL EntryDialog::OnInitDialog() {
  if (isNew_) {
    kind_ = kNormalCommandKind;
  } else {
    SetControlText(IDC_NAME, tree_.Caption(item_));
    SetControlText(IDC_COMMAND, command_);
    if (kind_ == 0) kind_ = kNormalCommandKind;
  }
  // BM_SETCHECK sends no click, so the label keeps its template text until
  // the user picks a kind; an unknown kind checks nothing and is kept.
  for (const KindChoice& choice : kKindChoices)
    if (choice.kind == kind_) SendMessageA(Control(choice.button), BM_SETCHECK, BST_CHECKED, 0);
  SetFocus(Control(IDC_NAME));
  return FALSE;
}

INT_PTR EntryDialog::OnCommand(int id, int notifyCode) {
  switch (id) {
    case IDC_KIND_COMMAND:
    case IDC_KIND_WEB_SITE:
    case IDC_KIND_EMAIL:
      if (notifyCode != BN_CLICKED) return FALSE;
      OnKindClicked(id);
      return TRUE;
    default: return Dialog::OnCommand(id, notifyCode);
  }
}

void EntryDialog::OnKindClicked(int button) {
  for (const KindChoice& choice : kKindChoices) {
    if (choice.button != button) continue;
    SetControlText(IDC_COMMAND_LABEL, choice.label);
    kind_ = choice.kind;
  }
  SetFocus(Control(IDC_NAME));
}

void EntryDialog::OnOk() {
  command_ = ControlText(IDC_COMMAND);
  const std::string name = ControlText(IDC_NAME);
  if (isNew_) {
    InsertSelected(tree_, parent_, name);
  } else {
    tree_.SetCaption(item_, name);
  }
  Dialog::OnOk();
}

}  // namespace dravlin
