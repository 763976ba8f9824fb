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

}  // namespace dravlin
