// One client connection, running the session script from its first line.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "compressor.h"
#include "script.h"

namespace tarnel::testserver {

class Session {
 public:
  // fd: the accepted socket, which the session owns and closes.
  // record_fd: where every byte from the client goes, or -1.
  Session(int fd, const Script& script, int record_fd, int number, bool verbose);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Runs the script; after its last line the session goes on echoing and
  // recording until the client hangs up, unless the script closed it.
  // False when a step failed (the reason is on stderr).
  bool Run();

 private:
  using Clock = std::chrono::steady_clock;

  bool Do(const Step& step);
  bool Expect(const std::string& bytes, int timeout_ms);
  bool ExpectEof(int timeout_ms);
  void Close();

  // Output: text goes through the compressor while one runs and waits in
  // pending_ until the script reaches a point that writes it.
  void Queue(std::string_view text);
  bool Flush();
  bool WriteWire(std::string_view wire);
  bool WriteAll(std::string_view bytes);

  // Input: waits up to timeout_ms (-1: no limit) for the client.
  void Pump(int timeout_ms);
  bool Wait(int ms);
  void ReadClient();
  void OnClientBytes(std::string_view bytes);
  void EchoLine();

  static int MsLeft(Clock::time_point deadline);
  void Fail(const std::string& message);
  void Log(const std::string& message) const;

  int fd_;
  const Script& script_;
  int record_fd_;
  int number_;
  bool verbose_;
  const Step* step_ = nullptr;

  std::unique_ptr<Compressor> compressor_;
  std::string pending_;
  bool writing_ = false;
  int chunk_ = 0;
  int chunk_pause_ms_ = 0;

  std::string received_;  // from the client, since the last expect matched
  bool eof_ = false;      // the client hung up
  bool gone_ = false;     // writing failed because of it
  bool closed_ = false;
  bool echo_ = false;
  std::string echo_line_;
  bool echo_after_cr_ = false;
};

}  // namespace tarnel::testserver
