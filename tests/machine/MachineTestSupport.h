#pragma once
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "common/MessageBox.h"
#include "machine/Cpu.h"
#include "machine/Svc.h"

namespace tolvane::test {

// A console with scripted input lines that records every output line.
class ScriptConsole : public ConsolePort {
 public:
  std::deque<Bytes> input;
  std::vector<Bytes> output;
  int reads = 0;
  Bytes ConsoleReadLine() override {
    ++reads;
    if (input.empty()) return "\x1A";
    Bytes l = input.front();
    input.pop_front();
    return l;
  }
  void ConsoleWrite(const Bytes& text) override { output.push_back(text); }
};

// Hooks that record what the machine reports.
class RecordingHooks : public MachineHooks {
 public:
  std::vector<Word> stores;
  std::vector<Word> refreshes;
  int paneRefreshes = 0;
  void UnAsmStoreAt(Word a) override { stores.push_back(a); }
  void UnAsmRefreshAt(Word a) override { refreshes.push_back(a); }
  void RefreshPanes() override { ++paneRefreshes; }
};

class RecordingBoxes : public MessageBoxPort {
 public:
  std::vector<std::pair<BoxKind, Bytes>> boxes;
  BoxAnswer ShowMessageBox(BoxKind kind, const std::string& text, BoxButtons) override {
    boxes.emplace_back(kind, text);
    return BoxAnswer::Ok;
  }
};

inline std::unique_ptr<Memory> NewMemory() { return std::make_unique<Memory>(Memory{}); }

// First instruction word from its fields.
constexpr Word Op(int op, int r = 0, int x = 0) { return static_cast<Word>((op << 8) | (r << 4) | x); }

}  // namespace tolvane::test
