// Whole-file reading and safe writing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnel {

// The bytes of a file; false when it cannot be read.
bool ReadWholeFile(std::string_view path, std::string& content);
// Lines of a text: CR LF, LF or a lone CR ends a line; a last line without an
// end counts too.
std::vector<std::string> SplitTextLines(std::string_view text);
// Writes the bytes to a temporary file beside the target, flushes it to disk
// and renames it over the target.  On failure the old file is left as it was
// and the temporary file is removed.
bool WriteFileSafely(std::string_view path, std::string_view content);

}  // namespace tarnel
