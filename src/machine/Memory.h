#pragma once
// The COMET II main memory: 65536 words, and beside them the machine's cache of
// decoded instructions.
//
// The machine decodes the instruction at an address once (operation, register,
// index slot, address word) and executes the decoded form until one of the two
// words it was decoded from changes. Every write goes through this class, which
// drops the decodes that read the written word: the instruction starting at
// that address and the one starting one word before it (whose second word it
// may be). Nothing can write a word behind the cache's back: reads are plain,
// writes are Store, Fill or assignment through operator[].
#include <array>
#include <cstdint>
#include <memory>

#include "common/Word.h"

namespace tolvane {

namespace machine_detail {
// What the machine executes for an operation (internal to the machine).
enum class Handler : std::uint8_t;
// One decoded instruction (see CpuCore.h).
struct Decoded {
  Handler handler;  // Handler{0}: not decoded (yet)
  std::uint8_t r;   // r or r1: 0-7
  std::uint8_t x;   // x or r2: 0-7
  bool readsNext;   // a two-word instruction: the word after it is part of the decode
  Word adr;         // the second word (two-word instructions)
  Word unused2 = 0;
};
struct MemoryAccess;
}  // namespace machine_detail

class Memory {
 public:
  // Assignment through operator[]: stores the word (and drops the decodes that read it).
  class WordRef {
   public:
    operator Word() const { return memory_->words_[address_]; }
    WordRef& operator=(Word value) {
      memory_->Store(address_, value);
      return *this;
    }
    // A word copied through two references; copying a word onto itself stores it again.
    WordRef& operator=(const WordRef& other) {  // NOLINT(bugprone-unhandled-self-assignment)
      return *this = static_cast<Word>(other);
    }

   private:
    friend class Memory;
    WordRef(Memory* memory, Word address) : memory_(memory), address_(address) {}
    Memory* memory_;
    Word address_;
  };

  Memory();  // all words 0
  Memory(const Memory& other);
  Memory& operator=(const Memory& other);
  ~Memory();

  static constexpr std::size_t size() { return kMemoryWords; }
  Word operator[](Word address) const { return words_[address]; }
  WordRef operator[](Word address) { return WordRef(this, address); }
  const Word* data() const { return words_.data(); }
  // Read-only iteration over the words.
  const Word* begin() const { return words_.data(); }
  const Word* end() const { return words_.data() + kMemoryWords; }

  void Store(Word address, Word value) {
    words_[address] = value;
    InvalidateDecode(address);
  }
  // Every word set to `value`.
  void fill(Word value);

  // Drops the cached decodes that read the word at `address`. Store does this
  // itself; it is public for code that must say so explicitly.
  void InvalidateDecode(Word address) {
    decoded_[address] = machine_detail::Decoded{};
    decoded_[static_cast<Word>(address - 1)] = machine_detail::Decoded{};
  }
  // Drops every cached decode.
  void InvalidateAllDecodes();

  // Compares the words only.
  friend bool operator==(const Memory& a, const Memory& b) { return a.words_ == b.words_; }

 private:
  friend struct machine_detail::MemoryAccess;
  struct Free {
    void operator()(machine_detail::Decoded* p) const;
  };
  std::array<Word, kMemoryWords> words_{};
  // Zero pages from the system: a short run touches only the entries of the
  // code it executes.
  std::unique_ptr<machine_detail::Decoded[], Free> decoded_;
  bool decodesClean_ = true;  // nothing decoded since the cache was last emptied
};

}  // namespace tolvane
