// Trigger patterns: literal text with captures %0..%9, matched in one
// left-to-right scan without backtracking.
#pragma once

#include <string>
#include <string_view>

namespace tarnel {

struct CaptureList {
  static constexpr int kSize = 129;
  struct Capture {
    char name[2] = {'%', '0'};
    std::string text;
    std::string_view Name() const { return std::string_view(name, 2); }
  };
  Capture items[kSize];
  int counter = -1;  // index of the last capture stored

  void Reset() { counter = -1; }
};

bool MatchPattern(std::string_view pattern, std::string_view subject, CaptureList& captures);

// A trigger's command with its captures put in: each capture in turn, in
// the order they were stored, replaces every occurrence of its name ("%1")
// in what the ones before it left.  Into `out`, which keeps its storage.
void SubstituteCaptures(std::string_view command, const CaptureList& captures, std::string& out);

}  // namespace tarnel
