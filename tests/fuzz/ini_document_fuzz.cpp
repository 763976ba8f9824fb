// The INI document keeps what it does not change: any text serializes back
// byte for byte; after a write, that key reads as written, every other
// section and key reads as before, and both hold again once the text is
// parsed anew.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "menufile/ini_document.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using dravlin::IniDocument;

// A default no value can equal: values never hold a byte 0x01 here.
constexpr std::string_view kAbsent = "\x01";
constexpr std::size_t kMaxNames = 24;

bool IsProfileSpace(char c) { return (c >= '\t' && c <= '\r') || c == ' ' || c == '\x1A'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsProfileSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsProfileSpace(text.back())) text.remove_suffix(1);
  return text;
}

std::string Fold(std::string_view name) {
  std::string folded(Trim(name));
  for (char& c : folded)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return folded;
}

// A name a line can carry: one line, no zero byte, no 0x01.
std::string LineSafe(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n' || c == '\0' || c == '\x01') c = '_';
  return text;
}

// A key that stays a key line: no '=', not read back as a section header, and
// not starting with the bytes of a byte order mark, which at the top of a text
// are taken for one.
std::string KeyName(std::string text) {
  text = LineSafe(std::move(text));
  for (char& c : text)
    if (c == '=') c = '_';
  const std::string_view name = Trim(text);
  if (name.substr(0, 1) == "[" || name.substr(0, 3) == "\xEF\xBB\xBF") {
    text.insert(name.data() - text.data(), "_");
  }
  return text;
}

// A value read back unchanged but for the documented normalisations: leading
// blanks are dropped on write and a zero byte ends the value read; blanks at
// its end and a pair of enclosing quotes, which reads remove, are avoided.
std::string Value(std::string text, std::string& expected) {
  for (char& c : text)
    if (c == '\r' || c == '\n' || c == '\x01') c = '_';
  std::string_view kept = text;
  while (!kept.empty() && IsProfileSpace(kept.front())) kept.remove_prefix(1);
  const bool quoted = kept.size() >= 2 && (kept.front() == '"' || kept.front() == '\'') &&
                      kept.back() == kept.front();
  if (quoted || (!kept.empty() && IsProfileSpace(kept.back()))) text += 'x';
  kept = text;
  while (!kept.empty() && IsProfileSpace(kept.front())) kept.remove_prefix(1);
  expected = std::string(kept.substr(0, kept.find('\0')));
  return text;
}

// Section and key names worth probing: those the text seems to hold, and the
// written ones.
void CollectNames(std::string_view text, std::vector<std::string>& sections, std::vector<std::string>& keys) {
  std::size_t start = 0;
  while (start < text.size() && (sections.size() < kMaxNames || keys.size() < kMaxNames)) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    const std::size_t open = line.find('[');
    const std::size_t close = line.rfind(']');
    if (open != std::string_view::npos && close != std::string_view::npos && close > open) {
      if (sections.size() < kMaxNames) sections.emplace_back(line.substr(open + 1, close - open - 1));
    } else if (keys.size() < kMaxNames) {
      keys.emplace_back(line.substr(0, line.find('=')));
    }
  }
}

std::vector<std::string> ReadAll(const IniDocument& document, const std::vector<std::string>& sections,
                                 const std::vector<std::string>& keys) {
  std::vector<std::string> values;
  for (const std::string& section : sections)
    for (const std::string& key : keys) values.push_back(document.Read(section, key, kAbsent));
  return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string section = LineSafe(input.ConsumeRandomLengthString(24));
  const std::string key = KeyName(input.ConsumeRandomLengthString(24));
  std::string expected;
  const std::string value = Value(input.ConsumeRandomLengthString(64), expected);
  const std::string text = input.ConsumeRemainingBytesAsString();

  IniDocument document(text);
  FUZZ_CHECK(document.Serialize() == text, "parse then serialize gives the text back");

  std::vector<std::string> sections{"", section};
  std::vector<std::string> keys{key};
  CollectNames(text, sections, keys);
  const std::vector<std::string> before = ReadAll(document, sections, keys);

  document.Write(section, key, value);
  FUZZ_CHECK(document.Read(section, key, kAbsent) == expected, "the written key reads as written");
  const IniDocument reparsed(document.Serialize());
  FUZZ_CHECK(reparsed.Serialize() == document.Serialize(), "the written text parses back");
  FUZZ_CHECK(reparsed.Read(section, key, kAbsent) == expected,
             "the written key reads as written after a parse");

  const std::vector<std::string> after = ReadAll(document, sections, keys);
  const std::vector<std::string> afterParse = ReadAll(reparsed, sections, keys);
  for (std::size_t s = 0, at = 0; s < sections.size(); ++s) {
    for (std::size_t k = 0; k < keys.size(); ++k, ++at) {
      if (Fold(sections[s]) == Fold(section) && Fold(keys[k]) == Fold(key)) continue;
      FUZZ_CHECK(after[at] == before[at], "other keys read as before");
      FUZZ_CHECK(afterParse[at] == before[at], "other keys read as before after a parse");
    }
  }
  return 0;
}
