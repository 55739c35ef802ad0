#pragma once
// Small helpers for the link tests: a writer of object-file bytes (independent
// of the assembler), scratch folders, and recording sinks/boxes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/MessageBox.h"
#include "common/MessageSink.h"
#include "link/ObjectFile.h"

namespace tolvane::test {

using ByteVec = std::vector<std::uint8_t>;

inline void PutWord(ByteVec& b, Word w) {
  b.push_back(static_cast<std::uint8_t>(w >> 8));
  b.push_back(static_cast<std::uint8_t>(w & 0xFF));
}
inline void PutString(ByteVec& b, const std::string& s) {
  b.insert(b.end(), s.begin(), s.end());
  b.push_back(0);
}
inline void PutNamed(ByteVec& b, const std::vector<SymbolRecord>& t) {
  PutWord(b, static_cast<Word>(t.size()));
  for (const auto& r : t) {
    PutString(b, r.name);
    PutWord(b, r.address);
  }
}
inline void PutWords(ByteVec& b, const std::vector<Word>& t) {
  PutWord(b, static_cast<Word>(t.size()));
  for (Word w : t) PutWord(b, w);
}

// The seven parts in file order, written from the struct as it stands.
inline ByteVec ObjectBytes(const ObjectFile& o) {
  ByteVec b;
  PutString(b, o.fileName);
  PutNamed(b, o.entries);
  PutNamed(b, o.externals);
  PutWords(b, o.code);
  PutWords(b, o.relocations);
  PutNamed(b, o.labels);
  PutWords(b, o.dataAddresses);
  return b;
}

inline void WriteBytes(const std::filesystem::path& p, const ByteVec& b) {
  std::ofstream f(p, std::ios::binary);
  f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

inline ByteVec ReadBytes(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  return ByteVec((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// Writes `o` to `p`; an empty fileName is replaced by the path, as the assembler does.
inline void WriteObject(const std::filesystem::path& p, ObjectFile o) {
  if (o.fileName.empty()) o.fileName = p.string();
  WriteBytes(p, ObjectBytes(o));
}

class RecordingSink : public MessageSink {
 public:
  void AppendMessageLine(const std::string& line) override { lines.push_back(line); }
  // The records as sent; the default passes each line on to `lines`.
  void AppendDiagnostic(const Diagnostic& d) override {
    records.push_back(d);
    MessageSink::AppendDiagnostic(d);
  }
  std::vector<std::string> lines;
  std::vector<Diagnostic> records;
};

class RecordingBox : public MessageBoxPort {
 public:
  BoxAnswer ShowMessageBox(BoxKind kind, const std::string& text, BoxButtons) override {
    kinds.push_back(kind);
    texts.push_back(text);
    return BoxAnswer::Ok;
  }
  std::vector<BoxKind> kinds;
  std::vector<std::string> texts;
};

// A fresh folder per test, removed afterwards.
class ScratchDir : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    for (char& c : name)
      if (c == '/') c = '_';
    dir = std::filesystem::temp_directory_path() / ("tolvane-link-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  std::string P(const std::string& name) const { return (dir / name).string(); }
  std::filesystem::path dir;
};

}  // namespace tolvane::test
