// An INI text held in memory that reads and writes values the way the
// platform's private-profile functions do, while keeping every line it does
// not change byte for byte.
//
// Lines end at CR LF, LF or CR. White space is space, tab, LF, VT, FF, CR and
// the DOS end-of-file byte 0x1A. A line whose trimmed text starts with '['
// and holds a ']' is a section header, named by the trimmed bytes between the
// '[' and the last ']'; any other non-blank line is a key line, named by its
// trimmed text before the first '=' (or all of it when there is none).
// Comment lines are key lines like any other, so no lookup finds them under
// a real key's name. Lines before the first header form a section named "";
// a later "[]" is a section that no lookup reaches.
//
// Limits: names are compared with ASCII case folding only, as the platform
// does; after a UTF-8 byte order mark, which is kept, values are given as
// stored where the platform converts them to the ANSI code page; UTF-16
// text is converted before it gets here (ProfileFile). Values are never cut
// to a buffer length.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace dravlin {

class IniDocument {
 public:
  // An empty document, as for a file that does not exist.
  IniDocument() = default;
  explicit IniDocument(std::string_view text);

  // The value as GetPrivateProfileStringA gives it: from the first section and
  // the first key of that name; trimmed, one pair of matching quotes removed.
  // A key line without '=' counts as missing, an empty value does not.
  // Missing, the default is given without trailing spaces or quotes. Either
  // ends at its first zero byte, as a C string would.
  std::string Read(std::string_view section, std::string_view key,
                   std::string_view defaultValue) const;

  // Sets the value as WritePrivateProfileStringA does: an existing key's line
  // becomes name=value in place; a new key follows the section's last
  // non-blank line; a new section goes to the end. Leading white space of the
  // value and of the names is dropped; a line break in the value is written
  // as it stands, as the platform does. Returns whether the text changed.
  bool Write(std::string_view section, std::string_view key, std::string_view value);

  // The whole text: the parsed text unchanged when nothing was written.
  std::string Serialize() const;

 private:
  struct Section {
    std::string header;               // empty for the lines before the first header
    std::vector<std::string> pieces;  // key lines, and runs of blank lines between them
    std::string trailingBlankLines;   // blank lines after the last key line
    std::unordered_map<std::string, std::size_t> keyIndex;  // folded name -> first piece
  };

  void AddLine(std::string_view line);
  void AddSection(std::string header, const std::string& foldedName);
  void AppendKeyLine(Section& section, std::string line);
  void Terminate(std::string& line) const;
  void TerminateLastLine();
  const Section* FindSection(std::string_view name) const;
  Section* FindSection(std::string_view name);

  std::string byteOrderMark_;
  std::string lineEnd_ = "\r\n";  // what lines added by Write end with
  std::vector<Section> sections_{Section{}};
  std::unordered_map<std::string, std::size_t> sectionIndex_{{"", 0}};  // folded name -> first
};

}  // namespace dravlin
