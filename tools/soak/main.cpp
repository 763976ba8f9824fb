// The soak of the plug-in: a host client and a user acting at random on the
// built dravlin.dll (beside this program) for a while, in a process whose
// heaps check every block.
//   dravlin_soak.exe [--duration 30m|90s|60] [--seed N]
// prints every step and ends with 0 when no fault was found; a fault prints
// the step, what went wrong and the seed, which reruns the same steps.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/soak/soak.h"
#include "tools/soak/supervisor.h"

namespace {

// Seconds, or a number followed by s, m or h.
bool ParseDuration(const std::string& text, DWORD& ms) {
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str(), &end, 10);
  const std::string unit = end;
  const unsigned long seconds = unit == "h" ? 3600 : unit == "m" ? 60 : unit.empty() || unit == "s" ? 1 : 0;
  ms = static_cast<DWORD>(value * seconds * 1000);
  return end != text.c_str() && seconds != 0;
}

int Usage() {
  std::fprintf(stderr, "usage: dravlin_soak [--duration 30m|90s|60] [--seed N]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  dravlin::soak::SoakOptions options;
  options.seed = GetTickCount() ^ GetCurrentProcessId();
  bool child = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--child") {
      child = true;
    } else if (argument == "--seed" && i + 1 < argc) {
      options.seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
    } else if (argument != "--duration" || i + 1 == argc || !ParseDuration(argv[++i], options.durationMs)) {
      return Usage();
    }
  }
  if (child) {
    std::printf("soak: heap checking (GlobalFlag) 0x%lX\n", dravlin::soak::GlobalFlagOfThisProcess());
    // Without it a write into freed memory would pass unseen.
    if (!dravlin::soak::HeapsCheckEveryBlock()) {
      std::printf("FAILED at the start\n  the soak runs without the checking heap it asked for\n");
      return 1;
    }
    return dravlin::soak::RunSoak(options);
  }
  return dravlin::soak::SuperviseSoak("--child --seed " + std::to_string(options.seed) + " --duration " +
                                          std::to_string(options.durationMs / 1000),
                                      options.seed);
}
