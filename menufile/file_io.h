// The file system side of the menu definition file: whole-file reads and
// replacements, so that the text layer stays a pure function of the bytes.
#pragma once

#include <cstddef>
#include <string>

namespace dravlin {

// Larger files are refused rather than loaded into the host's address space;
// a menu at the command-id limit takes a few megabytes.
constexpr std::size_t kMaxProfileFileBytes = 32 * 1024 * 1024;

enum class FileReadStatus { kRead, kMissing, kFailed };

// Reads the whole file. kMissing when neither it nor its directory exists;
// kFailed when it exists but cannot be read or is larger than the limit.
FileReadStatus ReadWholeFile(const std::string& path, std::string& contents);

// Writes contents to a new file beside path and moves it over path, so that
// path holds either its old bytes or all of the new ones. Returns false, and
// leaves no new file behind, when either step fails.
bool ReplaceFileContents(const std::string& path, const std::string& contents);

// The path the platform's profile functions use for a name: a bare file name,
// without directory or drive, is looked for in the Windows directory.
std::string ResolveProfilePath(const std::string& path);

}  // namespace dravlin
