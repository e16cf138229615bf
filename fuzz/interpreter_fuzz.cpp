// Command text through the interpreter, as the player types it, against a
// store seeded with macros, functions, triggers, hotkeys, arguments and the
// default profile.  Nothing may crash, and every batch must leave the
// command depth where it found it.
//
// Input: lines (LF ends one).  A line is typed into the command line,
// except that a line starting with byte 1 is server text (its triggers
// run) and one starting with byte 2 presses the hotkey it names.
//
// Files are written in a private folder (the working folder while an input
// runs, emptied after it); the socket sends nowhere and a connection
// attempt is answered at once.  Loops that may run for ever ("/while",
// "/N cmd") see "/breakall" after a few hundred turns of the message loop.
// Runaway recursion the interpreter does not bound shows as a timeout.

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_host.h"
#include "fuzz_sandbox.h"
#include "text/cp1251.h"

namespace {

using namespace tarnel;
using namespace tarnel::literals;
using tarnel::fuzz::FuzzClient;

FuzzClient* MakeFuzzer() {
  auto* f = new FuzzClient();
  ScriptStore& store = f->client.store;
  for (const char* m : {"default.k=kill %1", "default.say2=say %1 and %2*",
                        "default.count=/set i=0;/while (%i<3) {/inc i}",
                        "default.both=/k %1;/say2 %0"})
    store.Macros().Add(m);
  for (const char* fn : {"default.sum(a,b)=/set local.result=(%local.a+%local.b)",
                         "default.up(s)=/set local.result=%local.s!",
                         "default.pick(x)=/if (%local.x>1) {/set local.result=big} else {/set local.result=small}"})
    store.Functions().Add(fn);
  for (const char* t : {"default.^%1 says: %2$=/set said=%2", "default.You are hungry=eat bread",
                        "default.%1 hits you=/inc hits"})
    store.Triggers().Add(t);
  store.Triggers().Add(std::string("default.Вас ударил %1.=/echo {ой: %1}"_cp));
  for (const char* h : {"default.F5=/echo F5", "default.CTRL+F1=k orc", "default.NUM8=north"})
    store.Hotkeys().Add(h);
  for (const char* v : {"default.x=5", "default.name=orc", "default.list=a,b,c", "default.hits=0",
                        "default.cmd=/echo hi", "off.hidden=1"})
    store.Variables().Add(v);
  store.Groups().Add("group.off=off");
  f->SaveBaseline();
  return f;
}

// One client for the whole process.
FuzzClient& Fuzzer() {
  static FuzzClient* fc = MakeFuzzer();
  return *fc;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  tarnel::fuzz::InitSandbox(argc, argv);
  Fuzzer();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzClient& fc = Fuzzer();
  Client& c = fc.client;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  {
    tarnel::fuzz::InSandbox in_sandbox;
    for (std::size_t from = 0; from <= input.size();) {
      const auto lf = input.find('\n', from);
      const std::string_view line = input.substr(from, lf == std::string_view::npos ? std::string_view::npos : lf - from);
      from = lf == std::string_view::npos ? input.size() + 1 : lf + 1;
      if (!line.empty() && line[0] == '\x01') {
        c.incoming.ProcessIncoming(std::string(line.substr(1)) + "\r\n");
      } else if (!line.empty() && line[0] == '\x02') {
        const std::string command = c.store.FindEnabled(EntryKind::Hotkeys, line.substr(1));
        if (!command.empty()) {
          c.interp.RaiseDepth();
          c.ExecuteCommand(command, true);
          c.interp.LowerDepth();
        }
      } else {
        c.ExecuteCommand(line, true);
      }
    }
  }
  fc.Reset();
  return 0;
}
