// Completion of the last word of the command line after a pause in typing:
// from the arguments recorded for the word before it, the command names,
// the variables and the other entry lists, as the context asks.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnel {

class Client;

// Every candidate for the last word of the text, sorted, "/man " first.
std::vector<std::string> CompletionCandidates(Client& client, std::string_view text);

// What the first candidate adds to the text, or nothing.  A text that ends
// in a blank is never completed.
std::optional<std::string> CompletionFor(Client& client, std::string_view text);

}  // namespace tarnel
