#include "config/config_dialog_win32.h"

#include <commctrl.h>
#include <windowsx.h>

#include "config/property_dialogs_win32.h"
#include "menufile/file_io.h"
#include "menufile/menu_definition.h"
#include "menufile/profile_file.h"
#include "res/resource.h"
#include "win/handles.h"

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

// The tree's shortcut menu, as TrackPopupMenu returns its choice.
enum ShortcutCommand : UINT { kNewEntry = 1, kNewFolder, kEditCommand, kRemoveCommand, kCutCommand, kPasteCommand };

// Keys whose scan code needs the extended bit to be named apart from their twin.
bool IsExtendedKey(int key) {
  switch (key) {
    case VK_INSERT: case VK_DELETE: case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
    case VK_LEFT: case VK_UP: case VK_RIGHT: case VK_DOWN: case VK_RCONTROL: case VK_RMENU:
    case VK_LWIN: case VK_RWIN: case VK_APPS: case VK_DIVIDE: case VK_NUMLOCK: case VK_SNAPSHOT:
      return true;
    default:
      return false;
  }
}

// The keyboard's name of a virtual key, such as "F12"; its number when it has none.
std::string KeyName(int key) {
  if (key == 0) return "none";
  const UINT scan = MapVirtualKeyA(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
  const LONG keyData = static_cast<LONG>(scan << 16) | (IsExtendedKey(key) ? 1L << 24 : 0);
  char name[64] = "";
  if (scan != 0 && GetKeyNameTextA(keyData, name, sizeof name) > 0) return name;
  return std::to_string(key);
}

POINT PointOf(LPARAM position) { return {GET_X_LPARAM(position), GET_Y_LPARAM(position)}; }

}  // namespace

ConfigDialog::ConfigDialog() : Dialog(IDD_CONFIGURE) {}

void ConfigDialog::AddPlaceholders(ConfigTree::Item folder) { dravlin::AddPlaceholders(tree_, folder); }

void ConfigDialog::SortChildren(ConfigTree::Item folder) { tree_.SortChildren(folder); }

INT_PTR ConfigDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NOTIFY: return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wParam) != tree_.Handle()) return FALSE;
      OnContextMenu(PointOf(lParam));
      return TRUE;
    case WM_MOUSEMOVE: OnMouseMove(PointOf(lParam)); return TRUE;
    case WM_LBUTTONUP: OnLButtonUp(PointOf(lParam)); return TRUE;
    case WM_CAPTURECHANGED: OnCaptureChanged(); return TRUE;
    default: return Dialog::HandleMessage(message, wParam, lParam);
  }
}

BOOL ConfigDialog::OnInitDialog() {
  tree_ = ConfigTreeView(Control(IDC_MENU_TREE));
  const ProfileFile& file = opened_.emplace(MenuFilePath());
  if (!file.Exact()) {
    RefuseFile(file);
    return TRUE;
  }
  LoadTree(file);
  // A keyboard user starts in the tree, on its root.
  tree_.Select(tree_.Root());
  SetFocus(tree_.Handle());
  return FALSE;
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
    case IDOK:
      // A tree in a dialog does not take Enter: the dialog manager turns it
      // into OK, with the focus still on the tree.
      if (GetFocus() != tree_.Handle()) break;
      OnTreeEnter();
      return TRUE;
    case IDCANCEL:
      // Escape during a drag ends the drag, not the dialog.
      if (dragged_ == 0) break;
      EndDrag();
      return TRUE;
    case IDC_EDIT_ITEM: OnEdit(); return TRUE;
    case IDC_REMOVE_ITEM: OnRemove(); return TRUE;
    case IDC_RIGHT_CTRL:
    case IDC_RIGHT_SHIFT:
    case IDC_INSERT_KEY:
      if (notifyCode == BN_CLICKED) OnKeyChosen();
      return TRUE;
    default: break;
  }
  return Dialog::OnCommand(id, notifyCode);
}

INT_PTR ConfigDialog::OnNotify(const NMHDR& header) {
  if (header.idFrom != IDC_MENU_TREE) return FALSE;
  LRESULT result = 0;
  switch (header.code) {
    case NM_DBLCLK:
      // 0 lets the tree view go on: a double-click on a folder toggles it.
      OnTreeDoubleClick();
      break;
    case NM_RCLICK: {
      // Nonzero: the menu is shown here, not again by WM_CONTEXTMENU.
      const DWORD position = GetMessagePos();
      OnContextMenu({GET_X_LPARAM(position), GET_Y_LPARAM(position)});
      result = 1;
      break;
    }
    case TVN_KEYDOWN:
      // Nonzero keeps a handled key out of the tree's search by typed letters.
      result = OnTreeKeyDown(reinterpret_cast<const NMTVKEYDOWN&>(header).wVKey);
      break;
    case TVN_BEGINDRAGA:
    case TVN_BEGINDRAGW:
      OnBeginDrag(reinterpret_cast<const NMTREEVIEWA&>(header).itemNew.hItem);
      break;
    default: return FALSE;
  }
  SetWindowLongPtrA(Handle(), DWLP_MSGRESULT, result);
  return TRUE;
}

void ConfigDialog::OnContextMenu(POINT at) {
  if (at.x == -1 && at.y == -1) {
    // From the keyboard: below the selected item's caption.
    RECT caption;
    if (tree_.CaptionRect(tree_.Selected(), caption)) {
      at = {caption.left, caption.bottom};
    } else {
      at = {0, 0};
      ClientToScreen(tree_.Handle(), &at);
    }
  } else {
    // A right-click acts on the item under the pointer, as in every tree.
    POINT client = at;
    ScreenToClient(tree_.Handle(), &client);
    if (const ConfigTree::Item item = tree_.ItemAt(client)) tree_.Select(item);
  }
  ShowShortcutMenu(at);
}

void ConfigDialog::ShowShortcutMenu(POINT at) {
  const ConfigTree::Item selected = tree_.Selected();
  const ConfigTree::Item folder = DestinationFolder(tree_, selected);
  const bool editable = IsEditable(tree_, selected);
  struct Line {
    UINT command;
    const char* text;  // none for a separator
    bool enabled;
  };
  const Line lines[] = {
      {kNewEntry, "New &entry\tIns", true},
      {kNewFolder, "New &folder", true},
      {0, nullptr, true},
      {kEditCommand, "&Edit\tF2", editable},
      {kRemoveCommand, "&Remove\tDel", editable},
      {0, nullptr, true},
      {kCutCommand, "Cu&t\tCtrl+X", editable},
      {kPasteCommand, "&Paste\tCtrl+V", CanMoveInto(tree_, cut_, folder)},
  };
  const MenuHandle menu(CreatePopupMenu());
  for (const Line& line : lines) {
    const UINT flags = line.text ? MF_STRING | (line.enabled ? MF_ENABLED : MF_GRAYED) : MF_SEPARATOR;
    AppendMenuA(menu.Get(), flags, line.command, line.text);
  }
  const UINT command = static_cast<UINT>(
      TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, Handle(), nullptr));
  switch (command) {
    case kNewEntry: CreateEntry(folder); break;
    case kNewFolder: CreateFolder(folder); break;
    case kEditCommand: OnEdit(); break;
    case kRemoveCommand: OnRemove(); break;
    case kCutCommand: OnCut(); break;
    case kPasteCommand: OnPaste(); break;
    default: break;
  }
}

bool ConfigDialog::OnTreeKeyDown(WORD key) {
  const bool control = GetKeyState(VK_CONTROL) < 0;
  switch (key) {
    // Windows reports F10 as a system key, whose default handling turns
    // Shift+F10 into WM_CONTEXTMENU; Wine reports it here, as a plain key.
    case VK_F10:
      if (GetKeyState(VK_SHIFT) >= 0) return false;
      OnContextMenu({-1, -1});
      return true;
    case VK_F2: OnEdit(); return true;
    case VK_DELETE: OnRemove(); return true;
    case VK_INSERT: CreateEntry(DestinationFolder(tree_, tree_.Selected())); return true;
    case 'X':
      if (control) OnCut();
      return control;
    case 'V':
      if (control) OnPaste();
      return control;
    default: return false;
  }
}

void ConfigDialog::OnTreeEnter() {
  const ConfigTree::Item selected = tree_.Selected();
  if (selected != 0 && selected == tree_.Root()) {
    tree_.Toggle(selected);
  } else if (IsEditable(tree_, selected) && tree_.HasChildren(selected)) {
    EditFolder(selected);
  } else {
    OnTreeDoubleClick();
  }
}

void ConfigDialog::OnKeyChosen() {
  // A disabled choice is not unchecked by its group, so the stored key's goes here.
  CheckDlgButton(Handle(), IDC_OTHER_KEY, BST_UNCHECKED);
}

void ConfigDialog::OnCut() {
  const ConfigTree::Item selected = EditableSelection();
  if (selected == 0) return;
  tree_.MarkCut(cut_, false);
  cut_ = selected;
  tree_.MarkCut(cut_, true);
}

void ConfigDialog::OnPaste() {
  MoveInto(cut_, DestinationFolder(tree_, tree_.Selected()));
}

void ConfigDialog::OnBeginDrag(HTREEITEM handle) {
  const ConfigTree::Item item = tree_.ItemOf(handle);
  if (!IsEditable(tree_, item)) return;
  dragged_ = item;
  tree_.Select(item);
  SetCapture(Handle());
  // The pointer has already left the item: show at once where it would drop.
  POINT pointer;
  GetCursorPos(&pointer);
  ScreenToClient(Handle(), &pointer);
  OnMouseMove(pointer);
}

ConfigTree::Item ConfigDialog::DropFolderAt(POINT point) const {
  MapWindowPoints(Handle(), tree_.Handle(), &point, 1);
  const ConfigTree::Item target = tree_.ItemAt(point);
  if (target == 0) return 0;
  const ConfigTree::Item folder = DestinationFolder(tree_, target);
  return CanMoveInto(tree_, dragged_, folder) ? folder : 0;
}

void ConfigDialog::OnMouseMove(POINT point) {
  if (dragged_ == 0) return;
  const ConfigTree::Item folder = DropFolderAt(point);
  tree_.SetDropTarget(folder);
  SetCursor(LoadCursor(nullptr, folder != 0 ? IDC_ARROW : IDC_NO));
}

void ConfigDialog::OnLButtonUp(POINT point) {
  if (dragged_ == 0) return;
  const ConfigTree::Item item = dragged_;
  const ConfigTree::Item folder = DropFolderAt(point);
  EndDrag();
  if (folder != 0) MoveInto(item, folder);
}

void ConfigDialog::OnCaptureChanged() {
  if (dragged_ != 0) EndDrag();
}

void ConfigDialog::EndDrag() {
  // Cleared first: releasing the capture comes back as WM_CAPTURECHANGED.
  dragged_ = 0;
  tree_.SetDropTarget(0);
  if (GetCapture() == Handle()) ReleaseCapture();
}

void ConfigDialog::MoveInto(ConfigTree::Item item, ConfigTree::Item folder) {
  const ConfigTree::Item moved = MoveItem(tree_, entries_, item, folder);
  if (moved == 0) {
    MessageBeep(MB_OK);
    return;
  }
  // A move may have taken the cut item along under a new number; either way
  // the cut is over.
  tree_.MarkCut(cut_, false);
  cut_ = 0;
  tree_.Select(moved);
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
  // Read again, for what another program may have written meanwhile. A
  // second OK, after a save that failed, reads the file afresh.
  std::optional<ProfileFile> opened = std::exchange(opened_, std::nullopt);
  ProfileFile file = opened ? std::move(*opened).Reread() : ProfileFile(MenuFilePath());
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
  ShowTriggerKey(menu.triggerKey);
  LoadConfigTree(menu, tree_, entries_);
}

void ConfigDialog::ShowTriggerKey(int key) {
  storedTriggerKey_ = key;
  const TriggerKeyChoice choice = ChoiceForTriggerKey(key);
  for (const KeyButton& button : kKeyButtons)
    if (button.choice == choice) CheckDlgButton(Handle(), button.button, BST_CHECKED);
  if (choice != TriggerKeyChoice::kNone) {
    ShowWindow(Control(IDC_OTHER_KEY), SW_HIDE);
    return;
  }
  SetControlText(IDC_OTHER_KEY, "Other key (" + KeyName(key) + ")");
  CheckDlgButton(Handle(), IDC_OTHER_KEY, BST_CHECKED);
  // The checked choice holds the group's tab stop, and Tab passes over a
  // disabled one: the first choice takes it, so that Tab still reaches them.
  const HWND first = Control(IDC_RIGHT_CTRL);
  SetWindowLongPtrA(first, GWL_STYLE, GetWindowLongPtrA(first, GWL_STYLE) | WS_TABSTOP);
}

bool ConfigDialog::SaveTree(ProfileFile& file) {
  const auto checked = [this](int button) {
    return SendMessageA(Control(button), BM_GETCHECK, 0, 0) == BST_CHECKED;
  };
  SaveConfigTree(file,
                 TriggerKeyForChoices(checked(IDC_RIGHT_CTRL), checked(IDC_RIGHT_SHIFT),
                                      checked(IDC_INSERT_KEY), storedTriggerKey_),
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
