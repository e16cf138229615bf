// Trigger patterns against subjects: never a crash, and always the result
// and the captures of the plain byte-at-a-time reading of the rules.
// Input: pattern, a NUL, subject.

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "../tests/support/match_pattern_reference.h"
#include "pipeline/match_pattern.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto nul = input.find('\0');
  if (nul == std::string_view::npos) return 0;
  const std::string_view pattern = input.substr(0, nul);
  const std::string_view subject = input.substr(nul + 1);

  static tarnel::CaptureList fast, plain;
  fast.Reset();
  plain.Reset();
  const bool got = tarnel::MatchPattern(pattern, subject, fast);
  const bool want = tarnel::test::ReferenceMatchPattern(pattern, subject, plain);
  bool same = got == want;
  if (same && got) {
    same = fast.counter == plain.counter;
    for (int k = 0; same && k <= fast.counter; ++k)
      same = fast.items[k].Name() == plain.items[k].Name() &&
             fast.items[k].text == plain.items[k].text;
  }
  if (!same) {
    std::fprintf(stderr, "MatchPattern differs from the plain reading: %d vs %d\n", got, want);
    std::abort();
  }
  return 0;
}
