#include "menufile/ini_document.h"

#include <optional>
#include <utility>

namespace dravlin {
namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

bool IsProfileSpace(char c) { return (c >= '\t' && c <= '\r') || c == ' ' || c == '\x1A'; }

std::string_view TrimLeft(std::string_view text) {
  while (!text.empty() && IsProfileSpace(text.front())) text.remove_prefix(1);
  return text;
}

std::string_view TrimRight(std::string_view text) {
  while (!text.empty() && IsProfileSpace(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view Trim(std::string_view text) { return TrimRight(TrimLeft(text)); }

std::string FoldCase(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

std::string_view StripQuotes(std::string_view value) {
  const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                      value.back() == value.front();
  return quoted ? value.substr(1, value.size() - 2) : value;
}

std::string_view LineEndOf(std::string_view line) {
  if (!line.empty() && line.back() == '\n') {
    const bool crlf = line.size() >= 2 && line[line.size() - 2] == '\r';
    return line.substr(line.size() - (crlf ? 2 : 1));
  }
  if (!line.empty() && line.back() == '\r') return line.substr(line.size() - 1);
  return {};
}

// Lines added to a text end as its first line does.
std::string DetectLineEnd(std::string_view text) {
  const std::size_t lf = text.find('\n');
  if (lf != std::string_view::npos) return lf > 0 && text[lf - 1] == '\r' ? "\r\n" : "\n";
  return text.find('\r') != std::string_view::npos ? "\r" : "\r\n";
}

// The first CR or LF from start on, or the text's size. A plain loop: a search
// for either of a set of characters costs a lookup in the set per byte.
std::size_t LineBreakAt(std::string_view text, std::size_t start) {
  while (start < text.size() && text[start] != '\r' && text[start] != '\n') ++start;
  return start;
}

std::optional<std::string_view> SectionHeaderName(std::string_view trimmedLine) {
  if (trimmedLine.empty() || trimmedLine.front() != '[') return std::nullopt;
  const std::size_t close = trimmedLine.rfind(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(trimmedLine.substr(1, close - 1));
}

// What a caller of the platform's C interface receives: the text up to its
// first zero byte.
std::string CString(std::string_view text) { return std::string(text.substr(0, text.find('\0'))); }

struct KeyLine {
  std::string_view name;
  bool hasValue = false;
  std::string_view value;
};

KeyLine ParseKeyLine(std::string_view trimmedLine) {
  const std::size_t equals = trimmedLine.find('=');
  if (equals == std::string_view::npos) return {trimmedLine, false, {}};
  return {TrimRight(trimmedLine.substr(0, equals)), true, TrimLeft(trimmedLine.substr(equals + 1))};
}

}  // namespace

IniDocument::IniDocument(std::string_view text) {
  if (text.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark) {
    byteOrderMark_ = kUtf8ByteOrderMark;
    text.remove_prefix(kUtf8ByteOrderMark.size());
  }
  lineEnd_ = DetectLineEnd(text);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = LineBreakAt(text, start);
    if (end < text.size()) end += text.substr(end, 2) == "\r\n" ? 2 : 1;
    AddLine(text.substr(start, end - start));
    start = end;
  }
}

void IniDocument::AddLine(std::string_view line) {
  const std::string_view trimmed = Trim(line);
  Section& current = sections_.back();
  if (trimmed.empty()) {
    current.trailingBlankLines += line;
    return;
  }
  if (const auto name = SectionHeaderName(trimmed)) {
    AddSection(std::string(line), FoldCase(*name));
    return;
  }
  if (!current.trailingBlankLines.empty()) {
    current.pieces.push_back(std::move(current.trailingBlankLines));
    current.trailingBlankLines.clear();
  }
  AppendKeyLine(current, std::string(line));
}

void IniDocument::AddSection(std::string header, const std::string& foldedName) {
  Section section;
  section.header = std::move(header);
  sections_.push_back(std::move(section));
  sectionIndex_.emplace(foldedName, sections_.size() - 1);
}

void IniDocument::AppendKeyLine(Section& section, std::string line) {
  const std::string_view name = ParseKeyLine(Trim(line)).name;
  section.keyIndex.emplace(FoldCase(name), section.pieces.size());
  section.pieces.push_back(std::move(line));
}

// Only the last line of a text can lack its end, so a line about to be
// followed gets one here.
void IniDocument::Terminate(std::string& line) const {
  if (line.empty() || line.back() == '\n' || line.back() == '\r') return;
  line += lineEnd_;
}

void IniDocument::TerminateLastLine() {
  for (auto section = sections_.rbegin(); section != sections_.rend(); ++section) {
    std::string* last = !section->trailingBlankLines.empty() ? &section->trailingBlankLines
                        : !section->pieces.empty()           ? &section->pieces.back()
                                                             : &section->header;
    if (!last->empty()) {
      Terminate(*last);
      return;
    }
  }
}

const IniDocument::Section* IniDocument::FindSection(std::string_view name) const {
  const auto found = sectionIndex_.find(FoldCase(Trim(name)));
  return found == sectionIndex_.end() ? nullptr : &sections_[found->second];
}

IniDocument::Section* IniDocument::FindSection(std::string_view name) {
  return const_cast<Section*>(static_cast<const IniDocument*>(this)->FindSection(name));
}

std::string IniDocument::Read(std::string_view section, std::string_view key,
                              std::string_view defaultValue) const {
  if (const Section* found = FindSection(section)) {
    const auto line = found->keyIndex.find(FoldCase(Trim(key)));
    if (line != found->keyIndex.end()) {
      const KeyLine parsed = ParseKeyLine(Trim(found->pieces[line->second]));
      if (parsed.hasValue) return CString(StripQuotes(parsed.value));
    }
  }
  // The platform keeps the first character of a default made of spaces only.
  while (defaultValue.size() > 1 && defaultValue.back() == ' ') defaultValue.remove_suffix(1);
  return CString(StripQuotes(defaultValue));
}

bool IniDocument::Write(std::string_view section, std::string_view key, std::string_view value) {
  value = TrimLeft(value);
  Section* target = FindSection(section);
  if (!target) {
    TerminateLastLine();
    const std::string_view name = TrimLeft(section);
    AddSection("[" + std::string(name) + "]" + lineEnd_, FoldCase(Trim(name)));
    target = &sections_.back();
  }
  const std::string_view name = TrimLeft(key);
  const auto existing = target->keyIndex.find(FoldCase(TrimRight(name)));
  if (existing == target->keyIndex.end()) {
    if (target->trailingBlankLines.empty()) {
      Terminate(target->pieces.empty() ? target->header : target->pieces.back());
    }
    AppendKeyLine(*target, std::string(name) + "=" + std::string(value) + lineEnd_);
    return true;
  }
  std::string& line = target->pieces[existing->second];
  const KeyLine current = ParseKeyLine(Trim(line));
  if (current.hasValue && current.value == value) return false;
  std::string rewritten = std::string(current.name) + "=" + std::string(value);
  rewritten += LineEndOf(line);
  line = std::move(rewritten);
  return true;
}

std::string IniDocument::Serialize() const {
  std::size_t size = byteOrderMark_.size();
  for (const Section& section : sections_) {
    size += section.header.size() + section.trailingBlankLines.size();
    for (const std::string& piece : section.pieces) size += piece.size();
  }
  std::string text;
  text.reserve(size);
  text += byteOrderMark_;
  for (const Section& section : sections_) {
    text += section.header;
    for (const std::string& piece : section.pieces) text += piece;
    text += section.trailingBlankLines;
  }
  return text;
}

}  // namespace dravlin
