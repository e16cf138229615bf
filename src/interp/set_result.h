// Commands that compute a value never write the store themselves: they run
// a "/set" statement, so that the store's rules apply in one place.
#pragma once

#include <string>
#include <string_view>

namespace tarnel {

class Client;
struct CommandCall;

// How the value is written into the "/set" statement: bare (numbers, dates),
// between double quotes, or between braces, so that "/set" keeps its blanks.
enum class SetWrap { Bare, Quotes, Braces };

// Runs "/set name=value" (echo off, the call's local lists), the value
// wrapped as asked.  A value that the statement would not carry through
// whole -- one with a ";" that would split it, a "%" that would be
// substituted, quotes that would end the wrapping early, or a bare "(" that
// would make it a formula -- goes straight to the "/set" handler between
// double quotes instead, so that it is stored exactly as computed and never
// runs as a command.
void SetComputed(Client& client, const CommandCall& call, std::string_view name,
                 std::string_view value, SetWrap wrap);

// Runs "/set " params (echo off, the call's local lists).  When the text
// would not reach "/set" as written -- a ";" would split it, or a "%" would
// be substituted -- it goes straight to the "/set" handler instead, so that
// it can never run as a command.
void RunSetStatement(Client& client, const CommandCall& call, const std::string& params);

// The name of a variable as the string commands take it: "default." in
// front of a name without ".".
std::string VariableName(std::string_view name);

}  // namespace tarnel
