// The client's list of text lines.
//
// Lines keep their insertion order.  A line "name=value" has a name (the text
// before its first "="), a group (the name before its first ".") and a short
// name (the name after that "."; a name without "." is its own short name).
// Two private indexes answer lookups by full and by short name without
// scanning; names compare without regard to letter case, and when a name
// stands in the list twice the line added first is the one found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarnel {

class TStringList {
 public:
  int Count() const { return static_cast<int>(lines_.size()); }
  bool Empty() const { return lines_.empty(); }
  const std::string& operator[](int i) const { return lines_[static_cast<std::size_t>(i)]; }
  const std::vector<std::string>& Lines() const { return lines_; }
  // A stamp that changes with every change of the lines and is never
  // reused (a copy carries it along with the lines), so a reader can keep
  // what it derived from the lines while the stamp stays the same.
  std::uint64_t Changes() const { return changes_; }
  // The same for the layout alone: lines added, removed, moved or renamed
  // (a change of letter case too).  While it stays, every line keeps its
  // name byte for byte at the same position (values may have changed).
  std::uint64_t LayoutChanges() const { return layout_changes_; }

  // Append a line; the indexes learn its names (first wins).
  int Add(std::string line);
  // Insert before position i (0..Count); indexes are rebuilt.
  void Insert(int i, std::string line);
  // Replace the line at i, keeping its position.
  void Put(int i, std::string line);
  // Replace the value of the line at i, keeping its name (the line must have
  // a "="); the line's storage is reused.  name_length, when given, is the
  // length of the line's name (it saves looking for the "=").
  void SetValueAt(int i, std::string_view value, std::size_t name_length = std::string::npos);
  // Delete the line at i and rebuild both indexes.
  void DeleteAt(int i);
  // Deletes every line for which pred is true and rebuilds the indexes once;
  // returns how many went.
  template <typename Pred>
  int RemoveIf(Pred pred) {
    std::vector<std::string> kept;
    kept.reserve(lines_.size());
    int removed = 0;
    for (auto& line : lines_) {
      if (pred(static_cast<const std::string&>(line)))
        ++removed;
      else
        kept.push_back(std::move(line));
    }
    lines_ = std::move(kept);
    Touch(true);
    RebuildIndexes();
    return removed;
  }
  void Clear();

  // Position of the first line with this name, or -1.  The index always
  // knows every name, so this never scans the lines.
  int IndexOfName(std::string_view name) const;
  // Position of a line by short name through the short-name index only, or -1.
  int IndexOfShortName(std::string_view short_name) const;

  // The value of the named line, or empty.
  std::string GetValue(std::string_view name) const;
  // Replace or append name=value; an empty value deletes the line.
  void SetValue(std::string_view name, std::string_view value);

  static std::string_view NameOf(std::string_view line);
  static std::string_view ValueOf(std::string_view line);
  static std::string_view GroupOf(std::string_view name);
  static std::string_view ShortOf(std::string_view name);
  std::string_view NameAt(int i) const { return NameOf((*this)[i]); }
  std::string_view ValueAt(int i) const { return ValueOf((*this)[i]); }

  // Lines from a text file (CR LF, LF or CR ends a line).  False when the file
  // cannot be read; the list is unchanged then.
  bool LoadFromFile(std::string_view path);
  // Lines to a text file with CR LF ends, written beside it and renamed into
  // place, so a failed write leaves the old file whole.
  bool SaveToFile(std::string_view path) const;
  void SetText(std::string_view text);
  std::string Text() const;

 private:
  struct FoldHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept;
  };
  struct FoldEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept;
  };
  using Index = std::unordered_map<std::string, int, FoldHash, FoldEqual>;

  void Touch(bool layout);
  void IndexLine(int i);
  void RebuildIndexes();

  std::vector<std::string> lines_;
  std::uint64_t changes_ = 0;
  std::uint64_t layout_changes_ = 0;
  Index full_;
  Index short_;
};

}  // namespace tarnel
