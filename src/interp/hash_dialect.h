// The "#" dialect: "#alias", "#action", "#var" and the rest, each turned
// into one of the client's own commands before it runs.
#pragma once

#include <string>
#include <string_view>

namespace tarnel {

class Client;
class TStringList;

// The command a "#" statement stands for; empty when it stands for nothing
// ("#loop" runs at once, with the running statement's echo and local
// lists; an unsupported word is reported).
std::string TranslateHash(Client& c, std::string_view statement, bool echo, TStringList& LocalVars,
                          TStringList& LocalFuncs);

// The colour number of a colour word of "#highlight" ("light red" is red).
int HashColour(std::string_view text);

}  // namespace tarnel
