#include "pipeline/literal_index.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace tarnel {

std::uint64_t PackKey(std::string_view key) {
  const std::size_t n = std::min(key.size(), LiteralIndex::kLongestKey);
  std::uint32_t v = 0;
  std::memcpy(&v, key.data(), n);
  return (static_cast<std::uint64_t>(n) << 56) | v;
}

namespace {

inline std::size_t Hash(std::uint64_t key, std::size_t mask) {
  return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ULL) >> 40) & mask;
}

// Where a key of n bytes, read as a number (first byte lowest), has its
// bit: one byte and two are their own index; three and four are hashed.
inline unsigned BitOf(std::uint32_t v, std::size_t n) {
  if (n <= 2) return v;
  return (v * 0x9E3779B1u) >> 16;
}
// The pre-filter pays off on texts at least this long, while there are at
// most this many keys of three and four bytes (more fill its tables).
constexpr std::size_t kFilteredText = 256;
constexpr std::size_t kFilteredKeys = 64;

constexpr std::size_t kTableBits[LiteralIndex::kLongestKey + 1] = {0, 256, 1u << 16, 1u << 16, 1u << 16};

inline bool Has(const std::uint64_t* bits, unsigned n) { return (bits[n >> 6] >> (n & 63)) & 1; }
inline void Set(std::uint64_t* bits, unsigned n) { bits[n >> 6] |= std::uint64_t{1} << (n & 63); }

// The n bytes at p as a number; `room` says how many bytes may be read.
// Three bytes are read as four and cut where there is room: three single
// byte stores read back as one word stall the load.
inline std::uint32_t Load(const char* p, std::size_t n, std::size_t room) {
  if (n == 1) return static_cast<unsigned char>(p[0]);
  if (n == 2) {
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
  }
  if (n == 3 && room < 4) {
    return static_cast<unsigned char>(p[0]) | (static_cast<std::uint32_t>(static_cast<unsigned char>(p[1])) << 8) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(p[2])) << 16);
  }
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return n == 3 ? v & 0xFFFFFFu : v;
}

}  // namespace

void LiteralIndex::Clear() {
  slots_.clear();
  buckets_.clear();
  for (auto& bits : bits_) bits.clear();
  shift_.clear();
  shift3_.clear();
  lengths_ = 0;
  items_ = 0;
  long_keys_ = 0;
  filter_stale_ = true;
}

LiteralIndex::Slot* LiteralIndex::Lookup(std::uint64_t key) {
  if (slots_.empty()) return nullptr;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = Hash(key, mask);; i = (i + 1) & mask) {
    Slot& s = slots_[i];
    if (s.key == key) return &s;
    if (s.key == 0) return nullptr;
  }
}

void LiteralIndex::Grow() {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(old.empty() ? 64 : old.size() * 2, Slot());
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& s : old) {
    if (s.key == 0) continue;
    std::size_t i = Hash(s.key, mask);
    while (slots_[i].key != 0) i = (i + 1) & mask;
    slots_[i] = s;
  }
}

void LiteralIndex::Add(std::uint32_t id, std::string_view key) {
  if (key.empty()) return;
  if (key.size() > kLongestKey) key = key.substr(0, kLongestKey);
  const std::uint64_t packed = PackKey(key);
  Slot* slot = Lookup(packed);
  if (slot == nullptr) {
    if ((buckets_.size() + 1) * 2 > slots_.size()) Grow();
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = Hash(packed, mask);
    while (slots_[i].key != 0) i = (i + 1) & mask;
    slots_[i].key = packed;
    slots_[i].bucket = static_cast<std::uint32_t>(buckets_.size());
    buckets_.emplace_back();
    slot = &slots_[i];
    if (key.size() >= 3) {
      ++long_keys_;
      filter_stale_ = true;
    }
  }
  buckets_[slot->bucket].ids.push_back(id);
  ++items_;
  lengths_ |= 1u << key.size();
  std::vector<std::uint64_t>& bits = bits_[key.size()];
  if (bits.empty()) bits.assign(kTableBits[key.size()] / 64, 0);
  Set(bits.data(), BitOf(static_cast<std::uint32_t>(packed), key.size()));
  // A window of m bytes ending in the pair at key[q - 1..q] is m - 1 - q
  // bytes short of ending the key's first m bytes.
  auto learn = [&key](std::vector<std::uint8_t>& shift, std::size_t m) {
    if (shift.empty()) shift.assign(1u << 16, static_cast<std::uint8_t>(m - 1));
    for (std::size_t q = 1; q < m; ++q) {
      std::uint8_t& s = shift[Load(key.data() + q - 1, 2, 2)];
      s = std::min(s, static_cast<std::uint8_t>(m - 1 - q));
    }
  };
  if (key.size() == kLongestKey) learn(shift_, kLongestKey);
  if (key.size() >= 3) learn(shift3_, 3);
}

void LiteralIndex::Remove(std::uint32_t id, std::string_view key) {
  if (key.empty()) return;
  if (key.size() > kLongestKey) key = key.substr(0, kLongestKey);
  Slot* slot = Lookup(PackKey(key));
  if (slot == nullptr) return;
  std::vector<std::uint32_t>& ids = buckets_[slot->bucket].ids;
  const auto it = std::find(ids.begin(), ids.end(), id);
  if (it == ids.end()) return;
  ids.erase(it);
  --items_;
  // The key stays in the tables: a key nobody waits for costs a look and
  // finds nothing.
}

void LiteralIndex::Find(std::string_view text, std::vector<std::uint32_t>& out) {
  if (items_ == 0) return;
  if (++pass_ == 0) {
    for (Bucket& b : buckets_) b.seen = 0;
    pass_ = 1;
  }
  const std::size_t mask = slots_.size() - 1;
  auto report = [&](std::uint64_t key) {
    for (std::size_t i = Hash(key, mask);; i = (i + 1) & mask) {
      const Slot& s = slots_[i];
      if (s.key == 0) return;
      if (s.key != key) continue;
      Bucket& b = buckets_[s.bucket];
      if (b.seen != pass_) {
        b.seen = pass_;
        out.insert(out.end(), b.ids.begin(), b.ids.end());
      }
      return;
    }
  };
  const char* p = text.data();
  const std::size_t n = text.size();
  // One pass per key length in use; the text is in the cache after the
  // first.  Every length gets its own loop, so each is a load, a test and
  // a rare branch per byte.
  auto pass = [&](auto length) {
    constexpr std::size_t len = decltype(length)::value;
    const std::uint64_t* bits = bits_[len].data();
    constexpr std::uint64_t tag = static_cast<std::uint64_t>(len) << 56;
    for (std::size_t j = 0; j + len <= n; ++j) {
      const std::uint32_t v = Load(p + j, len, n - j);
      if (Has(bits, BitOf(v, len))) report(tag | v);
    }
  };
  constexpr std::uint64_t kTag3 = std::uint64_t{3} << 56;
  constexpr std::uint64_t kTag4 = static_cast<std::uint64_t>(kLongestKey) << 56;
  // Each step of the shift loops waits for the step before it (the shift
  // read decides where the next read is), so a long text is walked as two
  // halves at once: two such chains keep the processor twice as busy.
  // The first walk looks at the windows ending before `middle`, the
  // second at the rest.
  auto two_walks = [&](std::size_t first, auto&& step) {
    std::size_t a = first;
    std::size_t b = n;
    std::size_t middle = n;
    if (n >= first + 32) {
      middle = first + (n - first) / 2;
      b = middle;
    }
    while (a < middle && b < n) {
      a = step(a);
      b = step(b);
    }
    while (a < middle) a = step(a);
    while (b < n) b = step(b);
  };
  if ((lengths_ & 24u) != 0 && n >= kFilteredText && n <= UINT32_MAX && long_keys_ <= kFilteredKeys &&
      NibbleFilter::Available()) {
    if (filter_stale_) {
      std::vector<std::string> keys;
      for (const Slot& s : slots_) {
        const std::size_t len = static_cast<std::size_t>(s.key >> 56);
        if (len < 3) continue;
        const auto v = static_cast<std::uint32_t>(s.key);
        keys.emplace_back(reinterpret_cast<const char*>(&v), len);
      }
      filter_.Build(std::vector<std::string_view>(keys.begin(), keys.end()));
      filter_stale_ = false;
    }
    candidates_.clear();
    filter_.Candidates(text, candidates_);
    const std::uint64_t* bits3 = (lengths_ & (1u << 3)) ? bits_[3].data() : nullptr;
    const std::uint64_t* bits4 = (lengths_ & (1u << 4)) ? bits_[kLongestKey].data() : nullptr;
    for (const std::uint32_t j : candidates_) {
      if (bits4 != nullptr && j + kLongestKey <= n) {
        const std::uint32_t v4 = Load(p + j, kLongestKey, kLongestKey);
        if (Has(bits4, BitOf(v4, kLongestKey))) report(kTag4 | v4);
      }
      if (bits3 != nullptr && j + 3 <= n) {
        const std::uint32_t v3 = Load(p + j, 3, n - j);
        if (Has(bits3, BitOf(v3, 3))) report(kTag3 | v3);
      }
    }
  } else if (lengths_ & (1u << 3) && n >= 3) {
    // Keys of three and the first three bytes of keys of four end where
    // the shift table says 0; pos is the last byte of the window of three.
    const std::uint8_t* shift = shift3_.data();
    const std::uint64_t* bits3 = bits_[3].data();
    const std::uint64_t* bits4 = (lengths_ & (1u << 4)) ? bits_[kLongestKey].data() : nullptr;
    two_walks(2, [&](std::size_t pos) {
      const unsigned s = shift[Load(p + pos - 1, 2, 2)];
      if (s != 0) return pos + s;
      const std::uint32_t v3 = Load(p + pos - 2, 3, n - pos + 2);
      if (Has(bits3, BitOf(v3, 3))) report(kTag3 | v3);
      if (bits4 != nullptr && pos + 1 < n) {
        const std::uint32_t v4 = Load(p + pos - 2, kLongestKey, kLongestKey);
        if (Has(bits4, BitOf(v4, kLongestKey))) report(kTag4 | v4);
      }
      return pos + 1;
    });
  } else if (lengths_ & (1u << 4) && n >= kLongestKey) {
    // pos is the last byte of the window looked at.
    const std::uint8_t* shift = shift_.data();
    const std::uint64_t* bits = bits_[kLongestKey].data();
    two_walks(kLongestKey - 1, [&](std::size_t pos) {
      const unsigned s = shift[Load(p + pos - 1, 2, 2)];
      if (s != 0) return pos + s;
      const std::uint32_t v = Load(p + pos + 1 - kLongestKey, kLongestKey, kLongestKey);
      if (Has(bits, BitOf(v, kLongestKey))) report(kTag4 | v);
      return pos + 1;
    });
  }
  if (lengths_ & (1u << 2)) pass(std::integral_constant<std::size_t, 2>());
  if (lengths_ & (1u << 1)) pass(std::integral_constant<std::size_t, 1>());
}

std::vector<std::string_view> PatternRuns(std::string_view pattern) {
  // The same reading of "%" as the matcher's: a digit after it makes a
  // capture, anything else leaves it a literal byte.
  std::vector<std::string_view> runs;
  std::size_t start = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '0' && pattern[i + 1] <= '9') {
      if (i > start) runs.push_back(pattern.substr(start, i - start));
      start = i + 2;
      ++i;
    }
  }
  if (start < pattern.size()) runs.push_back(pattern.substr(start));
  return runs;
}

template <typename F>
void KeyChooser::Windows(std::string_view pattern, F&& f) {
  const std::vector<std::string_view> runs = PatternRuns(pattern);
  std::size_t longest = 0;
  for (std::string_view r : runs) longest = std::max(longest, r.size());
  for (std::string_view r : runs) {
    if (longest >= LiteralIndex::kLongestKey) {
      for (std::size_t i = 0; i + LiteralIndex::kLongestKey <= r.size(); ++i)
        f(r.substr(i, LiteralIndex::kLongestKey));
    } else if (r.size() == longest && longest > 0) {
      f(r);
    }
  }
}

void KeyChooser::Count(std::string_view pattern) {
  Windows(pattern, [this](std::string_view w) { ++counts_[PackKey(w)]; });
}

std::string KeyChooser::Choose(std::string_view pattern) const {
  std::string_view best;
  long best_score = 0;
  Windows(pattern, [&](std::string_view w) {
    const auto it = counts_.find(PackKey(w));
    long score = (it == counts_.end() ? 0 : it->second) * 2L;
    if (w.find(' ') != std::string_view::npos) ++score;
    if (best.empty() || score < best_score) {
      best = w;
      best_score = score;
    }
  });
  return std::string(best);
}

}  // namespace tarnel
