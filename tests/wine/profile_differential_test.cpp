// Holds the INI document against the platform's own private-profile functions:
// every probe is read both ways, and every sequence of writes is applied both
// ways and the resulting files compared.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "menufile/file_io.h"
#include "menufile/ini_document.h"

namespace dravlin {
namespace {

const char kDefault[] = "dflt";

struct Probe {
  std::string section;
  std::string key;
};

struct WriteStep {
  std::string section;
  std::string key;
  std::string value;
};

struct CorpusFile {
  std::string name;
  std::string text;
  bool platformForm = false;  // the platform writes this text back unchanged
  std::vector<Probe> probes;
  std::vector<WriteStep> writes;
};

std::string Printable(const std::string& bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c >= 0x7F) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// Files of the platform, each under a name it has never seen, so that its
// cache of recently used profiles never answers for an older file.
class Scratch {
 public:
  Scratch() {
    char base[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, base);
    directory_ =
        std::string(base) + "dravlin-profile-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(directory_.c_str(), nullptr);
  }
  ~Scratch() { RemoveDirectoryA(directory_.c_str()); }

  std::string NewFile(const std::string& bytes) {
    const std::string path = directory_ + "f" + std::to_string(++counter_) + ".ini";
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  static std::string Bytes(const std::string& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
  }

  static void Remove(const std::string& path) { DeleteFileA(path.c_str()); }

 private:
  std::string directory_;
  int counter_ = 0;
};

std::string PlatformRead(const Probe& probe, const std::string& path) {
  std::vector<char> buffer(1 << 16);
  const DWORD length = GetPrivateProfileStringA(probe.section.c_str(), probe.key.c_str(), kDefault,
                                                buffer.data(), static_cast<DWORD>(buffer.size()),
                                                path.c_str());
  return std::string(buffer.data(), length);
}

// The platform's own layout of a text: it rewrites the whole file on a write
// that changes something, so one more write, made to both sides, lays both out.
std::string PlatformLayout(Scratch& scratch, const std::string& bytes) {
  const std::string path = scratch.NewFile(bytes);
  WritePrivateProfileStringA("zz layout", "zz", "1", path.c_str());
  std::string laidOut = Scratch::Bytes(path);
  Scratch::Remove(path);
  return laidOut;
}

class Differences {
 public:
  static constexpr int kMaxReported = 40;

  void Add(const CorpusFile& file, const std::string& what, const std::string& platform,
           const std::string& document) {
    if (++count_ > kMaxReported) return;
    report_ << file.name << " [" << Printable(file.text) << "]: " << what << "\n  platform: ["
            << Printable(platform) << "]\n  document: [" << Printable(document) << "]\n";
  }
  int Count() const { return count_; }
  std::string Report() const { return report_.str(); }

 private:
  int count_ = 0;
  std::ostringstream report_;
};

void CompareReads(const CorpusFile& file, const std::string& stage, const std::string& path,
                  const IniDocument& document, Differences& differences) {
  for (const Probe& probe : file.probes) {
    const std::string platform = PlatformRead(probe, path);
    const std::string ours = document.Read(probe.section, probe.key, kDefault);
    if (platform != ours) {
      const std::string what =
          stage + " read [" + Printable(probe.section) + "] " + Printable(probe.key);
      differences.Add(file, what, platform, ours);
    }
  }
}

void Check(Scratch& scratch, const CorpusFile& file, Differences& differences) {
  const std::string platformPath = scratch.NewFile(file.text);
  // What the menu file's reader does with the bytes: a UTF-16 text is
  // converted, and written back as UTF-16.
  const DecodedText decoded = DecodeProfileText(file.text);
  IniDocument document(decoded.text);
  CompareReads(file, "before writes", platformPath, document, differences);
  // A file read with characters lost is never written back.
  if (!decoded.exact) {
    Scratch::Remove(platformPath);
    return;
  }

  for (const WriteStep& step : file.writes) {
    WritePrivateProfileStringA(step.section.c_str(), step.key.c_str(), step.value.c_str(),
                               platformPath.c_str());
    document.Write(step.section, step.key, step.value);
  }
  const std::string platformBytes = Scratch::Bytes(platformPath);
  const std::string ourBytes = EncodeProfileText(document.Serialize(), decoded.encoding);
  Scratch::Remove(platformPath);

  const std::string reread = scratch.NewFile(platformBytes);
  CompareReads(file, "after writes", reread, document, differences);
  Scratch::Remove(reread);

  if (file.platformForm && platformBytes != ourBytes) {
    differences.Add(file, "file after writes", platformBytes, ourBytes);
  }
  const std::string platformLayout = PlatformLayout(scratch, platformBytes);
  const std::string ourLayout = PlatformLayout(scratch, ourBytes);
  if (platformLayout != ourLayout) {
    differences.Add(file, "file after writes, laid out by the platform", platformLayout, ourLayout);
  }
}

std::vector<Probe> ProbesOf(const std::vector<std::string>& sections,
                            const std::vector<std::string>& keys) {
  std::vector<Probe> probes;
  for (const std::string& section : sections) {
    for (const std::string& key : keys) probes.push_back({section, key});
  }
  return probes;
}

std::vector<CorpusFile> HandWrittenCorpus() {
  const std::vector<std::string> sections = {"s", "S", " s ", "t", "", "missing", "a]b", "general"};
  const std::vector<std::string> keys = {"k",    "K",       " k ", "n",    "",   ";k",
                                         "bare", "missing", "[x",  "\xE9", ";c"};
  const std::vector<WriteStep> writes = {
      {"s", "k", "written"}, {"S", "N", "new"},  {"t", "k", "  lead"}, {"s", "bare", "v"},
      {"", "top", "1"},      {" u ", " n ", "trailing  "}, {"s", "k", ""}};
  const std::pair<const char*, std::string> texts[] = {
      {"empty", ""},
      {"plain CRLF", "[s]\r\nk=1\r\nn=2\r\n[t]\r\nk=3\r\n"},
      {"LF", "[s]\nk=1\nn=2\n[t]\nk=3\n"},
      {"CR only", "[s]\rk=1\rn=2\r[t]\rk=3\r"},
      {"mixed line ends", "[s]\r\nk=a\rb\nn=2\n\r[t]\rk=3"},
      {"no final line end", "[s]\r\nk=1\r\n[t]\r\nk=3"},
      {"final header without line end", "[s]\r\nk=1\r\n[t]"},
      {"mixed case", "[S]\r\nK=upper\r\n[T]\r\nk=lower\r\n"},
      {"white space", "  [s]  \r\n \t k \t = \t 1 \t \r\n\t[t]\r\nk =\r\n"},
      {"quotes", "[s]\r\nk=\"double\"\r\nn='single'\r\n[t]\r\nk=\"\r\n"},
      {"open quotes", "[s]\r\nk=\"mixed'\r\nn=\"\"\r\n"},
      {"comments", "; head\r\n[s]\r\n;k=commented\r\nk=1\r\n;c\r\n[t]\r\n"},
      {"malformed", "[s]\r\nbare\r\n=nameless\r\n[x\r\nk=1\r\n"},
      {"bare before key", "[s]\r\nk\r\nk=1\r\n"},
      {"duplicate keys", "[s]\r\nk=first\r\nk=second\r\nK=third\r\n"},
      {"duplicate sections", "[s]\r\nk=1\r\n[t]\r\nk=2\r\n[S]\r\nk=3\r\nn=4\r\n"},
      {"empty value", "[s]\r\nk=\r\nn=   \r\n"},
      {"keys before sections", "top=1\r\nk=0\r\n[s]\r\nk=1\r\n"},
      {"blank lines", "\r\n\r\n[s]\r\n\r\nk=1\r\n\r\n\r\n[t]\r\n\r\n"},
      {"header with spaces inside", "[ s ]\r\nk=1\r\n"},
      {"header with trailing text", "[s] text\r\nk=1\r\n[a]b]\r\nk=2\r\n"},
      {"byte order mark", "\xEF\xBB\xBF[s]\r\nk=1\r\n"},
      {"end-of-file byte", "[s]\r\nk=1\x1A\r\n\x1A"},
      {"other control bytes", "[s]\r\nk=\x1C" "1\x1F\r\n\x1Cn=2\r\n"},
      {"zero byte", std::string("[s]\r\nk=1\0x\r\nn=2\r\n", 17)},
      {"high bytes", "[s]\r\nk=caf\xE9\r\nn=\xA0x\xA0\r\n\xC9=upper\r\n"},
      {"long value", "[s]\r\nk=" + std::string(200, 'v') + "\r\n"},
      {"menu", "[general]\r\nVirtKey=161\r\nCount=2\r\n"
               "[folder0]\r\nText=Menu\r\nParentID=0\r\nCount=0\r\n"},
  };
  std::vector<CorpusFile> corpus;
  for (const auto& [name, text] : texts) {
    CorpusFile file{name, text, false, ProbesOf(sections, keys), writes};
    corpus.push_back(file);
  }
  return corpus;
}

// The hand-written texts as a Windows editor saves them as "Unicode", a few
// big-endian, and characters that the ANSI code page lacks.
std::vector<CorpusFile> Utf16Corpus() {
  std::vector<CorpusFile> corpus;
  int number = 0;
  for (CorpusFile file : HandWrittenCorpus()) {
    // Its UTF-8 mark would be three characters of the code page here.
    if (file.name == "byte order mark") continue;
    const bool bigEndian = ++number % 4 == 0;
    file.name += bigEndian ? " (UTF-16BE)" : " (UTF-16LE)";
    file.text = EncodeProfileText(file.text, bigEndian ? TextEncoding::kUtf16BigEndian
                                                       : TextEncoding::kUtf16LittleEndian);
    corpus.push_back(file);
  }
  CorpusFile foreign = corpus.front();
  foreign.name = "characters outside the code page";
  const char kForeign[] = "\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0\x2D\x4E\xE9\0\r\0\n\0\x2D\x4E=\0x\0";
  foreign.text.assign(kForeign, sizeof kForeign - 1);
  corpus.push_back(foreign);
  return corpus;
}

// Random mixes of the features above. Each line is drawn so that the
// generator knows whether the platform would write the text back unchanged.
class Generator {
 public:
  explicit Generator(unsigned seed) : random_(seed) {}

  CorpusFile Next(int number) {
    CorpusFile file;
    file.name = "generated " + std::to_string(number);
    file.platformForm = Chance(40);
    withByteOrderMark_ = !file.platformForm && Chance(5);
    const char* lineEnds[] = {"\r\n", "\n", "\r"};
    const std::string lineEnd = file.platformForm ? "\r\n" : lineEnds[Pick(3)];
    const int sectionCount = Pick(5);
    if (withByteOrderMark_) file.text += "\xEF\xBB\xBF";
    AddLines(file, lineEnd, Pick(3));
    for (int s = 0; s < sectionCount; ++s) {
      file.text += Decorate(file, "[" + Any(kSections) + "]") + lineEnd;
      AddLines(file, lineEnd, Pick(7));
    }
    if (!file.platformForm && !file.text.empty() && Chance(20)) {
      file.text.resize(file.text.size() - lineEnd.size());
    }
    file.probes = ProbesOf({"general", "folder0", "folder1", "", "other"},
                           {"count", "Text", "capt1", "k", "", ";c", "bare"});
    for (int w = Pick(8); w > 0; --w) {
      file.writes.push_back({Any(kSections), Any(kKeys), (Chance(10) ? " \t" : "") + Value()});
    }
    return file;
  }

 private:
  const std::vector<std::string> kSections = {"general", "General", "GENERAL", "folder0",
                                              "folder1", "Folder1", "other", "new one"};
  const std::vector<std::string> kKeys = {"count", "Count", "COUNT", "Text",
                                          "capt1", "Capt1", "k", "new key"};

  int Pick(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }
  bool Chance(int percent) { return Pick(100) < percent; }
  const std::string& Any(const std::vector<std::string>& from) {
    return from[Pick(static_cast<int>(from.size()))];
  }

  std::string Value() {
    static const char kChars[] = "abcXYZ019 =;[]\"'\t\xE9";
    // The platform converts the values of a UTF-8 file; the document keeps them.
    const int chars = static_cast<int>(sizeof kChars) - (withByteOrderMark_ ? 2 : 1);
    std::string value;
    for (int n = Pick(12); n > 0; --n) value += kChars[Pick(chars)];
    const std::size_t first = value.find_first_not_of(" \t");
    value.erase(0, first == std::string::npos ? value.size() : first);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.pop_back();
    if (Chance(15)) value = "\"" + value + "\"";
    return value;
  }

  // White space around a line, which the platform drops when it rewrites.
  std::string Decorate(CorpusFile& file, const std::string& line) {
    if (file.platformForm || !Chance(20)) return line;
    return std::string(Chance(50) ? " " : "\t") + line + (Chance(50) ? "  " : "");
  }

  void AddLines(CorpusFile& file, const std::string& lineEnd, int count) {
    for (int i = 0; i < count; ++i) {
      const int kind = Pick(10);
      std::string line;
      if (kind < 5) {
        line = Any(kKeys) + "=" + Value();
      } else if (kind == 5) {
        // Without '=', which would make it a key line the platform lays out.
        line = ";c" + Value();
        line.erase(std::remove(line.begin(), line.end(), '='), line.end());
        while (line.back() == ' ' || line.back() == '\t') line.pop_back();
      } else if (kind == 6) {
        line = "bare";
      } else if (kind == 7 && !file.platformForm) {
        line = Any(kKeys) + (Chance(50) ? " = " : "\t=") + Value();
      } else if (kind == 8 && !file.platformForm) {
        line = Chance(50) ? "" : "  ";
      } else {
        line = "k=" + Value();
      }
      file.text += Decorate(file, line) + lineEnd;
    }
  }

  std::mt19937 random_;
  bool withByteOrderMark_ = false;  // and so values of ASCII only
};

void ExpectCorpusAgrees(const char* name, const std::vector<CorpusFile>& corpus) {
  Scratch scratch;
  Differences differences;
  for (const CorpusFile& file : corpus) Check(scratch, file, differences);
  std::printf("%s corpus: %zu files\n", name, corpus.size());
  EXPECT_EQ(differences.Count(), 0) << differences.Report();
}

TEST(ProfileDifferential, HandWrittenCorpusAgrees) { ExpectCorpusAgrees("hand-written", HandWrittenCorpus()); }

TEST(ProfileDifferential, Utf16CorpusAgrees) { ExpectCorpusAgrees("UTF-16", Utf16Corpus()); }

TEST(ProfileDifferential, GeneratedCorpusAgrees) {
  Scratch scratch;
  Differences differences;
  Generator generator(20240611);
  const int files = 2000;
  for (int i = 0; i < files; ++i) Check(scratch, generator.Next(i), differences);
  std::printf("generated corpus: %d files\n", files);
  EXPECT_EQ(differences.Count(), 0) << differences.Report();
}

}  // namespace
}  // namespace dravlin
