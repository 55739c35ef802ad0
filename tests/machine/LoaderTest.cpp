#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "MachineTestSupport.h"
#include "common/Cp932.h"
#include "link/LoadModule.h"
#include "machine/Loader.h"

namespace tolvane::test {
namespace {

namespace fs = std::filesystem;

class NullSink : public MessageSink {
 public:
  void AppendMessageLine(const std::string&) override {}
};

class EndProgramRecorder : public EndProgramPort {
 public:
  int enabled = 0;
  void EnableEndProgram() override { ++enabled; }
};

class LoaderTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(testing::TempDir()) / ("tolvane_loader_" + std::to_string(::getpid()) + "_" +
                                           std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const char* name) const { return (dir_ / name).string(); }

  LoadModule Module() const {
    LoadModule m;
    m.origin = 0x0100;
    m.start = 0x0102;
    m.image = {0x1234, 0x0000, 0x8100, 0xABCD};
    m.stackLimit = 0x0104;
    m.initialSp = 0x0904;
    m.dataAddresses = {0x0100, 0x0103};
    return m;
  }
  void Write(const std::string& exe, const LoadModule& m) {
    NullSink sink;
    ASSERT_TRUE(WriteLoadModule(exe, m, sink));
  }

  fs::path dir_;
  std::unique_ptr<Memory> mem_ = NewMemory();
  CCpu cpu_;
  LoadedProgram program_;
  RecordingBoxes boxes_;
  EndProgramRecorder end_;
};

// Every word of memory after a load, computed independently of the loader.
Word ExpectedWord(unsigned a, const LoadModule& m) {
  auto pair = [](unsigned from, unsigned a, Word first, Word second) { return (a - from) % 2 == 0 ? first : second; };
  if (a == 0) return 0;
  if (a == 1) return 0xF800;
  if (a == 2) return 0xF864;
  if (a <= 9) return 0;
  if (a <= 0xFF) return pair(0x0A, a, 'O', 'S');
  if (a >= 0xF000 && a <= 0xF7FF) return pair(0xF000, a, 'O', 'S');
  if (a >= 0xF800 && a <= 0xF863) return pair(0xF800, a, 'I', 'N');
  if (a >= 0xF864 && a <= 0xF8C7) {
    const Word triple[] = {'0', 'U', 'T'};
    return triple[(a - 0xF864) % 3];
  }
  if (a >= 0xF8C8) return pair(0xF8C8, a, 'O', 'S');
  if (a >= m.origin && a < m.origin + m.image.size()) return m.image[a - m.origin];
  if (a == static_cast<unsigned>(m.initialSp - 1)) return 0xF000;
  return 0;
}

TEST_F(LoaderTest, MemoryMapRegistersAndTables) {
  const LoadModule m = Module();
  Write(Path("prog.exe"), m);
  mem_->fill(0x5555);
  for (int i = 0; i < 8; ++i) cpu_.SetRegister(i, 0x9999);
  cpu_.SetFR(6);
  ASSERT_TRUE(LoadProgram(Path("prog.cas"), false, cpu_, *mem_, program_, boxes_, &end_));
  EXPECT_TRUE(boxes_.boxes.empty());
  for (unsigned a = 0; a < kMemoryWords; ++a) ASSERT_EQ((*mem_)[a], ExpectedWord(a, m)) << std::hex << a;
  EXPECT_EQ((*mem_)[0x000A], 0x004F);
  EXPECT_EQ((*mem_)[0x00FF], 0x0053);
  EXPECT_EQ((*mem_)[0xF864], 0x0030);
  EXPECT_EQ((*mem_)[0xF8C7], 0x0030);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(cpu_.GetRegister(i), 0);
  EXPECT_EQ(cpu_.GetFR(), 0);
  EXPECT_EQ(cpu_.GetPR(), 0x0102);
  EXPECT_EQ(cpu_.GetSP(), 0x0903);
  EXPECT_EQ(cpu_.GetStackLimit(), 0x0104);
  EXPECT_EQ(program_.header.origin, 0x0100);
  EXPECT_EQ(program_.header.start, 0x0102);
  EXPECT_EQ(program_.header.initialSp, 0x0904);
  EXPECT_EQ(program_.header.stackLimit, 0x0104);
  EXPECT_EQ(program_.exePath, Path("prog.exe"));
  EXPECT_FALSE(program_.symbols);
  EXPECT_TRUE(program_.symbolTable.empty());
  EXPECT_EQ(program_.dataAddresses, (std::vector<Word>{0x0100, 0x0103}));
  EXPECT_EQ(end_.enabled, 1);
}

TEST_F(LoaderTest, SecondLoadForgetsEarlierStores) {
  Write(Path("prog.exe"), Module());
  ASSERT_TRUE(LoadProgram(Path("prog.exe"), false, cpu_, *mem_, program_, boxes_));
  const Memory first = *mem_;
  (*mem_)[0x0100] = 0xDEAD;
  (*mem_)[0x5000] = 0xBEEF;
  ASSERT_TRUE(LoadProgram(Path("prog.exe"), false, cpu_, *mem_, program_, boxes_));
  EXPECT_TRUE(*mem_ == first);
}

TEST_F(LoaderTest, SymbolsOnlyWhenAsked) {
  Write(Path("prog.exe"), Module());
  NullSink sink;
  const SymbolTable symbols = {{"MAIN", 0x0100}, {"=#0001", 0x0103}};
  ASSERT_TRUE(WriteSymbolFile(Path("prog.sym"), symbols, sink));
  ASSERT_TRUE(LoadProgram(Path("prog.exe"), true, cpu_, *mem_, program_, boxes_));
  EXPECT_TRUE(program_.symbols);
  EXPECT_EQ(program_.symPath, Path("prog.sym"));
  EXPECT_EQ(program_.symbolTable, symbols);
  ASSERT_TRUE(LoadProgram(Path("prog.exe"), false, cpu_, *mem_, program_, boxes_));
  EXPECT_FALSE(program_.symbols);
  EXPECT_TRUE(program_.symbolTable.empty());
}

TEST_F(LoaderTest, MissingSymbolFileFailsTheLoad) {
  Write(Path("prog.exe"), Module());
  ASSERT_FALSE(LoadProgram(Path("prog.exe"), true, cpu_, *mem_, program_, boxes_, &end_));
  ASSERT_EQ(boxes_.boxes.size(), 1u);
  EXPECT_EQ(boxes_.boxes[0].first, BoxKind::Error);
  EXPECT_EQ(boxes_.boxes[0].second, Path("prog.sym") + Cp932Text(u8"がオープンできません。"));
  EXPECT_EQ(end_.enabled, 0);
}

TEST_F(LoaderTest, MissingOrForeignLoadModule) {
  ASSERT_FALSE(LoadProgram(Path("none.exe"), false, cpu_, *mem_, program_, boxes_, &end_));
  ASSERT_EQ(boxes_.boxes.size(), 1u);
  EXPECT_EQ(boxes_.boxes[0].second, Path("none.exe") + Cp932Text(u8"がオープンできません。"));
  {
    std::FILE* f = std::fopen(Path("text.exe").c_str(), "wb");
    std::fputs("hello\n", f);
    std::fclose(f);
  }
  ASSERT_FALSE(LoadProgram(Path("text.exe"), false, cpu_, *mem_, program_, boxes_, &end_));
  EXPECT_EQ(boxes_.boxes.size(), 2u);
  EXPECT_EQ(end_.enabled, 0);
}

TEST_F(LoaderTest, StackTooSmallForTheEndAddress) {
  LoadModule m = Module();
  m.initialSp = m.stackLimit;  // no room at all
  Write(Path("prog.exe"), m);
  ASSERT_FALSE(LoadProgram(Path("prog.exe"), false, cpu_, *mem_, program_, boxes_, &end_));
  ASSERT_EQ(boxes_.boxes.size(), 1u);
  EXPECT_EQ(boxes_.boxes[0].first, BoxKind::Error);
  EXPECT_EQ(boxes_.boxes[0].second, Cp932Text(u8"実行のために必要なスタック領域が足りません。"));
  EXPECT_EQ(end_.enabled, 0);
}

TEST_F(LoaderTest, OneWordOfStackIsEnough) {
  LoadModule m = Module();
  m.initialSp = static_cast<Word>(m.stackLimit + 1);
  Write(Path("prog.exe"), m);
  ASSERT_TRUE(LoadProgram(Path("prog.exe"), false, cpu_, *mem_, program_, boxes_));
  EXPECT_EQ(cpu_.GetSP(), m.stackLimit);
  EXPECT_EQ((*mem_)[m.stackLimit], 0xF000);
}

}  // namespace
}  // namespace tolvane::test
