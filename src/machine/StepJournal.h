#pragma once
// The record of executed instructions that lets the debugger go back.
//
// Every instruction executed with a journal attached to the machine's hooks
// leaves one fixed-size record in a ring: PR, FR and SP before it, the one
// general register it may change (its r field; POP's too), and the memory word
// it overwrites (ST, PUSH, CALL) with its old value. What an IN overwrites
// (the length word and up to 256 characters) does not fit a record; it goes to
// a side store with the line that was read. Going back applies the record in
// reverse: the words through Memory::Store (which drops the machine's decodes
// of them), then the registers.
//
// The budget is fixed: kRingRecords records of 16 bytes (16 MB, 1,048,576
// instructions) and at most kInputBudget bytes for the INs (16 MB). When
// either is full, the oldest steps are dropped first.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "common/Word.h"

namespace tolvane {

class CCpu;
class Memory;

class StepJournal {
 public:
  // What a record restores besides PR, FR, SP and its register.
  enum Kind : std::uint8_t {
    kPlain = 0,
    kStore = 1,         // the word at `addr` had `old`
    kInput = 2,         // an IN: its words and line are in the side store
    kOutput = 4,        // an OUT: one console line to withdraw
    kContinuation = 8,  // belongs to the step recorded before it (the debugger's restart after the end)
  };
  // r = kLimitRegister: `gr` is the stack limit, not a general register.
  static constexpr std::uint8_t kLimitRegister = 0xFF;

  struct Record {
    Word pr, fr, sp, gr;
    Word addr, old;  // the word a kStore record restores
    std::uint8_t r, kind;
    std::uint8_t pad[2];
  };
  static_assert(sizeof(Record) == 16);

  static constexpr std::size_t kRingRecords = std::size_t{1} << 20;
  static constexpr std::size_t kInputBudget = std::size_t{16} << 20;

  // `ringRecords` (a power of two) and `inputBudget` are for tests of the limits.
  explicit StepJournal(std::size_t ringRecords = kRingRecords, std::size_t inputBudget = kInputBudget);
  StepJournal(const StepJournal&) = delete;
  StepJournal& operator=(const StepJournal&) = delete;
  ~StepJournal();

  void Clear();
  // Steps that can be undone. A continuation is part of the step before it;
  // only the newest record can be one (the program has ended after it).
  std::size_t Size() const {
    const std::uint64_t n = Records();
    return static_cast<std::size_t>(n - (n != 0 && (ring_[(head_ - 1) & mask_].kind & kContinuation) ? 1 : 0));
  }
  bool Empty() const { return Records() == 0; }

  // ---- recording (the machine) ----
  // A new record for the instruction about to execute, filled with the
  // registers before it; the caller adds its kind and word. (This is all the
  // recording does for most instructions, so it keeps no count: see Records.)
  Record* Begin(Word pr, Word fr, Word sp, std::uint8_t r, Word gr) {
    Record* rec = &ring_[head_ & mask_];
    ++head_;
    rec->pr = pr;
    rec->fr = fr;
    rec->sp = sp;
    rec->gr = gr;
    rec->r = r;
    rec->kind = kPlain;
    return rec;
  }
  // The instruction did not execute (stack overflow, undefined word).
  void Cancel() {
    KeepHighWater();
    --head_;
  }
  // Around an IN: the words it may overwrite, before; what it read, after.
  void BeforeInput(const Memory& memory, Word gr1, Word gr2);
  void AfterInput(const Memory& memory);
  // A change made outside an instruction that belongs to the last step (the
  // restart after the final RET): the registers before it, and one word.
  void RecordRestart(const CCpu& cpu, Word address, Word old);

  // ---- going back ----
  struct Undone {
    bool input = false;  // an IN was undone; `line` is what it read (1AH: end of input)
    Bytes line;
    int outputs = 0;  // console lines of OUT to withdraw
  };
  // Undoes the last step. False (nothing changed) when nothing is recorded.
  bool StepBack(CCpu& cpu, Memory& memory, Undone& undone);

  // Bytes the side store holds now (for tests and the budget).
  std::size_t InputBytes() const { return inputBytes_; }

 private:
  struct InputUndo {
    std::uint64_t step;  // the index of its record
    Word gr1, gr2;
    Word oldLength;
    std::vector<Word> oldChars;  // the words at gr1 ... that the line overwrote
    Bytes line;
    std::size_t Footprint() const { return sizeof(InputUndo) + oldChars.capacity() * sizeof(Word) + line.capacity(); }
  };
  void Apply(const Record& rec, CCpu& cpu, Memory& memory, Undone& undone);
  // Before head_ moves back: a slot holds the record of the highest index
  // written to it, so what lies more than a ring below the highest head is gone.
  void KeepHighWater() {
    if (head_ > highWater_) highWater_ = head_;
  }
  // Records that can be undone: from the oldest still in the ring (and not
  // dropped with an IN) to the newest at head_ - 1.
  std::uint64_t Records() const {
    const std::uint64_t top = head_ > highWater_ ? head_ : highWater_;
    std::uint64_t oldest = top > mask_ + 1 ? top - (mask_ + 1) : 0;
    if (oldest < tail_) oldest = tail_;
    return head_ > oldest ? head_ - oldest : 0;
  }
  void DropOldestInput();

  std::unique_ptr<Record[]> ring_;
  std::uint64_t mask_;
  std::uint64_t head_ = 0;       // index of the next record
  std::uint64_t highWater_ = 0;  // the highest head_ since the last Clear (see KeepHighWater)
  std::uint64_t tail_ = 0;       // records below this index were dropped with an IN
  std::size_t inputBudget_;
  std::size_t inputBytes_ = 0;
  std::deque<InputUndo> inputs_;
  // The words an IN may overwrite, taken before it reads.
  std::vector<Word> pendingOld_;
  Word pendingGr1_ = 0, pendingGr2_ = 0, pendingOldLength_ = 0;
};

}  // namespace tolvane
