#pragma once
// What the memory, register and watch panes show, and what they compare it
// with to mark the values that changed.
//
// The panes show the machine as of their last refresh: a GO runs on without
// them, and a pane repainted meanwhile (scrolled, uncovered) still shows that
// refresh, not memory in the middle of the run. A value is marked as changed
// while it differs from the one at the last stop, that is, at the start of the
// latest run command (GO, animate, trace, step) or of debugging; the next run
// command takes the values of that moment as the new reference and the marks
// go until its own refreshes show new changes.
#include <array>
#include <bitset>
#include <vector>

#include "common/Word.h"
#include "debugger/Watches.h"
#include "machine/Cpu.h"

namespace tolvane::debugger {

class PaneState {
 public:
  PaneState() : shownMemory_(kMemoryWords, 0), stopMemory_(kMemoryWords, 0) {}

  // A refresh of the memory dump or of the register pane.
  void ShowMemory(const Memory& memory) { shownMemory_.assign(memory.begin(), memory.end()); }
  void ShowRegisters(const CCpu& cpu) { shownRegisters_ = cpu.Registers(); }
  // The values a run command starts from.
  void TakeStop(const CCpu& cpu, const Memory& memory) {
    stopRegisters_ = cpu.Registers();
    stopMemory_.assign(memory.begin(), memory.end());
    watchedAtStop_.reset();
  }
  // The addresses the watch pane showed at the stop: a row added since has no
  // value from the stop to differ from.
  void TakeWatchesAtStop(const WatchList& watches) {
    watchedAtStop_.reset();
    for (const Watch& w : watches.Rows()) watchedAtStop_.set(w.address);
  }

  Word ShownWord(Word address) const { return shownMemory_[address]; }
  bool WordChanged(Word address) const { return shownMemory_[address] != stopMemory_[address]; }
  // Whether a value read from the address (a watch) differs from the one at the stop.
  bool DiffersFromStop(Word address, Word value) const { return stopMemory_[address] != value; }
  // Whether a watch row is marked: its value shown, watched at the stop, and another now.
  bool WatchChanged(const Watch& w) const {
    return w.shown == Watch::Shown::All && watchedAtStop_[w.address] && DiffersFromStop(w.address, w.value);
  }

  // `index` is a CCpu::Index (kGR0 + n, kFR, kPR, kSP).
  Word ShownRegister(int index) const { return shownRegisters_[static_cast<std::size_t>(index)]; }
  bool RegisterChanged(int index) const {
    return shownRegisters_[static_cast<std::size_t>(index)] != stopRegisters_[static_cast<std::size_t>(index)];
  }

 private:
  std::vector<Word> shownMemory_;
  std::vector<Word> stopMemory_;
  std::array<Word, CCpu::kCount> shownRegisters_{};
  std::array<Word, CCpu::kCount> stopRegisters_{};
  std::bitset<kMemoryWords> watchedAtStop_;
};

}  // namespace tolvane::debugger
