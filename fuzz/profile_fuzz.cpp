// Profiles and script files from arbitrary bytes: the file is written into
// the private folder and loaded the ways a player loads one.  Nothing may
// crash, and a profile the client saved must load back to the same store:
// saving it again writes the same lines.
//
// Input: a mode byte, then the file.  Mode (low two bits):
//   0  "/load p.tmc": a new profile from the file, then the round trip
//      "/save p.tmc", "/load p.tmc", compared
//   1  "/include p.tmc" into the seeded store
//   2  "/execute p.tmc"
//   3  the file's statements run directly, with fresh local lists
// The file may include itself ("include p.tmc"): includes are relative to
// the working folder, which is the private one.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "fuzz_host.h"
#include "fuzz_sandbox.h"
#include "interp/commands.h"
#include "script/exact_line.h"
#include "script/profile_writer.h"
#include "script/text_file.h"
#include "text/paths.h"

namespace {

using namespace tarnel;
using tarnel::fuzz::FuzzClient;

// The lines a save of the default profile writes.  A profile cannot say
// that one of them was freed: loading it puts them back, in their own
// places.  They are left out of the comparison.
const std::unordered_set<std::string>& DefaultLines() {
  static const std::unordered_set<std::string> lines = [] {
    fuzz::FuzzHost host;
    Client fresh(host);
    fresh.DefaultProfile();
    TStringList text;
    text.SetText(BuildProfileText(fresh.store));
    return std::unordered_set<std::string>(text.Lines().begin(), text.Lines().end());
  }();
  return lines;
}

std::string WithoutDefaults(const std::string& saved) {
  const auto& defaults = DefaultLines();
  std::string out;
  for (std::size_t from = 0; from < saved.size();) {
    const std::size_t end = saved.find('\n', from);
    const std::string line = saved.substr(from, end - from);
    from = end + 1;
    if (defaults.contains(line)) continue;
    out += line;
    out += '\n';
  }
  return out;
}

FuzzClient* MakeFuzzer() {
  auto* f = new FuzzClient();
  ScriptStore& store = f->client.store;
  store.Macros().Add("default.k=kill %1");
  store.Functions().Add("default.sum(a,b)=/set local.result=(%local.a+%local.b)");
  store.Triggers().Add("default.^%1 says: %2$=/set said=%2");
  store.Hotkeys().Add("default.F5=/echo F5");
  store.Variables().Add("default.x=5");
  // A profile of a thousand bytes runs some hundred statements, each of
  // which lets the message loop run once.  A loop or a file that loads
  // itself is stopped after that: with a budget of 2000 such inputs took
  // most of the run, at a third of the rate.
  f->host.pump_budget = 300;
  // A file that loads itself nests to the interpreter's bound at every
  // load, each level a whole new profile: such inputs came to fill the
  // corpus at a fifth of the rate.  Sixteen levels still reach the nesting
  // of any real profile.
  f->host.depth_budget = 16;
  f->SaveBaseline();
  return f;
}

FuzzClient& Fuzzer() {
  static FuzzClient* fc = MakeFuzzer();
  return *fc;
}

// The lines a save writes.  "/set" makes the names of the log and the
// profile absolute, so the default profile's "standart.log" comes back as
// a full path: those two are left out.  Every variable named like an
// include record is saved as an include, and a load records each file it
// includes once, by its full path: a variable the profile set under such
// a name ("/set global._include2=x.tmc") comes back as that file's record.
// So includes count as the set of full paths they name, none empty.
std::string SavedLines(Client& c) {
  // Split as a list would read the text, without building its indexes.
  const std::vector<std::string> lines = SplitTextLines(BuildProfileText(c.store));
  std::string out;
  std::vector<std::string> includes;
  auto include = [&](std::string_view path) {
    if (path.empty()) return;
    std::string full = text::ExpandFileName(path);
    if (std::find(includes.begin(), includes.end(), full) == includes.end()) includes.push_back(std::move(full));
  };
  for (const std::string& line : lines) {
    if (line.starts_with("set var global._logfile=") || line.starts_with("set var global._profile=")) continue;
    if (line.starts_with("include {") && line.ends_with("}")) {
      include(std::string_view(line).substr(9, line.size() - 10));
      continue;
    }
    if (auto exact = ReadExactLine(line); exact && exact->kind_word.empty()) {
      include(exact->value);
      continue;
    }
    out += line;
    out += '\n';
  }
  for (const std::string& full : includes) out += "include " + full + '\n';
  return out;
}

// Whether the profile includes a file other than itself that is there to
// be read.  A saved profile holds the includes among its variables, after
// every other entry, so a reload reads such a file after the entries: what
// it defines wins over what the profile defined after including it.  That
// is the file format (a shared file stays the authority), and a profile
// can write such a file itself while it loads ("/save" under another
// name), so the reload cannot be compared.
bool IncludesAnotherFile(Client& c) {
  const std::string self = text::ExpandFileName("p.tmc");
  const TStringList& vars = c.store.Variables();
  for (int i = 0; i < vars.Count(); ++i) {
    if (!vars.NameAt(i).starts_with("global._include")) continue;
    const std::string value(vars.ValueAt(i));
    if (value.empty()) continue;
    const std::string full = text::ExpandFileName(value);
    if (full == self) continue;
    if (std::FILE* f = std::fopen(text::NativePath(full).c_str(), "rb")) {
      std::fclose(f);
      return true;
    }
  }
  return false;
}

void WriteFile(const char* name, std::string_view bytes) {
  std::FILE* f = std::fopen(name, "wb");
  if (f == nullptr) __builtin_trap();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  tarnel::fuzz::InitSandbox(argc, argv);
  Fuzzer();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  FuzzClient& fc = Fuzzer();
  Client& c = fc.client;
  const int mode = data[0] & 3;
  {
    tarnel::fuzz::InSandbox in_sandbox;
    WriteFile("p.tmc", std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    switch (mode) {
      case 0: {
        c.ExecuteCommand("/load p.tmc", true);
        // A load the player had to stop is partial by design, and one that
        // includes another file ends with that file's entries: what it left
        // is saved, but there is nothing to compare a reload with.
        if (fc.host.breakalls > 0 || IncludesAnotherFile(c)) {
          c.ExecuteCommand("/save p.tmc", true);
          break;
        }
        const std::string first = WithoutDefaults(SavedLines(c));
        c.ExecuteCommand("/save p.tmc", true);
        // The second load gets a budget of its own.
        fc.host.pumps = 0;
        fc.host.shown = 0;
        c.ExecuteCommand("/load p.tmc", true);
        const std::string second = WithoutDefaults(SavedLines(c));
        if (fc.host.breakalls == 0 && first != second) {
          std::fprintf(stderr, "profile_fuzz: a saved profile loads back otherwise:\n--- saved\n");
          std::fwrite(first.data(), 1, first.size(), stderr);
          std::fprintf(stderr, "--- loaded back\n");
          std::fwrite(second.data(), 1, second.size(), stderr);
          __builtin_trap();
        }
        break;
      }
      case 1: c.ExecuteCommand("/include p.tmc", true); break;
      case 2: c.ExecuteCommand("/execute p.tmc", true); break;
      default: {
        TStringList local_vars, local_funcs;
        c.interp.RaiseDepth();
        LoadScriptFile(c, "p.tmc", local_vars, local_funcs);
        c.interp.LowerDepth();
        break;
      }
    }
  }
  fc.Reset();
  return 0;
}
