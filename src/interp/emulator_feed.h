// Text fed in as if the server had sent it: the emulator panel's line and
// its file button, "/emulate" and the display values of replaces.
#pragma once

#include <string>
#include <string_view>

namespace tarnel {

class Client;

// "/esc", "/cr" and "/lf" turned into ESC, CR and LF, in that order.
std::string ControlBytes(std::string_view text);

// Enter in the emulator panel's line: its text, control words turned into
// bytes, followed by CR LF, goes to the incoming pipeline.
void EmulatorEnter(Client& client, std::string_view typed);

// The panel's file button: every line of the file goes to the incoming
// pipeline, in parts that end after the first line, after every further 25
// lines and after the last one; the title shows the progress meanwhile
// ("Emul.%42") and comes back afterwards.  False when the file cannot be
// read; the text fed by then stays fed.
bool EmulatorLoadFile(Client& client, const std::string& path);

}  // namespace tarnel
