// Map files from outside, laid out and walked.  The input's first piece
// (up to the first NUL) is written as a map file and loaded with
// "/loadmap"; the bytes after it are moves (the first 16), each byte one step:
//   low three bits 0-6: "/nav" with w n e s u d x; 7: Alt+Backspace
//   bit 3: recording off for this step
//   bits 4-5: map.flat for this step: empty, "A", "B", or "A;B=C"
//   bit 6: "/flag" instead (the letter ";" or "Z")
//   bit 7: "/appendmap" of the input's own file
// Nothing may crash, and:
//  - a map that loads saves lines that load back to the same lines;
//  - every link of every room, the current room and every slot of the
//    layout point at rooms of the map (or the filler);
//  - no saved line of a recorded map has fields shifted by a name.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_set>

#include "fuzz_host.h"
#include "fuzz_sandbox.h"
#include "mapper/map_commands.h"
#include "mapper/map_file.h"
#include "mapper/map_layout.h"
#include "script/text_file.h"

namespace {

using namespace tarnel;
using tarnel::fuzz::FuzzClient;

constexpr std::size_t kMostMoves = 16;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "map_fuzz: %s\n", what);
  __builtin_trap();
}

FuzzClient& Fuzzer() {
  static FuzzClient* fc = new FuzzClient();
  return *fc;
}

void WriteFile(const char* name, std::string_view bytes) {
  std::FILE* f = std::fopen(name, "wb");
  if (f == nullptr) __builtin_trap();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

std::string ReadFile(const char* name) {
  std::string content;
  if (!ReadWholeFile(name, content)) Fail("a saved map cannot be read");
  return content;
}

void CheckPointers(const MapModel& m) {
  std::unordered_set<const tmudcell*> rooms;
  for (const auto& e : m.CellList.Entries()) rooms.insert(e.cell.get());
  for (const auto& e : m.CellList.Entries())
    for (int k = 0; k < kDirections; ++k) {
      if (e.cell->links[k] != nullptr && rooms.count(e.cell->links[k]) == 0) Fail("a link to a room not in the map");
      if (e.cell->backRefs[k] != nullptr && rooms.count(e.cell->backRefs[k]) == 0)
        Fail("a back reference to a room not in the map");
    }
  if (m.CurrentRoom() != nullptr && rooms.count(m.CurrentRoom()) == 0) Fail("the current room is not in the map");
  for (const int i : m.LayoutGrid.FilledSlots()) {
    const tmudcell* s = m.LayoutGrid[i];
    if (s != nullptr && s != &m.FillerCell && rooms.count(s) == 0) Fail("a slot holds a room not in the map");
  }
  if (m.CurrentRoom() != nullptr && m.Centre() != m.CurrentRoom()) Fail("the centre is not the current room");
}

// Every line of the map saves and reads back to itself.
void CheckLines(const MapModel& m) {
  for (const auto& e : m.CellList.Entries()) {
    const std::string line = FormatCellLine(*e.cell);
    const auto back = ParseCellLine(line);
    if (!back || FormatCellLine(*back) != line) Fail("a room's line does not read back");
  }
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
  const auto nul = input.find('\0');
  const std::string_view file = input.substr(0, nul);
  const std::string_view moves = nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);
  {
    tarnel::fuzz::InSandbox in_sandbox;
    WriteFile("in.tmm", file);
    const int loads = c.map.loads;
    c.ExecuteCommand("/loadmap in.tmm", false);
    CheckPointers(c.map);
    if (c.map.loads != loads) {
      // A file the client did not write may list rooms under texts other
      // than their ids (a line without "="), so its first save can come
      // out in another order; from then on what is saved loads back the
      // same.
      c.ExecuteCommand("/savemap a.tmm", false);
      c.ExecuteCommand("/loadmap a.tmm", false);
      c.ExecuteCommand("/savemap b.tmm", false);
      c.ExecuteCommand("/loadmap b.tmm", false);
      c.ExecuteCommand("/savemap c.tmm", false);
      if (ReadFile("b.tmm") != ReadFile("c.tmm")) Fail("a saved map loads back otherwise");
    }
    c.ExecuteCommand("/set map.located=1", false);
    static const char* const kFlats[] = {"/set map.flat=", "/set map.flat=A", "/set map.flat=B",
                                         "/set map.flat={A;B=C}"};
    // One move is one batch, as a player's alias would type it: the
    // panels are refreshed once for it, not after each of its commands.
    for (std::size_t i = 0; i < moves.size() && i < kMostMoves; ++i) {
      const auto b = static_cast<unsigned char>(moves[i]);
      std::string batch = (b & 8) ? "/set map._autograb=off;" : "/set map._autograb=on;";
      batch += kFlats[(b >> 4) & 3];
      if (b & 0x80) {
        batch += ";/appendmap in.tmm";
      } else if (b & 0x40) {
        batch += (b & 1) ? ";/flag {;}" : ";/flag Z";
      } else if ((b & 7) != 7) {
        batch += std::string(";/nav ") + "wnesudx"[b & 7];
      }
      c.ExecuteCommand(batch, false);
      if ((b & 0xC7) == 7) TakeBackLastRoom(c);
      c.ExecuteCommand("/set map.located=1", false);
      CheckPointers(c.map);
    }
    CheckLines(c.map);
  }
  fc.Reset();
  return 0;
}
