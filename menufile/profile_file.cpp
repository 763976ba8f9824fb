#include "menufile/profile_file.h"

#include <climits>
#include <string>
#include <utility>

namespace dravlin {

int ParseProfileNumber(const std::string& text) {
  std::size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) ++at;
  const bool negative = at < text.size() && text[at] == '-';
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
  // Accumulate towards the sign's limit so that INT_MIN itself is reachable.
  long long magnitude = 0;
  const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    magnitude = magnitude * 10 + (text[at] - '0');
    if (magnitude >= limit) return negative ? INT_MIN : INT_MAX;
  }
  return static_cast<int>(negative ? -magnitude : magnitude);
}

ProfileFile::ProfileFile(const std::string& path) : path_(ResolveProfilePath(path)) {
  std::string bytes;
  readable_ = ReadWholeFile(path_, bytes) != FileReadStatus::kFailed;
  Load(std::move(bytes));
}

ProfileFile::ProfileFile(std::string path, std::string contents) : path_(std::move(path)), readable_(true) {
  Load(std::move(contents));
}

void ProfileFile::Load(std::string bytes) {
  DecodedText decoded = DecodeProfileText(bytes);
  loadedBytes_ = std::move(bytes);
  encoding_ = decoded.encoding;
  exact_ = decoded.exact;
  document_ = IniDocument(decoded.text);
}

std::string ProfileFile::Read(const std::string& section, const std::string& key,
                              const std::string& defaultValue) const {
  return document_.Read(section, key, defaultValue);
}

int ProfileFile::ReadNumber(const std::string& section, const std::string& key,
                            int defaultValue) const {
  return ParseProfileNumber(Read(section, key, std::to_string(defaultValue)));
}

void ProfileFile::Write(const std::string& section, const std::string& key,
                        const std::string& value) {
  if (document_.Write(section, key, value)) changed_ = true;
}

void ProfileFile::WriteNumber(const std::string& section, const std::string& key, int value) {
  Write(section, key, std::to_string(value));
}

bool ProfileFile::Commit() {
  // A file that was not read, or not in full, would lose its contents.
  if (!Exact()) return false;
  if (!changed_) return true;
  if (!ReplaceFileContents(path_, EncodeProfileText(document_.Serialize(), encoding_))) return false;
  changed_ = false;
  loadedBytes_.reset();
  return true;
}

ProfileFile ProfileFile::Reread() && {
  std::string bytes;
  const bool readable = ReadWholeFile(path_, bytes) != FileReadStatus::kFailed;
  if (readable && readable_ && !changed_ && loadedBytes_ == bytes) return std::move(*this);
  ProfileFile fresh(path_, std::move(bytes));
  fresh.readable_ = readable;
  return fresh;
}

}  // namespace dravlin
