#include "stats/stats_database.h"

#include <algorithm>

#include "interp/client.h"
#include "interp/words.h"
#include "script/string_list.h"
#include "text/case_fold.h"
#include "text/cp1251.h"

namespace tarnel {

using namespace literals;

namespace {

constexpr std::size_t kReportChunk = 2048;

bool IsSeparator(char c) { return c == ':' || c == ','; }

}  // namespace

std::string NormaliseStats(std::string_view text) {
  // Runs of blanks become one blank.
  std::string single;
  single.reserve(text.size() + 1);
  for (char c : text)
    if (c != ' ' || single.empty() || single.back() != ' ') single += c;
  // No blank next to ":" or ",".  Blanks are single now, so a blank's
  // neighbours are never blanks and one pass settles it.
  std::string s;
  s.reserve(single.size() + 1);
  for (std::size_t i = 0; i < single.size(); ++i) {
    if (single[i] == ' ' && ((i > 0 && IsSeparator(single[i - 1])) ||
                             (i + 1 < single.size() && IsSeparator(single[i + 1]))))
      continue;
    s += single[i];
  }
  std::size_t b = 0;
  while (b < s.size() && s[b] == ' ') ++b;
  std::size_t e = s.size();
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == ',')) --e;
  // A final ","; empty fields go.
  std::string out;
  out.reserve(e - b + 1);
  for (std::size_t i = b; i < e; ++i)
    if (s[i] != ',' || out.empty() || out.back() != ',') out += s[i];
  if (out.empty() || out.back() != ',') out += ',';
  return out;
}

std::string_view StatsItemName(std::string_view record) {
  return record.substr(0, record.find(','));
}

bool StoreStats(TStringList& list, std::string_view text) {
  const std::string record = NormaliseStats(text);
  const std::string_view name = StatsItemName(record);
  // A record is one line of the stats file: a line break in it would come
  // back from the file as several records, and an "=" in the name as
  // another name.
  if (name.empty() || name.find('=') != std::string_view::npos ||
      record.find_first_of("\r\n") != std::string::npos)
    return false;
  std::string line(name);
  line += '=';
  line += record;
  const int idx = list.IndexOfName(name);
  if (idx >= 0)
    list.Put(idx, std::move(line));
  else
    list.Add(std::move(line));
  return true;
}

std::string StatsValue(Client& client, std::string_view name) {
  if (name.empty()) return {};
  const int idx = client.StatsList.IndexOfName(name);
  return idx < 0 ? std::string() : std::string(client.StatsList.ValueAt(idx));
}

namespace {

// A field of a record in the table: its name with the ":" (empty for the
// item's name) and its values.
struct Group {
  std::string field;
  std::vector<std::string> values;
};

struct ResultLine {
  std::string sort_text;
  std::string name;
  std::vector<Group> fields;
};

std::string Joined(const std::vector<std::string>& values) {
  std::string out;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) out += ',';
    out += values[i];
  }
  return out;
}

// The terms of a query, upper-cased; "*" stands for every field.
std::vector<std::string> QueryTerms(std::string_view query) {
  std::string q(query);
  q += ',';
  std::string s;
  s.reserve(q.size());
  for (char c : q) {
    if (c == ',' && !s.empty() && s.back() == ',') continue;
    if (c == ' ' && !s.empty() && s.back() == ' ') continue;
    s += c;
  }
  s = text::UpperCase1251(TrimLeftBlanks(s));
  std::vector<std::string> terms;
  std::size_t from = 0;
  for (std::size_t comma; (comma = s.find(',', from)) != std::string::npos; from = comma + 1)
    terms.push_back(TrimBlanks(std::string_view(s).substr(from, comma - from)));
  return terms;
}

// The record as the table reads it: no blank after ":", and a quoted text
// becomes the value of the word before it.
std::string TableForm(std::string_view record) {
  std::string r = ReplaceAll(record, ": ", ":");
  for (std::size_t i = 0; i + 1 < r.size(); ++i)
    if (r[i] == ' ' && (r[i + 1] == '\'' || r[i + 1] == '"')) r[i] = ':';
  return r;
}

// The record's elements (its final "," ends the last one) gathered into the
// item name and the fields.
std::vector<Group> SplitGroups(const std::string& record) {
  std::vector<std::string> elements;
  std::size_t from = 0;
  for (std::size_t comma; (comma = record.find(',', from)) != std::string::npos; from = comma + 1)
    elements.push_back(record.substr(from, comma - from));
  if (from < record.size()) elements.push_back(record.substr(from));
  std::vector<Group> groups(1);
  for (std::string& e : elements) {
    const auto colon = e.find(':');
    if (colon == std::string::npos) {
      groups.back().values.push_back(std::move(e));
      continue;
    }
    Group g;
    g.field = e.substr(0, colon + 1);
    g.values.push_back(e.substr(colon + 1));
    groups.push_back(std::move(g));
  }
  return groups;
}

bool MatchesAll(const std::string& upper, const std::vector<std::string>& terms) {
  for (const std::string& t : terms)
    if (t != "*" && upper.find(t) == std::string::npos) return false;
  return true;
}

bool Wanted(const Group& g, const std::vector<std::string>& terms, bool every_field) {
  if (every_field) return true;
  const std::string upper = text::UpperCase1251(g.field + Joined(g.values));
  for (const std::string& t : terms)
    if (upper.find(t) != std::string::npos) return true;
  return false;
}

}  // namespace

std::vector<std::string> StatsReport(const TStringList& list, std::string_view query, int cols) {
  const std::vector<std::string> terms = QueryTerms(query);
  const bool every_field = std::find(terms.begin(), terms.end(), "*") != terms.end();

  std::vector<ResultLine> results;
  for (int i = 0; i < list.Count(); ++i) {
    const std::string record = TableForm(list.ValueAt(i));
    if (!MatchesAll(text::UpperCase1251(record), terms)) continue;
    std::vector<Group> groups = SplitGroups(record);
    ResultLine line;
    line.name = Joined(groups.front().values);
    line.sort_text = '\x01' + line.name;
    for (std::size_t g = 1; g < groups.size(); ++g) {
      if (!Wanted(groups[g], terms, every_field)) continue;
      line.sort_text += ",\x01";
      line.sort_text += groups[g].field;
      line.sort_text += Joined(groups[g].values);
      line.fields.push_back(std::move(groups[g]));
    }
    results.push_back(std::move(line));
  }
  std::stable_sort(results.begin(), results.end(), [](const ResultLine& a, const ResultLine& b) {
    return text::CompareText(a.sort_text, b.sort_text) < 0;
  });

  std::size_t name_width = 0;
  std::size_t field_width = 0;
  for (const ResultLine& r : results) {
    name_width = std::max(name_width, r.name.size() + 1);
    for (const Group& g : r.fields) field_width = std::max(field_width, g.field.size());
  }
  const std::string dashes(cols > 4 ? static_cast<std::size_t>(cols - 4) : 0, '-');

  std::vector<std::string> pieces;
  std::string out = "\r\n";
  for (const ResultLine& r : results) {
    std::string name_column = "\x1b[1;32m" + r.name;
    name_column.append(name_width - r.name.size(), ' ');
    name_column += "\x1b[0;37m";
    for (const Group& g : r.fields) {
      std::string field_column(field_width - g.field.size(), ' ');
      field_column += g.field;
      field_column += ' ';
      for (const std::string& value : g.values) {
        const std::string v = TrimLeftBlanks(value);
        if (v.empty()) continue;
        out += name_column;
        out += field_column;
        out += v;
        out += "\r\n";
        // The item's name and the field's name stand on the first row that
        // shows a value, so an empty first value never hides them.
        name_column.assign(name_width, ' ');
        field_column.assign(field_width + 1, ' ');
      }
    }
    out += dashes;
    out += "\r\n";
    if (out.size() >= kReportChunk) {
      pieces.push_back(std::move(out));
      out.clear();
    }
  }
  out += "\x1b[1;37m";
  out += "Итого по запросу: "_cp;
  out += "\x1b[0;37m";
  out += std::to_string(results.size());
  out += "\r\n";
  pieces.push_back(std::move(out));
  return pieces;
}

int RemoveDuplicateItems(TStringList& list) {
  struct Item {
    std::string line;
    std::size_t name_length;
    int order;
    std::string_view Name() const { return std::string_view(line).substr(0, name_length); }
  };
  std::vector<Item> items;
  items.reserve(static_cast<std::size_t>(list.Count()));
  for (int i = 0; i < list.Count(); ++i) {
    const std::string& line = list[i];
    items.push_back({line, std::min(line.find('='), line.size()), i});
  }
  // By name, and among entries of one name the latest first: it is the one
  // kept, as a new record replaces an old one everywhere else.
  std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
    const int c = text::CompareText(a.Name(), b.Name());
    return c != 0 ? c < 0 : a.order > b.order;
  });
  std::vector<bool> duplicate(items.size(), false);
  int removed = 0;
  for (std::size_t i = 1; i < items.size(); ++i) {
    if (text::CompareText(items[i].Name(), items[i - 1].Name()) != 0) continue;
    duplicate[i] = true;
    ++removed;
  }
  list.Clear();
  for (std::size_t i = 0; i < items.size(); ++i)
    if (!duplicate[i]) list.Add(std::move(items[i].line));
  return removed;
}

}  // namespace tarnel
