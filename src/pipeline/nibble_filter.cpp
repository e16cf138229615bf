#include "pipeline/nibble_filter.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace tarnel {

namespace {

constexpr std::size_t kKeyBytes = 4;
constexpr int kBuckets = 8;
// The block loads reach three bytes past its last position.
constexpr std::size_t kBlock = 32;
constexpr std::size_t kReach = kBlock + kKeyBytes - 1;

}  // namespace

bool NibbleFilter::Available() {
#if defined(__x86_64__)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  return avx2;
#else
  return false;
#endif
}

void NibbleFilter::Build(std::vector<std::string_view> keys) {
  std::memset(tables_, 0, sizeof tables_);
  if (keys.empty()) return;
  // Keys that begin alike share a bucket, so that its tables stay sparse.
  std::sort(keys.begin(), keys.end());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const auto bit = static_cast<unsigned char>(1u << (i * kBuckets / keys.size()));
    const std::string_view k = keys[i];
    for (std::size_t q = 0; q < kKeyBytes; ++q) {
      for (std::size_t half = 0; half < 32; half += 16) {
        if (q < k.size()) {
          const auto c = static_cast<unsigned char>(k[q]);
          tables_[q][0][half + (c & 15)] |= bit;
          tables_[q][1][half + (c >> 4)] |= bit;
        } else {
          // A short key takes any byte after its end.
          for (std::size_t x = 0; x < 16; ++x) {
            tables_[q][0][half + x] |= bit;
            tables_[q][1][half + x] |= bit;
          }
        }
      }
    }
  }
}

#if defined(__x86_64__)

namespace {

using Tables = unsigned char[4][2][32];

// Bit i: position i of the block may begin a key.  Reads kReach bytes.
__attribute__((target("avx2"), always_inline)) inline std::uint32_t Block(const Tables& t,
                                                                          const unsigned char* p) {
  const __m256i low = _mm256_set1_epi8(0x0F);
  __m256i buckets = _mm256_set1_epi8(-1);
  for (std::size_t q = 0; q < kKeyBytes; ++q) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + q));
    const __m256i lo = _mm256_and_si256(x, low);
    const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(x, 4), low);
    const __m256i by_lo = _mm256_shuffle_epi8(_mm256_load_si256(reinterpret_cast<const __m256i*>(t[q][0])), lo);
    const __m256i by_hi = _mm256_shuffle_epi8(_mm256_load_si256(reinterpret_cast<const __m256i*>(t[q][1])), hi);
    buckets = _mm256_and_si256(buckets, _mm256_and_si256(by_lo, by_hi));
  }
  const __m256i none = _mm256_cmpeq_epi8(buckets, _mm256_setzero_si256());
  return ~static_cast<std::uint32_t>(_mm256_movemask_epi8(none));
}

__attribute__((target("avx2"))) void Scan(const Tables& t, std::string_view text,
                                          std::vector<std::uint32_t>& out) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  auto take = [&](std::size_t base, std::uint32_t bits) {
    for (; bits != 0; bits &= bits - 1)
      out.push_back(static_cast<std::uint32_t>(base + static_cast<std::size_t>(__builtin_ctz(bits))));
  };
  std::size_t i = 0;
  for (; i + kReach <= n; i += kBlock) take(i, Block(t, p + i));
  if (i == n) return;
  // The rest, padded with zero bytes: a position they let pass is checked
  // against the text itself and fails there.
  alignas(32) unsigned char tail[2 * kBlock + kKeyBytes] = {};
  std::memcpy(tail, p + i, n - i);
  for (std::size_t b = 0; i + b < n; b += kBlock) {
    std::uint32_t bits = Block(t, tail + b);
    const std::size_t left = n - i - b;
    if (left < kBlock) bits &= (std::uint32_t{1} << left) - 1;
    take(i + b, bits);
  }
}

}  // namespace

void NibbleFilter::Candidates(std::string_view text, std::vector<std::uint32_t>& out) const {
  if (Available()) {
    Scan(tables_, text, out);
    return;
  }
  for (std::size_t i = 0; i < text.size(); ++i) out.push_back(static_cast<std::uint32_t>(i));
}

#else

void NibbleFilter::Candidates(std::string_view text, std::vector<std::uint32_t>& out) const {
  for (std::size_t i = 0; i < text.size(); ++i) out.push_back(static_cast<std::uint32_t>(i));
}

#endif

}  // namespace tarnel
