#include "interp/set_result.h"

#include "interp/client.h"
#include "interp/commands.h"
#include "interp/words.h"

namespace tarnel {

namespace {

// Whether "/set " + params stays one statement that substitution leaves
// as it is.
bool StaysWhole(std::string_view params) {
  bool quoted = false;
  int depth = 0;
  for (char c : params) {
    if (c == '"' || c == '\'')
      quoted = !quoted;
    else if (!quoted && c == '{')
      ++depth;
    else if (!quoted && c == '}')
      --depth;
    else if (c == ';' && !quoted && depth == 0)
      return false;
  }
  // Variable and function substitution see only double quotes and braces.
  quoted = false;
  depth = 0;
  for (char c : params) {
    if (c == '"')
      quoted = !quoted;
    else if (!quoted && c == '{')
      ++depth;
    else if (!quoted && c == '}')
      --depth;
    else if (c == '%' && !quoted && depth == 0)
      return false;
  }
  return true;
}

// Whether running "/set " + params stores exactly `value`.
bool CarriedWhole(std::string_view params, std::string_view value) {
  if (!StaysWhole(params)) return false;
  const auto eq = params.find('=');
  if (eq == std::string_view::npos) return false;
  const std::string_view raw = params.substr(eq + 1);
  if (!raw.empty() && raw.front() == '(') return false;
  return Unquote(raw) == value;
}

}  // namespace

std::string VariableName(std::string_view name) {
  std::string full;
  if (name.find('.') == std::string_view::npos) full = "default.";
  full.append(name);
  return full;
}

void RunSetStatement(Client& client, const CommandCall& call, const std::string& params) {
  if (StaysWhole(params))
    client.interp.RunCommand("/set " + params, false, call.LocalVars, call.LocalFuncs);
  else
    CmdSet(client, CommandCall{"/set", params, false, call.LocalVars, call.LocalFuncs});
}

void SetComputed(Client& client, const CommandCall& call, std::string_view name,
                 std::string_view value, SetWrap wrap) {
  std::string params(name);
  params += '=';
  switch (wrap) {
    case SetWrap::Bare: params.append(value); break;
    case SetWrap::Quotes: params.append("\"").append(value).append("\""); break;
    case SetWrap::Braces: params.append("{").append(value).append("}"); break;
  }
  if (CarriedWhole(params, value)) {
    client.interp.RunCommand("/set " + params, false, call.LocalVars, call.LocalFuncs);
    return;
  }
  std::string direct(name);
  direct.append("=\"").append(value).append("\"");
  CmdSet(client, CommandCall{"/set", direct, false, call.LocalVars, call.LocalFuncs});
}

}  // namespace tarnel
