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
// Writes the bytes to a temporary file beside the target (the target's name,
// ".tmp-" and six letters or digits), flushes it to disk and renames it over
// the target.  On failure the old file is left as it was and the temporary
// file is removed.  Temporary files of the target that a killed save left
// are removed first.
bool WriteFileSafely(std::string_view path, std::string_view content);

// Whether a file name is one WriteFileSafely gives the temporary file of
// the target name.
bool IsTemporaryFileOf(std::string_view file_name, std::string_view target_name);
// Removes the temporary files of a target that no running save is writing
// and that have not been written for a minute.
void RemoveStaleTemporaryFiles(std::string_view path);

}  // namespace tarnel
