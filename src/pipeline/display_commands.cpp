// "/highlight" and "/gag".

#include <cstring>

#include "interp/client.h"
#include "interp/commands.h"
#include "interp/set_result.h"
#include "interp/words.h"
#include "text/case_fold.h"
#include "text/numbers.h"

namespace tarnel {

void CmdHighlight(Client& c, const CommandCall& call) {
  const int words = WordCount(call.params);
  const std::string needle = WordAt(call.params, 1);
  if (words < 2 || words > 4 || needle.empty()) {
    c.ParamError(call.word);
    return;
  }
  const std::string rest = WordsFrom(call.params, 2);
  const std::string back = WordAt(rest, 1);
  const std::string fore = WordAt(rest, 2);
  const bool word_only = text::UpperAscii(rest).find("/W") != std::string::npos;
  const bool has_fore = !fore.empty() && text::UpperAscii(fore) != "/W";
  const auto back_bits = static_cast<CellAttribute>((text::IntegerOr(back, 0) & 15) << 4);
  const auto fore_bits = static_cast<CellAttribute>(text::IntegerOr(fore, 0) & 15);

  TScreen& screen = c.main_screen;
  constexpr std::size_t kSearched = 300;
  for (int row = 0; row < screen.ScreenRows(); ++row) {
    TLine* line = screen.RowLine(row);
    if (line == nullptr) continue;
    const std::string_view chars(line->Chars, kSearched);
    const auto at = chars.find(needle);
    if (at == std::string_view::npos) continue;
    const std::size_t from = word_only ? at : 0;
    const std::size_t to = word_only ? at + needle.size() : static_cast<std::size_t>(kLineCells);
    for (std::size_t col = from; col < to; ++col) {
      CellAttribute& a = line->Attrs[col];
      a = static_cast<CellAttribute>((a & 0x0F) | back_bits);
      if (has_fore) a = static_cast<CellAttribute>((a & 0xF0) | fore_bits);
    }
    screen.MarkCell(row, static_cast<int>(from));
    screen.MarkCell(row, static_cast<int>(to) - 1);
  }
  c.host.RepaintTerminal(TerminalId::Main);
}

void CmdGag(Client& c, const CommandCall& call) {
  const std::string key = Unquote(call.params);
  if (key.empty()) return;
  // A name ends at its first "=": such a key could only be stored cut in two.
  if (key.find('=') != std::string::npos) {
    c.ParamError(call.word);
    return;
  }
  RunSetStatement(c, call, "\"replaces." + key + "\"=/gag");
}

}  // namespace tarnel
