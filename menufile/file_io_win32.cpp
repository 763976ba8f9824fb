#include "menufile/file_io.h"

#include <windows.h>

#include <algorithm>

namespace dravlin {
namespace {

bool WriteWholeFile(const std::string& path, const std::string& contents) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const char* data = contents.data();
  std::size_t left = contents.size();
  bool written = true;
  while (written && left > 0) {
    DWORD done = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1 << 20));
    written = WriteFile(file, data, chunk, &done, nullptr) && done > 0;
    data += done;
    left -= done;
  }
  written = written && FlushFileBuffers(file);
  return CloseHandle(file) && written;
}

bool IsBareFileName(const std::string& path) {
  const bool hasDrive = path.size() >= 2 && path[1] == ':';
  return !path.empty() && !hasDrive && path.find_first_of("\\/") == std::string::npos;
}

}  // namespace

bool ReplaceFileContents(const std::string& path, const std::string& contents) {
  const std::string temporary = path + ".new";
  if (WriteWholeFile(temporary, contents) &&
      MoveFileExA(temporary.c_str(), path.c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  DeleteFileA(temporary.c_str());
  return false;
}

std::string ResolveProfilePath(const std::string& path) {
  if (!IsBareFileName(path)) return path;
  char directory[MAX_PATH];
  const UINT length = GetWindowsDirectoryA(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return path;
  return std::string(directory, length) + "\\" + path;
}

}  // namespace dravlin
