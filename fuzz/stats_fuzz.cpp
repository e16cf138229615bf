// The item stats database from outside input: stats files, game text
// parsed by the default profile's trigger, records typed with "/addstats",
// and "/stats" queries over all of them.  Nothing may crash, and:
//  - every stored record is normalised and filed under its own item name;
//  - normalising is idempotent, and a record added is the one found;
//  - a saved stats list loads back line for line;
//  - after "/appendstats" no item name stands twice and the list is sorted;
//  - a report's pieces are at least 2048 characters but the last, which
//    carries the total;
//  - game text, whatever its item names, makes the client send nothing.
//
// Input: a mode byte, then NUL-separated pieces.  Mode (low two bits):
//   0  the first piece is a stats file: loaded, queried with the other
//      pieces, saved and loaded back, then appended to itself
//   1  the first piece is game text, read in pieces as long as the others,
//      parsed by the item trigger; then the other pieces are queries
//   2  lines of the first piece are records for "/addstats" ("?" in front:
//      a query)
//   3  the pieces straight to the normaliser and the report

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_host.h"
#include "fuzz_sandbox.h"
#include "stats/stats_database.h"
#include "text/case_fold.h"
#include "text/cp1251.h"

namespace {

using namespace tarnel;
using namespace tarnel::literals;
using tarnel::fuzz::FuzzClient;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "stats_fuzz: %s\n", what);
  __builtin_trap();
}

FuzzClient* MakeFuzzer() {
  auto* f = new FuzzClient();
  f->host.keep_sent = true;
  return f;
}

FuzzClient& Fuzzer() {
  static FuzzClient* fc = MakeFuzzer();
  return *fc;
}

std::vector<std::string_view> Pieces(std::string_view body) {
  std::vector<std::string_view> pieces;
  for (std::size_t from = 0;;) {
    const auto nul = body.find('\0', from);
    pieces.push_back(body.substr(from, nul == std::string_view::npos ? std::string_view::npos : nul - from));
    if (nul == std::string_view::npos) break;
    from = nul + 1;
  }
  return pieces;
}

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t from = 0; from <= text.size();) {
    const auto lf = text.find('\n', from);
    lines.push_back(text.substr(from, lf == std::string_view::npos ? std::string_view::npos : lf - from));
    from = lf == std::string_view::npos ? text.size() + 1 : lf + 1;
  }
  return lines;
}

void CheckRecords(const TStringList& list) {
  for (const std::string& line : list.Lines()) {
    const std::string_view value = TStringList::ValueOf(line);
    if (NormaliseStats(value) != value) Fail("a stored record is not normalised");
    if (TStringList::NameOf(line) != StatsItemName(value)) Fail("a record is filed under another name");
  }
}

void CheckReport(const TStringList& list, std::string_view query) {
  const std::vector<std::string> pieces = StatsReport(list, query, 80);
  if (pieces.empty()) Fail("a report without its total");
  for (std::size_t k = 0; k + 1 < pieces.size(); ++k)
    if (pieces[k].size() < 2048) Fail("a report piece before the last is short");
  if (pieces.back().find("Итого по запросу: "_cp) == std::string::npos) Fail("the last piece lacks the total");
}

void CheckNormalise(std::string_view text) {
  const std::string once = NormaliseStats(text);
  if (NormaliseStats(once) != once) Fail("normalising a record twice changes it");
  if (once.empty() || once.back() != ',') Fail("a normalised record does not end with a comma");
}

// A line of a stats file without "=" is its own name there.
std::string_view ItemName(std::string_view line) { return line.substr(0, line.find('=')); }

void CheckSorted(const TStringList& list) {
  for (int i = 1; i < list.Count(); ++i) {
    const int c = text::CompareText(ItemName(list[i - 1]), ItemName(list[i]));
    if (c == 0) Fail("an item stands twice after removing duplicates");
    if (c > 0) Fail("the list is not sorted after removing duplicates");
  }
}

// Reports cost the most: at most this many per input (their pieces
// are checked in mode 3, straight from the report).
constexpr int kMaxQueries = 4;

void Query(Client& c, std::string_view q, int& left) {
  if (left <= 0) return;
  --left;
  c.ExecuteCommand("/stats " + std::string(q), false);
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
  const std::vector<std::string_view> pieces =
      Pieces(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  int queries = kMaxQueries;
  {
    tarnel::fuzz::InSandbox in_sandbox;
    switch (data[0] & 3) {
      case 0: {
        WriteFile("stats.tms", pieces[0]);
        c.ExecuteCommand("/loadstats stats.tms", false);
        for (std::size_t k = 1; k < pieces.size(); ++k) Query(c, pieces[k], queries);
        c.ExecuteCommand("/savestats saved.tms", false);
        TStringList back;
        if (!back.LoadFromFile("saved.tms")) Fail("a saved stats file cannot be read");
        if (back.Lines() != c.StatsList.Lines()) Fail("a saved stats list loads back otherwise");
        c.ExecuteCommand("/appendstats stats.tms", false);
        CheckSorted(c.StatsList);
        break;
      }
      case 1: {
        c.connection.OnConnected();
        const std::string_view text = pieces[0];
        std::size_t from = 0;
        for (std::size_t k = 1; k < pieces.size() && from < text.size(); ++k) {
          const std::size_t n = pieces[k].size() + 1;
          c.connection.OnRead(text.substr(from, n));
          from += n;
        }
        if (from < text.size()) c.connection.OnRead(text.substr(from));
        c.connection.OnRead("\r\n> ");
        CheckRecords(c.StatsList);
        // The item trigger only parses: whatever the item's name, game text
        // makes the client send nothing but answers to negotiations.
        for (std::size_t at = 0; at < fc.host.sent.size(); at += 3)
          if (fc.host.sent[at] != '\xFF') Fail("game text made the client send a line");
        for (std::size_t k = 1; k < pieces.size(); ++k) Query(c, pieces[k], queries);
        break;
      }
      case 2: {
        for (std::string_view line : Lines(pieces[0])) {
          if (!line.empty() && line[0] == '?') {
            Query(c, line.substr(1), queries);
            continue;
          }
          CheckNormalise(line);
          c.ExecuteCommand("/addstats " + std::string(line), false);
        }
        CheckRecords(c.StatsList);
        break;
      }
      default: {
        TStringList list;
        for (std::string_view p : pieces) {
          CheckNormalise(p);
          if (!StoreStats(list, p)) continue;
          const std::string record = NormaliseStats(p);
          const int at = list.IndexOfName(StatsItemName(record));
          if (at < 0 || list.ValueAt(at) != record) Fail("a record added is not the one found");
        }
        CheckRecords(list);
        for (std::size_t k = 0; k < pieces.size() && k < kMaxQueries; ++k) CheckReport(list, pieces[k]);
        RemoveDuplicateItems(list);
        CheckSorted(list);
        break;
      }
    }
  }
  fc.Reset();
  return 0;
}
