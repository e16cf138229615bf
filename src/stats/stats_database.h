// The item stats database: one line per item, the item's name "=" its record
// text.  A record text is the item name followed by its fields, each field
// name ":" value, with further values after commas; it always ends with ",".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnel {

class Client;
class TStringList;

// The command of the client's own item trigger (the default profile's
// "Предмет "%0", тип : %1").  Its captures are game text: they go to the
// parse as they are, never through the statement splitter, so a name
// holding ";" cannot run commands.
std::string_view ItemTriggerCommand();
// "/parsestats" on parameter text that is never read as commands.
void StartStatsParse(Client& client, std::string_view params, std::string_view word);

// A record text as "/addstats" stores it: blanks collapsed, no blanks around
// ":" and ",", no empty fields, a final ",".
std::string NormaliseStats(std::string_view text);

// The item name of a normalised record: the text before its first ",".
std::string_view StatsItemName(std::string_view record);

// Stores a record under its item name, replacing an entry of that name.
// False (nothing stored) when the name is empty or holds "=", which would
// make the line's key differ from the item.
bool StoreStats(TStringList& list, std::string_view text);

// The record text of the item with exactly this name (letter case aside), or
// empty: what the terminal's pop-up shows.
std::string StatsValue(Client& client, std::string_view name);

// The "/stats" table for a query, in the pieces that are printed one by one:
// every piece but the last ends after a record and is at least 2048
// characters long; the last one carries the total.  `cols` is the main
// terminal's width.
std::vector<std::string> StatsReport(const TStringList& list, std::string_view query, int cols);

// Sorts the list by item name and keeps one entry per name (letter case
// aside): the one added last.  Returns how many went.
int RemoveDuplicateItems(TStringList& list);

}  // namespace tarnel
