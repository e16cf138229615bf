// Server text on its way in: assembled into lines, previewed, shown, and run
// through the triggers.
#pragma once

#include <deque>
#include <string>
#include <string_view>

#include "pipeline/escape_stripper.h"
#include "pipeline/match_pattern.h"

namespace tarnel {

class Client;

class Incoming {
 public:
  explicit Incoming(Client& client) : client_(client) {}

  // One chunk of decoded server text (or text injected as if the server had
  // sent it).
  void ProcessIncoming(std::string_view chunk);

  // Parallel queues: completed lines waiting for their triggers, then the
  // line still being received.
  const std::deque<std::string>& CleanLines() const { return clean_; }
  const std::deque<std::string>& RawLines() const { return raw_; }

  // Stats accumulation, started by "/parsestats" with an end marker.
  bool StatsRunning() const { return !stats_marker_.empty(); }
  void StartStats(std::string marker, std::string text);

 private:
  void PreviewTriggers(const std::string& clean, const std::string& raw);
  void RunTriggers(const std::string& clean, const std::string& raw, bool preview);
  void AccumulateStats(const std::string& clean);

  Client& client_;
  std::deque<std::string> clean_;
  std::deque<std::string> raw_;
  // Line building keeps its own escape state from chunk to chunk, so a
  // colour code cut between two reads never leaks into a clean line.
  EscapeStripper line_stripper_;
  bool in_trigger_loop_ = false;
  CaptureList captures_;
  std::string stats_marker_;
  std::string stats_text_;
};

}  // namespace tarnel
