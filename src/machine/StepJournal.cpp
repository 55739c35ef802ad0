#include "machine/StepJournal.h"

#include <algorithm>

#include "machine/Memory.h"
#include "machine/Svc.h"

namespace tolvane {

namespace {

// The console while steps are executed again: an IN takes the line it read the
// first time, an OUT shows nothing (its line is on the console already).
class ReplayingConsole : public ConsolePort {
 public:
  explicit ReplayingConsole(std::vector<Bytes> lines) : lines_(std::move(lines)) {}
  Bytes ConsoleReadLine() override { return next_ < lines_.size() ? lines_[next_++] : Bytes("\x1A"); }
  void ConsoleWrite(const Bytes&) override {}

 private:
  std::vector<Bytes> lines_;
  std::size_t next_ = 0;
};

}  // namespace

StepJournal::StepJournal(std::size_t maxSteps, std::size_t inputBudget, unsigned interval)
    : maxSteps_(maxSteps),
      inputBudget_(inputBudget),
      interval_(interval ? interval : 1),
      stores_(new StoreRecord[kStoreRecords]),
      storeMask_(kStoreRecords - 1) {
  pendingOld_.reserve(kInputLimit);
}

StepJournal::~StepJournal() = default;

void StepJournal::Clear() {
  steps_ = 0;
  changed_ = false;
  storeHead_ = storeTail_ = 0;
  checkpoints_.clear();
  inputs_.clear();
  inputBytes_ = 0;
  outputs_.clear();
}

void StepJournal::Push(const CCpu& cpu) { checkpoints_.push_back({steps_, storeHead_, cpu.Registers()}); }

void StepJournal::Enter(const CCpu& cpu) {
  if (!changed_ && !checkpoints_.empty() && steps_ - checkpoints_.back().step < interval_) return;
  changed_ = false;
  // A checkpoint of the same step (a change made before any step since)
  // takes the state as changed.
  if (!checkpoints_.empty() && checkpoints_.back().step == steps_) {
    checkpoints_.back().registers = cpu.Registers();
    checkpoints_.back().store = storeHead_;
    return;
  }
  Push(cpu);
  KeepBudget();
}

bool StepJournal::DropOldest() {
  if (checkpoints_.size() < 2) return false;
  checkpoints_.pop_front();
  const Checkpoint& first = checkpoints_.front();
  storeTail_ = first.store;
  while (!inputs_.empty() && inputs_.front().step < first.step) {
    inputBytes_ -= sizeof(Input) + inputs_.front().line.capacity();
    inputs_.pop_front();
  }
  while (!outputs_.empty() && outputs_.front() < first.step) outputs_.pop_front();
  return true;
}

void StepJournal::KeepBudget() {
  // Whole stretches go, as long as what stays still holds maxSteps steps
  // once the step about to be executed is done.
  while (checkpoints_.size() >= 2 && steps_ + 1 - checkpoints_[1].step >= maxSteps_) DropOldest();
  while (inputBytes_ > inputBudget_ && DropOldest()) {
  }
}

void StepJournal::MakeRoomForStores() {
  // A stretch holds at most `interval` steps of 257 words each, far below the
  // store budget; the oldest stretches make room.
  while (storeHead_ - storeTail_ > storeMask_ && DropOldest()) {
  }
  if (storeHead_ - storeTail_ > storeMask_) Clear();  // nothing could be kept: start afresh
}

void StepJournal::Store(const StoreRecord* records, std::size_t count) {
  while (count > 0) {
    if (storeHead_ - storeTail_ == storeMask_ + 1) MakeRoomForStores();
    const std::uint64_t at = storeHead_ & storeMask_;
    const std::size_t room = std::min<std::uint64_t>(storeMask_ + 1 - at, storeMask_ + 1 - (storeHead_ - storeTail_));
    const std::size_t n = std::min(count, room);
    std::copy(records, records + n, stores_.get() + at);
    storeHead_ += n;
    records += n;
    count -= n;
  }
}

void StepJournal::BeforeInput(const Memory& memory, Word gr1, Word gr2) {
  pendingGr1_ = gr1;
  pendingGr2_ = gr2;
  pendingOldLength_ = memory[gr2];
  pendingOld_.clear();
  for (std::size_t i = 0; i < kInputLimit; ++i) pendingOld_.push_back(memory[static_cast<Word>(gr1 + i)]);
}

void StepJournal::AfterInput(const Memory& memory, std::uint64_t step) {
  // The line as the machine took it: the length word tells how many characters
  // were stored (FFFFH: end of input, none). Read back from memory, it gives
  // the same words when the IN is executed again with it.
  const Word length = memory[pendingGr2_];
  Input in{step, Bytes()};
  if (length == kEndOfInput) {
    in.line = "\x1A";
  } else {
    in.line.reserve(length);
    for (Word i = 0; i < length; ++i) {
      Store(static_cast<Word>(pendingGr1_ + i), pendingOld_[i]);
      in.line.push_back(static_cast<char>(memory[static_cast<Word>(pendingGr1_ + i)]));
    }
  }
  // The length word last: written after the characters, it is undone first.
  Store(pendingGr2_, pendingOldLength_);
  inputBytes_ += sizeof(Input) + in.line.capacity();
  inputs_.push_back(std::move(in));
  KeepBudget();
}

StepJournal::Undone StepJournal::StepBack(CCpu& cpu, Memory& memory, std::size_t count) {
  Undone undone;
  count = std::min(count, Size());
  if (count == 0) return undone;
  const std::uint64_t target = steps_ - count;
  // The last checkpoint at or before the target.
  std::size_t c = checkpoints_.size() - 1;
  while (checkpoints_[c].step > target) --c;
  const Checkpoint from = checkpoints_[c];

  // What the undone steps did on the console, and the lines to read again
  // on the way from the checkpoint to the target.
  std::vector<Bytes> again;
  for (Input& in : inputs_) {
    if (in.step >= target)
      undone.lines.push_back(std::move(in.line));
    else if (in.step >= from.step)
      again.push_back(std::move(in.line));
  }
  for (std::uint64_t out : outputs_) undone.outputs += out >= target;

  // Back to the checkpoint: the words in reverse, then the registers.
  for (std::uint64_t i = storeHead_; i > from.store; --i) {
    const StoreRecord& r = stores_[(i - 1) & storeMask_];
    memory.Store(r.address, r.old);
  }
  cpu.Registers() = from.registers;
  storeHead_ = from.store;
  checkpoints_.resize(c + 1);
  while (!inputs_.empty() && inputs_.back().step >= from.step) {
    inputBytes_ -= sizeof(Input) + inputs_.back().line.capacity();
    inputs_.pop_back();
  }
  while (!outputs_.empty() && outputs_.back() >= from.step) outputs_.pop_back();
  steps_ = from.step;
  changed_ = false;  // a change made since is undone with the steps

  // And forward again to the target, recording as the first time.
  ReplayingConsole console(std::move(again));
  MachineHooks hooks;
  hooks.journal = this;
  while (steps_ < target) {
    const std::uint64_t before = steps_;
    cpu.Execute(memory, console, &hooks);
    if (steps_ == before) break;  // cannot happen: every recorded step completed
  }
  undone.steps = count;
  return undone;
}

}  // namespace tolvane
