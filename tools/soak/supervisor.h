// The process that watches the soak: it runs the soak in a child process whose
// heaps check every block, relays what the child prints, and tells a crash or
// a hang from a failed check, naming the step and the seed either way.
#pragma once

#include <windows.h>

#include <string>

namespace dravlin::soak {

// Runs this program again with childArguments under a checking heap; returns
// the exit code to end with: 0 when the child found no fault.
int SuperviseSoak(const std::string& childArguments, unsigned seed);

// The heap flags this process was started with (its GlobalFlag), 0 without a
// checking heap.
DWORD GlobalFlagOfThisProcess();

// Whether this process runs under the checking heap the supervisor asks for.
bool HeapsCheckEveryBlock();

// What the soak prints, and the supervisor waits for, when it found no fault.
constexpr char kNoFaultLine[] = "no fault found";

}  // namespace dravlin::soak
