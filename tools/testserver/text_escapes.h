// The byte notation of session scripts: readable text with escapes for
// control bytes and telnet constants, and the same notation back for
// diagnostics, so what the server prints can be pasted into a script.
#pragma once

#include <string>
#include <string_view>

namespace tarnel::testserver {

// Decodes \e \r \n \t \0 \\ \{ \xNN and {NAME} (IAC, GA, WILL, COMPRESS2...).
// Returns false and sets error when the text is malformed.
bool DecodeText(std::string_view text, std::string& out, std::string& error);

// Decodes hex byte pairs; spaces between pairs are ignored.
bool DecodeHex(std::string_view hex, std::string& out, std::string& error);

// Bytes in the escape notation above, shortened to the last max_bytes.
std::string Describe(std::string_view bytes, size_t max_bytes = 200);

}  // namespace tarnel::testserver
