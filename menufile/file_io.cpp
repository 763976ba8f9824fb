#include "menufile/file_io.h"

#include <cerrno>
#include <cstdio>
#include <memory>

namespace dravlin {
namespace {

constexpr char kLittleEndianMark[] = "\xFF\xFE";
constexpr char kBigEndianMark[] = "\xFE\xFF";

TextEncoding EncodingOf(const std::string& bytes) {
  if (bytes.compare(0, 2, kLittleEndianMark) == 0) return TextEncoding::kUtf16LittleEndian;
  if (bytes.compare(0, 2, kBigEndianMark) == 0) return TextEncoding::kUtf16BigEndian;
  return TextEncoding::kAnsi;
}

}  // namespace

DecodedText DecodeProfileText(const std::string& bytes) {
  DecodedText decoded;
  decoded.encoding = EncodingOf(bytes);
  if (decoded.encoding == TextEncoding::kAnsi) {
    decoded.text = bytes;
    return decoded;
  }
  const bool bigEndian = decoded.encoding == TextEncoding::kUtf16BigEndian;
  std::u16string wide;
  wide.reserve(bytes.size() / 2);
  // A last odd byte is no character; the platform drops it too.
  for (std::size_t at = 2; at + 1 < bytes.size(); at += 2) {
    const auto first = static_cast<unsigned char>(bytes[at]);
    const auto second = static_cast<unsigned char>(bytes[at + 1]);
    wide.push_back(static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first));
  }
  decoded.text = ToAnsiCodePage(wide, decoded.exact);
  return decoded;
}

std::string EncodeProfileText(const std::string& text, TextEncoding encoding) {
  if (encoding == TextEncoding::kAnsi) return text;
  return EncodeUtf16Text(FromAnsiCodePage(text), encoding);
}

std::string EncodeUtf16Text(const std::u16string& text, TextEncoding encoding) {
  const bool bigEndian = encoding == TextEncoding::kUtf16BigEndian;
  std::string bytes = bigEndian ? kBigEndianMark : kLittleEndianMark;
  bytes.reserve(2 + 2 * text.size());
  for (const char16_t c : text) {
    const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

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
