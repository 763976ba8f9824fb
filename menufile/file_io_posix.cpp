#include "menufile/file_io.h"

#include <unistd.h>

#include <cstdio>

namespace dravlin {
namespace {

bool WriteAndSync(const std::string& path, const std::string& contents) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(contents.data(), 1, contents.size(), file) == contents.size() &&
                       std::fflush(file) == 0 && fsync(fileno(file)) == 0;
  return std::fclose(file) == 0 && written;
}

}  // namespace

bool ReplaceFileContents(const std::string& path, const std::string& contents) {
  const std::string temporary = path + ".new";
  if (WriteAndSync(temporary, contents) && std::rename(temporary.c_str(), path.c_str()) == 0) {
    return true;
  }
  std::remove(temporary.c_str());
  return false;
}

std::string ResolveProfilePath(const std::string& path) { return path; }

// Without a system code page the ANSI code page is taken to be Latin-1, whose
// characters are the first 256 of UTF-16.
std::string ToAnsiCodePage(const std::u16string& text, bool& exact) {
  exact = true;
  std::string ansi;
  ansi.reserve(text.size());
  for (const char16_t c : text) {
    exact = exact && c < 0x100;
    ansi += c < 0x100 ? static_cast<char>(c) : '?';
  }
  return ansi;
}

std::u16string FromAnsiCodePage(const std::string& text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (const char c : text) wide += static_cast<char16_t>(static_cast<unsigned char>(c));
  return wide;
}

}  // namespace dravlin
