// Which positions of a text may begin one of a few short keys, found
// thirty-two positions at a time.
//
// The keys are shared out among eight buckets.  For each of a key's first
// four bytes two tables of sixteen entries say which buckets hold a key
// with that low half, and that high half, of a byte there.  A position
// whose next four bytes leave some bucket in all eight tables may begin a
// key of that bucket; every position where a key begins is such a
// position.  With a few dozen keys hardly any other position passes, so a
// long text costs a fraction of a byte-by-byte walk.  The tables fill up
// as keys are added, and then nearly every position passes: the filter is
// meant for few keys.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace tarnel {

class NibbleFilter {
 public:
  // Whether this processor can run the filter (it needs AVX2).
  static bool Available();

  // Takes the keys (one to four bytes each; longer ones are cut), replacing
  // those it had.
  void Build(std::vector<std::string_view> keys);
  // Appends to `out` every position of `text` where one of the keys may
  // begin (a superset of those where one does), in order.
  void Candidates(std::string_view text, std::vector<std::uint32_t>& out) const;

 private:
  // [byte of the key][low or high half][entry], each table twice: the
  // processor looks tables up in each half of a register separately.
  alignas(32) unsigned char tables_[4][2][32] = {};
};

}  // namespace tarnel
