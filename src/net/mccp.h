// Mud Client Compression Protocol, versions 1 (telnet option 85) and 2
// (option 86): the server's offers and start sequences are taken out of the
// received text, the answers the client owes are recorded, and from the
// start sequence on the stream is inflated back into plain text.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct z_stream_s;

namespace tarnel {

// The most text one received chunk may inflate to.  Game text compresses
// about five to ten times and a read holds at most some tens of kilobytes,
// so only a hostile stream (a "decompression bomb") gets near it.  Beyond
// it the stream is treated as corrupt: the error is reported, inflating
// stops and the rest of the chunk is dropped.
inline constexpr std::size_t kMccpMaxInflated = std::size_t{8} << 20;

struct InflateStreamDeleter {
  void operator()(z_stream_s* stream) const;
};

// A place in the text returned by MccpFilter where compression started or
// inflating failed: the read event reports it there, so where the stream
// was cut does not move the message.
struct MccpMark {
  std::size_t at;
  bool error;
};

// The decompression state of the one connection; all zero after a reset.
struct MccpState {
  // The zlib inflate stream while one is in use.
  std::unique_ptr<z_stream_s, InflateStreamDeleter> stream;
  // 0 not compressing; 1 or 2 compressing by that version.
  int mode = 0;
  // Inflating failed; the read event reports it and clears it.
  bool error = false;
  // Answer owed to a version 1 offer: 1 DO COMPRESS, -1 DONT COMPRESS.
  int pending_v1 = 0;
  // DO COMPRESS2 owed.
  bool pending_v2 = false;
  // The server has offered version 2 on this connection.
  bool v2_offered = false;
  // How many times compression has started.
  int starts = 0;
  // What the last MccpFilter call met, in order.
  std::vector<MccpMark> marks;
  // After a failed MccpInflate: where in its result the bytes it could not
  // inflate begin.
  std::size_t failed_at = 0;
  // The stream outgrew kMccpMaxInflated and can no longer be followed.
  bool broken = false;
  // The first bytes of an offer or start sequence cut by the end of a read;
  // they go in front of the next chunk.
  std::string held;
  // Where inflate writes before the text is appended: kept from read to
  // read, so no read pays for clearing a fresh buffer.
  std::vector<char> scratch;
};

// One received chunk to plain text.  Offers and start sequences are
// removed; compressed data is inflated; a stream that ends hands over to
// plain text again, which is scanned for a new start.
std::string MccpFilter(MccpState& state, std::string_view chunk);

// Inflates compressed bytes until they are used up or the stream ends, and
// appends the text to `out`.  used tells how many bytes belonged to the
// stream: after its end, the rest is plain text.  On a failure the error
// flag is set and the bytes that could not be inflated are appended
// unchanged after the text inflated before (failed_at counts from where
// this call began appending).
void MccpInflate(MccpState& state, std::string_view bytes, std::size_t& used, std::string& out);

// The next answer owed to the server (DO COMPRESS, DONT COMPRESS or
// DO COMPRESS2, in that priority), or empty.
std::string MccpAnswer(MccpState& state);

// Drops the stream and zeroes the whole state.
void MccpReset(MccpState& state);

}  // namespace tarnel
