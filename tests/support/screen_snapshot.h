// Everything an observer of a screen can see, as one text, so two screens
// can be compared in one go.
#pragma once

#include <string>

#include "terminal/screen.h"

namespace tarnel::test {

inline std::string ScreenSnapshot(const TScreen& s) {
  std::string out;
  for (int r = -s.HistoryRows(); r < s.ScreenRows(); ++r) {
    const TLine* line = s.RowLine(r);
    out.append(line->Chars, kLineCells);
    out.append(reinterpret_cast<const char*>(line->Attrs), kLineCells);
  }
  const int fields[] = {s.CursorRow,      s.CursorCol,        s.SavedRow(),
                        s.SavedCol(),     s.CurAttr,          s.AttrDepth(),
                        s.ReverseOn(),    s.HistoryTop(),     s.RegionTop(),
                        s.RegionBottom(), s.ScrollCount,      s.AllDirty,
                        s.DirtyRect.Left, s.DirtyRect.Top,    s.DirtyRect.Right,
                        s.DirtyRect.Bottom, s.WrapAtMargin,   s.TranslateIn,
                        s.CursorHidden,   s.LiteralCount(),   s.InEscape(),
                        s.InputTable == &kLineGraphicsTable,
                        s.OutputTable == &kLineGraphicsTable};
  for (const int f : fields) out += std::to_string(f) + ",";
  out += s.SeqBuffer();
  return out;
}

}  // namespace tarnel::test
