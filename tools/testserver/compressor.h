// The server side of MCCP: a compressed stream that starts with its telnet
// marker, carries flushed text, and can end so the connection is plain again.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace tarnel::testserver {

class Compressor {
 public:
  virtual ~Compressor() = default;

  // version 1 (COMPRESS) or 2 (COMPRESS2).
  static std::unique_ptr<Compressor> Create(int version);

  // The start marker; every byte after it is compressed.
  virtual std::string Start() = 0;
  // The bytes of text in compressed form, flushed so that the client can
  // inflate them at once.
  virtual std::string Compress(std::string_view text) = 0;
  // The end of the stream; what follows on the wire is plain again.
  virtual std::string Finish() = 0;

  // What went wrong inside, or empty.
  const std::string& Error() const { return error_; }

 protected:
  std::string error_;
};

}  // namespace tarnel::testserver
