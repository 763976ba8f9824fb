// The object through which every value of the menu definition file is read
// and written. It reads the file once, answers and records values in memory,
// and replaces the file as a whole on Commit, so that a save is all or nothing.
// A UTF-16 file is read as the platform's ANSI profile functions read it and
// written back in UTF-16.
#pragma once

#include <optional>
#include <string>

#include "menufile/file_io.h"
#include "menufile/ini_document.h"

namespace dravlin {

// Reads a number as the menu readers do: leading white space, an optional
// sign, then digits up to the first other character; 0 without digits.
// Values beyond the range of int are clamped to it.
int ParseProfileNumber(const std::string& text);

class ProfileFile {
 public:
  // Loads the file at path; a missing file reads as empty and is not created.
  explicit ProfileFile(const std::string& path);
  // Takes contents as the bytes of the file at path, read as the file would
  // be, without touching the disk.
  ProfileFile(std::string path, std::string contents);

  // The full path of the file.
  const std::string& Path() const { return path_; }

  // False when the file exists but could not be read (held by another
  // program, unreadable, over the size limit): every value then reads as its
  // default, and nothing shown from them may replace the file.
  bool Readable() const { return readable_; }

  // Whether a Commit can keep every character of the file: false as well for
  // a UTF-16 file with characters the ANSI code page lacks, which read as '?'.
  bool Exact() const { return readable_ && exact_; }

  // The value of section/key, or defaultValue when either is missing.
  std::string Read(const std::string& section, const std::string& key,
                   const std::string& defaultValue) const;

  // Read, with the default given as decimal text, followed by the number parse.
  int ReadNumber(const std::string& section, const std::string& key, int defaultValue) const;

  // Sets section/key in memory; nothing reaches the disk before Commit.
  void Write(const std::string& section, const std::string& key, const std::string& value);

  // Write of the number's decimal text.
  void WriteNumber(const std::string& section, const std::string& key, int value);

  // Replaces the file with the values in memory, in the file's encoding.
  // Returns false, leaving the file as it was, when that fails or the file
  // was not read exactly.
  bool Commit();

  // The file read again, in place of this object. While the file holds the
  // bytes this object read and nothing was written since, this object's
  // document is taken over: a large menu is then parsed once.
  ProfileFile Reread() &&;

 private:
  void Load(std::string bytes);

  std::string path_;
  IniDocument document_;
  TextEncoding encoding_ = TextEncoding::kAnsi;
  bool readable_ = false;  // the file was read or does not exist
  bool exact_ = true;      // no character was lost converting it
  bool changed_ = false;  // a Write changed the text since it was read or committed
  std::optional<std::string> loadedBytes_;  // what the document was parsed from, until a commit
};

}  // namespace dravlin
