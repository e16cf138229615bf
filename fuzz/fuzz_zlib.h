// Real compressed sessions for the targets that feed server bytes.
#pragma once

#include <zlib.h>

#include <string>
#include <string_view>

namespace tarnel::fuzz {

// One deflate stream for the whole process, reset for every use: a fresh
// one would allocate a quarter of a megabyte each time.  The smallest hash
// table: a reset clears it, and the default one (64 KiB) cost more than
// compressing the input.  The stream is as valid and the window as large.
class Deflater {
 public:
  Deflater() { deflateInit2(&z_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15, 1, Z_DEFAULT_STRATEGY); }
  ~Deflater() { deflateEnd(&z_); }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // The text as one zlib stream; `finish` ends the stream (the server stops
  // compressing), otherwise it is flushed and left open, as a server leaves
  // it between two writes.
  std::string Compress(std::string_view text, bool finish) {
    deflateReset(&z_);
    std::string out(deflateBound(&z_, static_cast<uLong>(text.size())) + 64, '\0');
    z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z_.avail_in = static_cast<uInt>(text.size());
    std::size_t used = 0;
    for (;;) {
      z_.next_out = reinterpret_cast<Bytef*>(out.data() + used);
      z_.avail_out = static_cast<uInt>(out.size() - used);
      const int rc = deflate(&z_, finish ? Z_FINISH : Z_SYNC_FLUSH);
      used = out.size() - z_.avail_out;
      if (rc == Z_STREAM_END || (!finish && z_.avail_out != 0) || rc == Z_STREAM_ERROR) break;
      out.resize(out.size() * 2);
    }
    out.resize(used);
    return out;
  }

 private:
  z_stream z_{};
};

}  // namespace tarnel::fuzz
