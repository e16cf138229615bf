// Many short keys looked for in one text at once.
//
// Every item (a trigger, say) names one key of one to four bytes that a
// text must hold for the item to have a chance; one pass over a text finds
// every item whose key it holds, however many items there are.  The pass
// looks at each position through a table of the keys' first two bytes
// (64 KiB, which says which key lengths begin there) and only where that
// says yes asks a hash table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarnel {

// A key of one to four bytes as one number, its length in the top byte.
std::uint64_t PackKey(std::string_view key);

class LiteralIndex {
 public:
  static constexpr std::size_t kLongestKey = 4;

  // Forgets every key.
  void Clear();
  // Item `id` waits for `key` (1 to 4 bytes; longer keys are cut).
  void Add(std::uint32_t id, std::string_view key);
  // Takes back an Add with the same id and key.
  void Remove(std::uint32_t id, std::string_view key);
  bool Empty() const { return items_ == 0; }

  // Appends to `out` every item whose key occurs in `text`, each once.
  void Find(std::string_view text, std::vector<std::uint32_t>& out);

 private:
  struct Bucket {
    std::vector<std::uint32_t> ids;
    std::uint32_t seen = 0;  // the pass that last reported these
  };
  struct Slot {
    std::uint64_t key = 0;  // 0: free (a real key has its length in it)
    std::uint32_t bucket = 0;
  };

  Slot* Lookup(std::uint64_t key);
  void Grow();

  std::vector<Slot> slots_;  // open addressing, a power of two long
  std::vector<Bucket> buckets_;
  // For the first two bytes of keys of two or more: bit n set when a key
  // of n bytes begins with them (64 KiB, made with the first such key).
  std::vector<std::uint8_t> pairs_;
  std::vector<std::uint64_t> pair_bits_;  // pairs that begin a key: a small table to ask first
  std::uint64_t singles_[4] = {};   // keys of one byte
  std::uint64_t firsts_[4] = {};    // first bytes of the longer keys
  unsigned lengths_ = 0;            // bit n: keys of n bytes exist
  std::size_t items_ = 0;
  std::uint32_t pass_ = 0;
};

// The literal runs of a trigger pattern: the text between its captures
// ("%0" to "%9"), every one of which a matching subject holds as it is.
std::vector<std::string_view> PatternRuns(std::string_view pattern);

// Counts how many patterns could use each key, so that a pattern can be
// given the key that fewest others share.
class KeyChooser {
 public:
  // Offers the pattern's keys (every window of kLongestKey bytes of its
  // runs, or its longest run when none is that long).
  void Count(std::string_view pattern);
  // The key for the pattern: among its windows the one fewest patterns
  // offered, a window without blanks first.  Empty when the pattern holds
  // no literal at all.
  std::string Choose(std::string_view pattern) const;

 private:
  template <typename F>
  static void Windows(std::string_view pattern, F&& f);
  std::unordered_map<std::uint64_t, int> counts_;
};

}  // namespace tarnel
