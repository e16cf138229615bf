// Many short keys looked for in one text at once.
//
// Every item (a trigger, say) names one key of one to four bytes that a
// text must hold for the item to have a chance; one pass over a text finds
// every item whose key it holds, however many items there are.  For each
// key length in use a table of bits says which keys may begin at a
// position: the byte itself for keys of one, the two bytes for keys of two
// (8 KiB), a hash of the bytes for keys of three and four (8 KiB each).
// Only where a table says yes is the hash table of keys asked.  Keys of
// four bytes, nearly all of them, are not looked for at every position:
// the last two bytes of a window say how far the nearest window that can
// end a key lies ahead (a shift table of 64 KiB), so the pass mostly steps
// three bytes at a time; with keys of three in use, one such pass finds
// both lengths, two bytes at a time.  A long text and few keys of three
// and four bytes go through a vector pre-filter instead (NibbleFilter),
// and only the positions it lets pass are looked at.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "pipeline/nibble_filter.h"

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
  // How many passes a Find makes over its text: one for keys of one, one
  // for keys of two, one for keys of three and four.
  int Passes() const { return __builtin_popcount(lengths_ & 6u) + ((lengths_ & 24u) != 0); }

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
  // Per key length n (1 to 4), a bit for every key of n bytes (see the
  // top); a table is made with the first key of its length.
  std::vector<std::uint64_t> bits_[kLongestKey + 1];
  // For keys of four bytes: per pair of bytes, how many bytes a window
  // ending in it may move on before it can end a key (0: it may end one).
  std::vector<std::uint8_t> shift_;
  // The same for windows of three, from keys of three and the first three
  // bytes of keys of four: used when keys of three exist.
  std::vector<std::uint8_t> shift3_;
  // The pre-filter for keys of three and four bytes, made again at the
  // first long text after such a key came.
  NibbleFilter filter_;
  bool filter_stale_ = true;
  std::size_t long_keys_ = 0;  // keys of three and four bytes
  std::vector<std::uint32_t> candidates_;
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
