#include "script.h"

#include <charconv>
#include <limits>

#include "burst.h"
#include "text_escapes.h"

namespace tarnel::testserver {
namespace {

constexpr int kDefaultPauseMs = 30;
constexpr int kDefaultTimeoutMs = 5000;
// A burst is held in memory while it goes out; more than this is a typo.
constexpr int kLargestBurst = 256 << 20;

bool ReadNumber(std::string_view text, int min, int max, int& value) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value >= min && value <= max;
}

// Bytes that no inflate accepts: 0xFF is neither a valid zlib header nor a
// valid block header, whichever the client expects next.
std::string Garbage(int size) {
  std::string out(static_cast<size_t>(size), '\0');
  unsigned x = 2463534242u;
  for (char& c : out) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  if (!out.empty()) out[0] = '\xff';
  return out;
}

class Parser {
 public:
  explicit Parser(Script& script) : script_(script) {}

  bool Line(std::string_view line, int number, std::string& error) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos || line[start] == '#') return true;
    std::string_view rest = line.substr(start);
    size_t space = rest.find(' ');
    std::string_view word = rest.substr(0, space);
    std::string_view arg = space == std::string_view::npos ? "" : rest.substr(space + 1);
    step_ = Step();
    step_.line = number;
    step_.source = std::string(rest);
    std::string problem;
    if (!Command(word, arg, problem)) {
      error = "line " + std::to_string(number) + ": " + problem + ": " + step_.source;
      return false;
    }
    return true;
  }

 private:
  using Op = Step::Op;

  void Add(Op op) {
    step_.op = op;
    if (op == Op::Expect && step_.bytes.size() > script_.longest_expect)
      script_.longest_expect = step_.bytes.size();
    script_.steps.push_back(step_);
  }

  bool Send(std::string bytes) {
    step_.bytes = std::move(bytes);
    Add(Op::Send);
    return true;
  }

  bool Command(std::string_view word, std::string_view arg, std::string& problem) {
    if (closed_) {
      problem = "nothing can follow close";
      return false;
    }
    std::string bytes;
    if (word == "send" || word == "line" || word == "prompt") {
      if (!DecodeText(arg, bytes, problem)) return false;
      if (word == "line") bytes += "\r\n";
      return Send(std::move(bytes));
    }
    if (word == "raw") {
      if (!DecodeHex(arg, bytes, problem)) return false;
      return Send(std::move(bytes));
    }
    if (word == "ga") return NoArgument(arg, problem) && Send("\xff\xf9");
    if (word == "offer") {
      if (arg == "compress") return Send("\xff\xfb\x55");
      if (arg == "compress2") return Send("\xff\xfb\x56");
      problem = "offer compress or offer compress2";
      return false;
    }
    if (word == "start") {
      if (arg != "compress" && arg != "compress2") {
        problem = "start compress or start compress2";
        return false;
      }
      if (compressing_) {
        problem = "a compressed stream is already running";
        return false;
      }
      compressing_ = true;
      step_.number = arg == "compress" ? 1 : 2;
      Add(Op::StartCompress);
      return true;
    }
    if (word == "end") {
      if (arg != "compress") {
        problem = "end compress";
        return false;
      }
      if (!compressing_) {
        problem = "no compressed stream is running";
        return false;
      }
      compressing_ = false;
      Add(Op::EndCompress);
      return true;
    }
    if (word == "corrupt") {
      int size = 16;
      if (!arg.empty() && !ReadNumber(arg, 1, 1 << 20, size)) {
        problem = "corrupt takes a byte count from 1";
        return false;
      }
      step_.bytes = Garbage(size);
      Add(Op::Raw);
      return true;
    }
    if (word == "burst") {
      int size = 0;
      if (!ReadNumber(arg, 1, kLargestBurst, size)) {
        problem = "burst takes a byte count from 1";
        return false;
      }
      return Send(Burst(static_cast<size_t>(size)));
    }
    if (word == "split") {
      step_.number = kDefaultPauseMs;
      if (!arg.empty() && !ReadNumber(arg, 0, 600000, step_.number)) {
        problem = "split takes a pause in ms";
        return false;
      }
      Add(Op::Split);
      return true;
    }
    if (word == "chunk") {
      if (arg == "off") {
        step_.number = 0;
        Add(Op::Chunk);
        return true;
      }
      size_t space = arg.find(' ');
      step_.pause_ms = kDefaultPauseMs;
      if (!ReadNumber(arg.substr(0, space), 1, std::numeric_limits<int>::max(), step_.number) ||
          (space != std::string_view::npos &&
           !ReadNumber(arg.substr(space + 1), 0, 600000, step_.pause_ms))) {
        problem = "chunk <bytes> [pause ms] or chunk off";
        return false;
      }
      Add(Op::Chunk);
      return true;
    }
    if (word == "sleep") {
      if (!ReadNumber(arg, 0, 600000, step_.number)) {
        problem = "sleep takes ms";
        return false;
      }
      Add(Op::Sleep);
      return true;
    }
    if (word == "timeout") {
      if (!ReadNumber(arg, 1, 600000, timeout_ms_)) {
        problem = "timeout takes ms";
        return false;
      }
      return true;
    }
    if (word == "expect") {
      if (!DecodeText(arg, step_.bytes, problem)) return false;
      if (step_.bytes.empty()) {
        problem = "expect needs the bytes to wait for";
        return false;
      }
      step_.number = timeout_ms_;
      Add(Op::Expect);
      return true;
    }
    if (word == "expect-eof") {
      if (!NoArgument(arg, problem)) return false;
      step_.number = timeout_ms_;
      Add(Op::ExpectEof);
      return true;
    }
    if (word == "echo") {
      if (arg != "on" && arg != "off") {
        problem = "echo on or echo off";
        return false;
      }
      step_.number = arg == "on";
      Add(Op::Echo);
      return true;
    }
    if (word == "close") {
      if (!NoArgument(arg, problem)) return false;
      closed_ = true;
      Add(Op::Close);
      return true;
    }
    problem = "unknown command \"" + std::string(word) + "\"";
    return false;
  }

  bool NoArgument(std::string_view arg, std::string& problem) {
    if (arg.find_first_not_of(' ') == std::string_view::npos) return true;
    problem = "takes no argument";
    return false;
  }

  Script& script_;
  Step step_;
  int timeout_ms_ = kDefaultTimeoutMs;
  bool compressing_ = false;
  bool closed_ = false;
};

}  // namespace

bool ParseScript(std::string_view text, Script& script, std::string& error) {
  script = Script();
  Parser parser(script);
  int number = 0;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!parser.Line(line, ++number, error)) return false;
  }
  return true;
}

}  // namespace tarnel::testserver
