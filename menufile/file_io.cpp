#include "menufile/file_io.h"

#include <cerrno>
#include <cstdio>
#include <memory>

namespace dravlin {

FileReadStatus ReadWholeFile(const std::string& path, std::string& contents) {
  contents.clear();
  errno = 0;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                             &std::fclose);
  if (!file) return errno == ENOENT ? FileReadStatus::kMissing : FileReadStatus::kFailed;
  char buffer[16 * 1024];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
    if (contents.size() + got > kMaxProfileFileBytes) {
      contents.clear();
      return FileReadStatus::kFailed;
    }
    contents.append(buffer, got);
  }
  if (std::ferror(file.get())) {
    contents.clear();
    return FileReadStatus::kFailed;
  }
  return FileReadStatus::kRead;
}

}  // namespace dravlin
