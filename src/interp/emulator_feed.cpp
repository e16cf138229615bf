#include "interp/emulator_feed.h"

#include "interp/client.h"
#include "interp/words.h"
#include "script/text_file.h"

namespace tarnel {

std::string ControlBytes(std::string_view text) {
  if (text.find('/') == std::string_view::npos) return std::string(text);
  std::string t = ReplaceAll(text, "/esc", "\x1b");
  t = ReplaceAll(t, "/cr", "\r");
  return ReplaceAll(t, "/lf", "\n");
}

void EmulatorEnter(Client& client, std::string_view typed) {
  client.incoming.ProcessIncoming(ControlBytes(typed) + "\r\n");
}

bool EmulatorLoadFile(Client& client, const std::string& path) {
  std::string content;
  if (!ReadWholeFile(path, content)) return false;
  const std::vector<std::string> lines = SplitTextLines(content);
  content.clear();
  const std::string title = client.host.Title();
  std::string shown = title;
  std::string pending;
  const std::size_t count = lines.size();
  for (std::size_t i = 0; i < count; ++i) {
    // The title changes only when the percentage does.
    const std::string progress = "Emul.%" + std::to_string(i * 100 / count);
    if (progress != shown) {
      client.host.SetTitle(progress);
      shown = progress;
    }
    pending += lines[i];
    pending += "\r\n";
    if (i % 25 == 0 || i + 1 == count) {
      client.incoming.ProcessIncoming(pending);
      pending.clear();
      client.ProcessMessages();
    }
  }
  if (shown != title) client.host.SetTitle(title);
  return true;
}

}  // namespace tarnel
