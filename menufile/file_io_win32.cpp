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

std::string ToAnsiCodePage(const std::u16string& text, bool& exact) {
  exact = true;
  if (text.empty()) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, length, &ansi[0], size, nullptr, nullptr);
  // The conversion puts look-alikes in place of characters the code page
  // lacks ("L" for "\u0141") and says nothing of it; only the way back tells.
  exact = FromAnsiCodePage(ansi) == text;
  return ansi;
}

std::u16string FromAnsiCodePage(const std::string& text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  std::u16string wide(static_cast<std::size_t>(size), u'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), length, reinterpret_cast<wchar_t*>(&wide[0]), size);
  return wide;
}

std::string ResolveProfilePath(const std::string& path) {
  if (!IsBareFileName(path)) return path;
  char directory[MAX_PATH];
  const UINT length = GetWindowsDirectoryA(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return path;
  return std::string(directory, length) + "\\" + path;
}

}  // namespace dravlin
