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

// How a file's bytes hold its text. The platform's profile functions read a
// file that starts with a UTF-16 byte order mark as UTF-16, and write it back
// so; every other file is 8-bit text in the ANSI code page.
enum class TextEncoding { kAnsi, kUtf16LittleEndian, kUtf16BigEndian };

struct DecodedText {
  std::string text;  // in the ANSI code page
  TextEncoding encoding = TextEncoding::kAnsi;
  bool exact = true;  // false when characters had no exact form in the code page
};

// The text the platform's ANSI profile functions see in a file: after a UTF-16
// byte order mark, its characters converted to the ANSI code page as those
// functions convert them ('?' for the ones the code page lacks); any other
// bytes as they stand.
DecodedText DecodeProfileText(const std::string& bytes);

// The bytes of text in encoding, byte order mark included.
std::string EncodeProfileText(const std::string& text, TextEncoding encoding);

// The bytes of UTF-16 text in one of the UTF-16 encodings, byte order mark
// included: characters the ANSI code page may lack, as another program saves
// them.
std::string EncodeUtf16Text(const std::u16string& text, TextEncoding encoding);

// Conversions between UTF-16 and the ANSI code page, as the platform's A
// functions make them. exact turns false when a character had no exact form
// (none at all, or only a look-alike).
std::string ToAnsiCodePage(const std::u16string& text, bool& exact);
std::u16string FromAnsiCodePage(const std::string& text);

// The path the platform's profile functions use for a name: a bare file name,
// without directory or drive, is looked for in the Windows directory.
std::string ResolveProfilePath(const std::string& path);

}  // namespace dravlin
