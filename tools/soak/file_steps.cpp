// Steps of other programs on the menu file: written over, replaced, deleted,
// or held open without sharing while the plug-in reads or saves it.
#include <fstream>
#include <memory>

#include "hostlink/host_link.h"
#include "tests/wine/menu_watcher.h"
#include "tests/wine/plugin_probe.h"
#include "tools/soak/soak.h"

namespace dravlin::soak {
namespace {

std::string Describe(const std::string& menu) {
  const bool utf16 = menu.compare(0, 2, "\xFF\xFE") == 0;
  return std::to_string(menu.size()) + " bytes" + (utf16 ? " in UTF-16" : "");
}

// The menu file opened without sharing, as another program may hold it.
class HeldFile {
 public:
  explicit HeldFile(const std::string& path)
      : handle_(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
  ~HeldFile() { Release(); }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }
  void Release() {
    if (Held()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

}  // namespace

void Soak::RewriteMenuFile(PluginCopy& copy) {
  const std::string menu = RandomMenuFile(random_);
  Announce(copy, Describe(menu) + " written in place");
  WriteMenuFile(copy, menu);
}

void Soak::ReplaceMenuFile(PluginCopy& copy) {
  const std::string menu = RandomMenuFile(random_);
  Announce(copy, Describe(menu) + " moved over it");
  const std::string temporary = copy.MenuPath() + ".soak";
  std::ofstream(temporary, std::ios::binary | std::ios::trunc) << menu;
  if (!MoveFileExA(temporary.c_str(), copy.MenuPath().c_str(), MOVEFILE_REPLACE_EXISTING))
    Fail("the new menu file could not be moved over the old one");
  copy.menuFile = menu;
  copy.menuFileExists = true;
}

void Soak::DeleteMenuFile(PluginCopy& copy) {
  Announce(copy, copy.menuFileExists ? "" : "(there is none)");
  DeleteFileA(copy.MenuPath().c_str());
  copy.menuFile.clear();
  copy.menuFileExists = false;
}

void Soak::HoldMenuFile(PluginCopy& copy) {
  // A file written here is not the one the running menu was read from.
  const bool readByTheMenu = copy.menuFileExists;
  if (!copy.menuFileExists) WriteMenuFile(copy, RandomMenuFile(random_));
  // Saving needs a dialog that shows the file, and a look at the menu a trigger key.
  std::vector<void (Soak::*)(PluginCopy&)> variants = {&Soak::OpenDialogOnHeldFile};
  if (AnsiHoldsEveryCharacter(copy.menuFile)) variants.push_back(&Soak::SaveOverHeldFile);
  if (readByTheMenu && HasTrigger(copy)) variants.push_back(&Soak::RebuildFromHeldFile);
  (this->*variants[static_cast<std::size_t>(Draw(static_cast<int>(variants.size())))])(copy);
}

void Soak::OpenDialogOnHeldFile(PluginCopy& copy) {
  Announce(copy, "zanConf while it is held");
  HeldFile held(copy.MenuPath());
  if (!held.Held()) Fail("the menu file could not be held");
  std::string told;
  const Steps steps({{[] { return ShownDialog(kConfigTitle) || ShownDialog(kMessageTitle); }, [&] {
                        if (const HWND box = ShownDialog(kMessageTitle)) {
                          told = Text(box, kMessageTextId);
                          return Click(box, IDOK);
                        }
                        Click(ShownDialog(kConfigTitle), IDCANCEL);
                      }}});
  copy.host->CallConfigure();
  if (told.find("could not be read") == std::string::npos)
    Fail("the dialog opened on a menu file it could not read (\"" + told + "\")");
}

void Soak::SaveOverHeldFile(PluginCopy& copy) {
  const int key = ShapeOf(copy).triggerKey == VK_INSERT ? VK_RCONTROL : VK_INSERT;
  Announce(copy, "trigger key " + std::to_string(key) + ", held, OK, Cancel");
  std::unique_ptr<HeldFile> held;
  std::string told;
  const Steps steps({
      {InDialog(kConfigTitle), [&] {
         const HWND dialog = ShownDialog(kConfigTitle);
         Click(dialog, key == VK_INSERT ? IDC_INSERT_KEY : IDC_RIGHT_CTRL);
         held = std::make_unique<HeldFile>(copy.MenuPath());
         Click(dialog, IDOK);
       }},
      {InDialog(kMessageTitle), [&] {
         told = Text(ShownDialog(kMessageTitle), kMessageTextId);
         held.reset();
         Click(ShownDialog(kMessageTitle), IDOK);
       }},
      {InDialog(kConfigTitle), [] { Click(ShownDialog(kConfigTitle), IDCANCEL); }},
  });
  copy.host->CallConfigure();
  if (told.find("could not be saved") == std::string::npos)
    Fail("OK over a held menu file told \"" + told + "\"");
}

void Soak::RebuildFromHeldFile(PluginCopy& copy) {
  const ExpectedMenu menu = RunningMenu(copy);
  Announce(copy, "001 and the trigger key " + std::to_string(menu.triggerKey) + " while it is held");
  HeldFile held(copy.MenuPath());
  if (!held.Held()) Fail("the menu file could not be held");
  const std::string expected = copy.Received() + InformationLines();
  SendBytes(copy, EncodeWireMessage(kCodeStart, ""));
  if (!WaitFor([&] { return copy.Received() == expected; }, 30000)) Fail("no answer to 001 while the file is held");
  // The menu the user had, not an empty one.
  ExpectRootMenu(PressTrigger(copy, menu.triggerKey, [](int tick) {
                   if (tick == 1) SendKeys({VK_ESCAPE});
                 }),
                 menu);
}

}  // namespace dravlin::soak
