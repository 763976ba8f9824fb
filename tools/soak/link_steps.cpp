// Steps of the host client: what it sends on the link, and its start, stop
// and unload of the plug-in, a second copy of the module included.
#include <algorithm>

#include "hostlink/host_link.h"
#include "tests/wine/plugin_probe.h"
#include "tools/soak/soak.h"

namespace dravlin::soak {
namespace {

const std::string S(1, kWireSeparator);

// Cuts bytes into pieces at random places, so that the plug-in reads a
// message in parts.
std::vector<std::string> CutAt(const std::string& bytes, std::vector<std::size_t> cuts) {
  std::sort(cuts.begin(), cuts.end());
  std::vector<std::string> pieces;
  std::size_t from = 0;
  for (const std::size_t cut : cuts) {
    pieces.push_back(bytes.substr(from, cut - from));
    from = cut;
  }
  pieces.push_back(bytes.substr(from));
  return pieces;
}

}  // namespace

std::vector<std::string> Soak::DrawOpening(const PluginCopy& copy, std::string& description) {
  const std::string directory = EncodeWireMessage(kSettingsDirectoryCode, copy.settingsDirectory);
  const std::string start = EncodeWireMessage(kCodeStart, "");
  std::string bytes;
  switch (Draw(5)) {
    case 0: bytes = directory + start, description = "054, 001"; break;
    case 1: bytes = start + directory, description = "001, 054"; break;
    case 2: bytes = EncodeWireMessage(kSettingsDirectoryCode, "C:\\nowhere\\") + directory + start,
            description = "054 elsewhere, 054, 001"; break;
    case 3: bytes = directory, description = "054 alone"; break;
    default: bytes = start + start, description = "001 twice"; break;
  }
  std::vector<std::size_t> cuts(static_cast<std::size_t>(Draw(4)));
  for (std::size_t& cut : cuts) cut = static_cast<std::size_t>(Draw(static_cast<int>(bytes.size())));
  description += " in " + std::to_string(cuts.size() + 1) + " piece(s)";
  return CutAt(bytes, cuts);
}

void Soak::SendOpening(PluginCopy& copy) {
  std::string description;
  const std::vector<std::string> pieces = DrawOpening(copy, description);
  Announce(copy, description);
  SendInPieces(copy, pieces);
}

void Soak::SendHostileBytes(PluginCopy& copy) {
  std::vector<std::string> pieces;
  std::string description;
  for (int count = 1 + Draw(3); count > 0; --count) {
    std::string piece;
    switch (Draw(6)) {
      case 0: {
        // Separators, digits and zero bytes come often enough to make messages.
        static const char kOften[] = {kWireSeparator, '0', '1', '5', '4', ' ', '\0'};
        piece.resize(static_cast<std::size_t>(1 + Draw(2048)));
        for (char& c : piece) c = Chance(40) ? kOften[Draw(7)] : static_cast<char>(Draw(256));
        description += std::to_string(piece.size()) + " random bytes; ";
        break;
      }
      case 1:
        piece = EncodeWireMessage(kSettingsDirectoryCode, copy.settingsDirectory) + std::string(1, '\0') +
                "C:\\after\\the\\zero\\";
        description += "054 with a zero byte; ";
        break;
      case 2:
        pieces.push_back(S + "0");
        piece = "01 ";
        description += "001 cut after its first digit; ";
        break;
      case 3:
        piece = EncodeWireMessage(kFirstHostValueCode + Draw(5), std::string(70 * 1024 + Draw(40000), 'v'));
        description += "a host value over 70 KB; ";
        break;
      case 4:
        piece = S + "999 unknown" + S + "abc" + S + S + "5" + S + "00";
        description += "unknown and broken codes; ";
        break;
      default:
        piece = std::string(static_cast<std::size_t>(1 + Draw(50)), kWireSeparator) + std::string(3, '\0');
        description += "separators and zero bytes; ";
        break;
    }
    pieces.push_back(piece);
  }
  Announce(copy, description.substr(0, description.size() - 2));
  SendInPieces(copy, pieces);
}

void Soak::SendFlood(PluginCopy& copy) {
  Announce(copy, "host values leading nowhere, then the settings directory");
  std::string flood;
  for (int i = 0; flood.size() < 1024 * 1024; ++i)
    flood += EncodeWireMessage(kFirstHostValueCode + i % 5, "C:\\nowhere\\" + std::to_string(i) + "\\");
  SendBytes(copy, flood + EncodeWireMessage(kSettingsDirectoryCode, copy.settingsDirectory));
}

void Soak::CloseLink(PluginCopy& copy) {
  Announce(copy, "");
  copy.host->CloseConnection();
  copy.running = false;
}

void Soak::Restart(PluginCopy& copy) {
  std::string description;
  const std::vector<std::string> pieces = DrawOpening(copy, description);
  Announce(copy, "then " + description);
  StartCopy(copy);
  SendInPieces(copy, pieces);
}

void Soak::InitWhileRunning(PluginCopy& copy) {
  std::string description;
  const std::vector<std::string> pieces = DrawOpening(copy, description);
  Announce(copy, "then " + description);
  const std::size_t earlier = copy.host->Connections().size() - 1;
  StartCopy(copy);
  if (!WaitFor([&] { return copy.host->Connections()[earlier].closedByPlugin; }, 10000))
    Fail("the earlier plug-in window kept its link");
  SendInPieces(copy, pieces);
}

// Right after a loop of the plug-in the unload completes once the host's
// message loop runs again: the module kept a reference over the loop.
void Soak::ExpectUnloaded(const std::string& modulePath) {
  if (!WaitFor([&] { return !GetModuleHandleA(modulePath.c_str()); }, 5000))
    Fail("the module stayed loaded after FreeLibrary and the messages that followed");
}

void Soak::UnloadAndLoad(PluginCopy& copy) {
  const bool start = copy.running || Chance(50);
  Announce(copy, start ? "then zanInit" : "and no zanInit");
  copy.host->UnloadPlugin();
  copy.running = false;
  ExpectUnloaded(copy.modulePath);
  if (!PluginWindowsOf(copy).empty()) Fail("a plug-in window outlived its module");
  if (!copy.host->LoadPlugin(copy.modulePath)) Fail("LoadLibrary failed for " + copy.modulePath);
  if (start) StartCopy(copy);
}

void Soak::LoadSecondCopy(PluginCopy&) {
  auto second = std::make_unique<PluginCopy>();
  second->number = 2;
  second->modulePath = workDirectory_ + "dravlin-second.dll";
  second->settingsDirectory = workDirectory_ + "second\\";
  CreateDirectoryA(second->settingsDirectory.c_str(), nullptr);
  second->host = std::make_unique<HostSimulator>(second->settingsDirectory, false);
  WriteMenuFile(*second, RandomMenuFile(random_));
  std::string description;
  const std::vector<std::string> pieces = DrawOpening(*second, description);
  Announce(*second, "dravlin-second.dll with a host window of its own, then " + description);
  if (!CopyFileA(PluginPath().c_str(), second->modulePath.c_str(), FALSE)) Fail("the module could not be copied");
  if (!second->host->Create(GetModuleHandleA(nullptr), SW_SHOWNORMAL)) Fail("the second host window could not be made");
  copies_.push_back(std::move(second));
  LoadAndStart(*copies_.back());
  SendInPieces(*copies_.back(), pieces);
}

void Soak::UnloadSecondCopy(PluginCopy& second) {
  Announce(second, second.running ? "while it runs" : "");
  second.host->UnloadPlugin();
  ExpectUnloaded(second.modulePath);
  copies_.pop_back();
}

}  // namespace dravlin::soak
