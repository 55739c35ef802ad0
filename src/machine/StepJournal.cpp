#include "machine/StepJournal.h"

#include "machine/Cpu.h"
#include "machine/Memory.h"
#include "machine/Svc.h"

namespace tolvane {

StepJournal::StepJournal(std::size_t ringRecords, std::size_t inputBudget)
    : ring_(new Record[ringRecords]), mask_(ringRecords - 1), inputBudget_(inputBudget) {
  pendingOld_.reserve(kInputLimit);
}

StepJournal::~StepJournal() = default;

void StepJournal::Clear() {
  head_ = 0;
  highWater_ = 0;
  tail_ = 0;
  inputs_.clear();
  inputBytes_ = 0;
}

void StepJournal::DropOldestInput() {
  const InputUndo& oldest = inputs_.front();
  // Steps up to and including this IN can no longer be undone.
  const std::uint64_t firstKept = oldest.step + 1;
  if (tail_ < firstKept) tail_ = firstKept;
  inputBytes_ -= oldest.Footprint();
  inputs_.pop_front();
}

void StepJournal::BeforeInput(const Memory& memory, Word gr1, Word gr2) {
  pendingGr1_ = gr1;
  pendingGr2_ = gr2;
  pendingOldLength_ = memory[gr2];
  pendingOld_.clear();
  for (std::size_t i = 0; i < kInputLimit; ++i) pendingOld_.push_back(memory[static_cast<Word>(gr1 + i)]);
}

void StepJournal::AfterInput(const Memory& memory) {
  const std::uint64_t step = head_ - 1;  // the record Begin made for this IN
  // Records behind the head were undone and written over; their INs go too,
  // and so do INs whose records the ring has dropped.
  while (!inputs_.empty() && inputs_.back().step >= step) {
    inputBytes_ -= inputs_.back().Footprint();
    inputs_.pop_back();
  }
  while (!inputs_.empty() && inputs_.front().step < head_ - Records()) {
    inputBytes_ -= inputs_.front().Footprint();
    inputs_.pop_front();
  }
  InputUndo in;
  in.step = step;
  in.gr1 = pendingGr1_;
  in.gr2 = pendingGr2_;
  in.oldLength = pendingOldLength_;
  // The line as the machine took it: the length word tells how many characters
  // were stored (FFFFH: end of input, none). Read back from memory, it gives
  // the same words when the IN is executed again with it.
  const Word length = memory[pendingGr2_];
  if (length == kEndOfInput) {
    in.line = "\x1A";
  } else {
    in.oldChars.assign(pendingOld_.begin(), pendingOld_.begin() + length);
    in.line.reserve(length);
    for (Word i = 0; i < length; ++i) in.line.push_back(static_cast<char>(memory[static_cast<Word>(pendingGr1_ + i)]));
  }
  inputBytes_ += in.Footprint();
  inputs_.push_back(std::move(in));
  while (inputBytes_ > inputBudget_ && !inputs_.empty()) DropOldestInput();
}

void StepJournal::RecordRestart(const CCpu& cpu, Word address, Word old) {
  Record* rec = Begin(cpu.GetPR(), cpu.GetFR(), cpu.GetSP(), kLimitRegister, cpu.GetStackLimit());
  rec->kind = kContinuation | kStore;
  rec->addr = address;
  rec->old = old;
}

void StepJournal::Apply(const Record& rec, CCpu& cpu, Memory& memory, Undone& undone) {
  if (rec.kind & kStore) memory.Store(rec.addr, rec.old);
  if (rec.kind & kInput) {
    const std::uint64_t step = head_;  // head_ was moved back onto this record
    if (!inputs_.empty() && inputs_.back().step == step) {
      const InputUndo& in = inputs_.back();
      // Only old values are written, so the order of the words does not matter.
      memory.Store(in.gr2, in.oldLength);
      for (std::size_t i = 0; i < in.oldChars.size(); ++i) memory.Store(static_cast<Word>(in.gr1 + i), in.oldChars[i]);
      undone.input = true;
      undone.line = in.line;
      inputBytes_ -= in.Footprint();
      inputs_.pop_back();
    }
  }
  if (rec.kind & kOutput) ++undone.outputs;
  cpu.SetPR(rec.pr);
  cpu.SetFR(rec.fr);
  cpu.SetSP(rec.sp);
  if (rec.r == kLimitRegister)
    cpu.SetStackLimit(rec.gr);
  else
    cpu.SetRegister(rec.r, rec.gr);
}

bool StepJournal::StepBack(CCpu& cpu, Memory& memory, Undone& undone) {
  undone = Undone{};
  if (Records() == 0) return false;
  KeepHighWater();
  for (;;) {
    --head_;
    const Record rec = ring_[head_ & mask_];
    Apply(rec, cpu, memory, undone);
    // A continuation without its step (dropped by the budget) ends here as well.
    if (!(rec.kind & kContinuation) || Records() == 0) return true;
  }
}

}  // namespace tolvane
