#pragma once
// The record of executed instructions that lets the debugger go back.
//
// The machine is deterministic: its state after a step follows from the state
// before it and, for an IN, the line it read. So the journal keeps what cannot
// be worked out again and little else: every memory word an instruction (or
// the debugger, outside any instruction) overwrites with its old value, the
// lines INs read, the steps whose OUT wrote a console line, and now and then
// (at most every `interval` steps, when the machine is entered) a checkpoint
// of the registers. Going back to step T restores the last checkpoint at or
// before T (the words written since, in reverse, then its registers) and
// executes the steps from there to T again, with the lines read then and
// without the console. Most instructions thus cost the recording nothing at
// all, a store one small record.
//
// The budget: at least `maxSteps` steps (1,048,576 by default) are kept when
// the words and lines they wrote fit kStoreRecords records (16 MB) and
// `inputBudget` bytes (16 MB); beyond that the oldest steps go first, a
// checkpoint's stretch at a time.
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "common/Word.h"
#include "machine/Cpu.h"

namespace tolvane {

class Memory;

class StepJournal {
 public:
  static constexpr std::size_t kMaxSteps = std::size_t{1} << 20;
  static constexpr std::size_t kInputBudget = std::size_t{16} << 20;
  static constexpr std::size_t kStoreRecords = std::size_t{1} << 22;  // 4-byte records
  static constexpr unsigned kInterval = 1024;

  // Smaller limits and intervals are for tests of the limits.
  explicit StepJournal(std::size_t maxSteps = kMaxSteps, std::size_t inputBudget = kInputBudget,
                       unsigned interval = kInterval);
  StepJournal(const StepJournal&) = delete;
  StepJournal& operator=(const StepJournal&) = delete;
  ~StepJournal();

  void Clear();
  // Steps that can be undone.
  std::size_t Size() const {
    return checkpoints_.empty() ? 0 : static_cast<std::size_t>(steps_ - checkpoints_.front().step);
  }
  bool Empty() const { return Size() == 0; }

  // ---- recording (the machine) ----
  // The machine is entered with these registers; a checkpoint is taken when
  // the last one is `interval` steps old.
  void Enter(const CCpu& cpu);
  // The machine leaves after completing `steps` instructions (an overflowing
  // or undefined one is no step: it changed nothing).
  void Leave(std::uint64_t steps) { steps_ += steps; }
  // The step that is `offset` steps after the machine was entered.
  std::uint64_t StepAt(std::uint64_t offset) const { return steps_ + offset; }
  // A word about to be overwritten, with its value before.
  struct StoreRecord {
    Word address, old;
  };
  void Store(Word address, Word old) {
    if (storeHead_ - storeTail_ == storeMask_ + 1) [[unlikely]]
      MakeRoomForStores();
    stores_[storeHead_ & storeMask_] = {address, old};
    ++storeHead_;
  }
  // Many of them at once, in the order made (the machine collects the stores
  // of a run in a small buffer of its own: one copy here costs less than a
  // write into this large store per store).
  void Store(const StoreRecord* records, std::size_t count);
  // Around an IN (step `step`): the words it may overwrite, before; what it
  // stored and read, after.
  void BeforeInput(const Memory& memory, Word gr1, Word gr2);
  void AfterInput(const Memory& memory, std::uint64_t step);
  // An OUT (step `step`) wrote a console line.
  void Output(std::uint64_t step) { outputs_.push_back(step); }

  // ---- changes made outside instructions ----
  // A word the debugger overwrote (the end-of-program address pushed again
  // when a finished program restarts, an edit of memory). Going back to a
  // step before it undoes it.
  void StoreOutside(Word address, Word old) { Store(address, old); }
  // The debugger changed the machine outside an instruction (a register or
  // word edited, the restart after the end): the steps from here on start
  // from the changed state, so the next entry takes a checkpoint.
  void ChangedOutside() { changed_ = true; }

  // ---- going back ----
  struct Undone {
    std::size_t steps = 0;
    std::vector<Bytes> lines;  // what the undone INs read, in order (1AH: end of input)
    int outputs = 0;           // console lines of OUT to withdraw
  };
  // Undoes the last `count` steps (fewer when fewer are kept). Returns
  // Undone::steps, 0 when nothing changed.
  Undone StepBack(CCpu& cpu, Memory& memory, std::size_t count);

  // Bytes the lines and words of the INs take now (for tests and the budget).
  std::size_t InputBytes() const { return inputBytes_; }

 private:
  struct Checkpoint {
    std::uint64_t step;
    std::uint64_t store;  // the first store record after it
    std::array<Word, CCpu::kCount> registers;
  };
  struct Input {
    std::uint64_t step;
    Bytes line;
  };
  void Push(const CCpu& cpu);
  // Drops the oldest checkpoint's stretch (its steps, words, lines, outputs).
  bool DropOldest();
  void MakeRoomForStores();
  void KeepBudget();

  std::size_t maxSteps_;
  std::size_t inputBudget_;
  unsigned interval_;
  std::uint64_t steps_ = 0;  // steps executed since the journal was cleared
  std::unique_ptr<StoreRecord[]> stores_;
  std::uint64_t storeMask_;
  std::uint64_t storeHead_ = 0, storeTail_ = 0;
  std::deque<Checkpoint> checkpoints_;
  std::deque<Input> inputs_;
  std::size_t inputBytes_ = 0;
  std::deque<std::uint64_t> outputs_;
  // The words an IN may overwrite, taken before it reads.
  std::vector<Word> pendingOld_;
  Word pendingGr1_ = 0, pendingGr2_ = 0, pendingOldLength_ = 0;
  bool changed_ = false;  // see ChangedOutside
};

}  // namespace tolvane
