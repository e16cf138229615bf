#include "compressor.h"

#include <libtelnet.h>
#include <zlib.h>

#include <algorithm>

namespace tarnel::testserver {
namespace {

// Version 1 has no library support anywhere, so we drive zlib ourselves.
class Mccp1Compressor : public Compressor {
 public:
  ~Mccp1Compressor() override {
    if (open_) deflateEnd(&z_);
  }

  std::string Start() override {
    if (deflateInit(&z_, Z_DEFAULT_COMPRESSION) != Z_OK) {
      error_ = "deflateInit failed";
      return {};
    }
    open_ = true;
    return "\xff\xfa\x55\xfb\xf0";
  }

  std::string Compress(std::string_view text) override { return Deflate(text, Z_SYNC_FLUSH); }

  std::string Finish() override {
    std::string out = Deflate({}, Z_FINISH);
    if (open_) deflateEnd(&z_);
    open_ = false;
    return out;
  }

 private:
  std::string Deflate(std::string_view text, int flush) {
    std::string out;
    if (!open_) return out;
    z_.next_in = reinterpret_cast<const Bytef*>(text.data());
    z_.avail_in = static_cast<uInt>(text.size());
    unsigned char buffer[16384];
    for (;;) {
      z_.next_out = buffer;
      z_.avail_out = sizeof buffer;
      int rc = deflate(&z_, flush);
      if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
        error_ = std::string("deflate failed: ") + zError(rc);
        return out;
      }
      out.append(reinterpret_cast<char*>(buffer), sizeof buffer - z_.avail_out);
      if (flush == Z_FINISH ? rc == Z_STREAM_END : z_.avail_out != 0) return out;
    }
  }

  z_stream z_{};
  bool open_ = false;
};

// Version 2 through libtelnet's own compressor, as a real server built on it
// would send it.
class Mccp2Compressor : public Compressor {
 public:
  Mccp2Compressor() { telnet_ = telnet_init(kNoOptions, &OnEvent, 0, this); }
  ~Mccp2Compressor() override {
    if (telnet_) telnet_free(telnet_);
  }

  std::string Start() override {
    if (!telnet_) {
      error_ = "telnet_init failed";
      return {};
    }
    telnet_begin_compress2(telnet_);
    compressing_ = true;
    std::string marker = Take();
    if (marker.empty() && error_.empty()) error_ = "libtelnet was built without zlib";
    return marker;
  }

  // libtelnet doubles every 0xFF it is given as data, while scripts write the
  // wire bytes themselves: an IAC and the byte after it go out as a command.
  std::string Compress(std::string_view text) override {
    if (!telnet_) return {};
    size_t run = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      if (pending_iac_) {
        Emit(text.substr(run, i - run));
        telnet_iac(telnet_, static_cast<unsigned char>(text[i]));
        adler_ = adler32(adler_, reinterpret_cast<const Bytef*>("\xff"), 1);
        adler_ = adler32(adler_, reinterpret_cast<const Bytef*>(&text[i]), 1);
        pending_iac_ = false;
        run = i + 1;
      } else if (text[i] == '\xff') {
        Emit(text.substr(run, i - run));
        pending_iac_ = true;
        run = i + 1;
      }
    }
    Emit(text.substr(run));
    return Take();
  }

  // libtelnet never ends a COMPRESS2 stream. After its sync flush the stream
  // stands on a byte boundary, so an empty final stored block and the
  // Adler-32 of everything compressed close it as Z_FINISH would.
  std::string Finish() override {
    std::string out = Take();
    if (pending_iac_) error_ = "a lone IAC at the end of the compressed stream was not sent";
    if (!telnet_) return out;
    if (!wrote_compressed_) out += "\x78\x9c";  // zlib header: nothing was compressed yet
    out.append("\x01\x00\x00\xff\xff", 5);
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(adler_ >> shift));
    telnet_free(telnet_);
    telnet_ = nullptr;
    return out;
  }

 private:
  static constexpr telnet_telopt_t kNoOptions[] = {{-1, 0, 0}};

  static void OnEvent(telnet_t*, telnet_event_t* event, void* user_data) {
    auto* self = static_cast<Mccp2Compressor*>(user_data);
    switch (event->type) {
      case TELNET_EV_SEND:
        self->output_.append(event->data.buffer, event->data.size);
        if (self->compressing_ && event->data.size > 0) self->wrote_compressed_ = true;
        break;
      case TELNET_EV_WARNING:
      case TELNET_EV_ERROR: self->error_ = std::string("libtelnet: ") + event->error.msg; break;
      default: break;
    }
  }

  // libtelnet deflates into a 1024-byte buffer and stops once its input is
  // used up, even when zlib still holds output: the tail of a large send
  // would wait for the next one. Pieces whose flushed output cannot fill the
  // buffer always come out whole.
  void Emit(std::string_view run) {
    constexpr size_t kPiece = 512;
    adler_ =
        adler32(adler_, reinterpret_cast<const Bytef*>(run.data()), static_cast<uInt>(run.size()));
    for (; !run.empty(); run.remove_prefix(std::min(run.size(), kPiece)))
      telnet_send(telnet_, run.data(), std::min(run.size(), kPiece));
  }

  std::string Take() {
    std::string out;
    out.swap(output_);
    return out;
  }

  telnet_t* telnet_ = nullptr;
  std::string output_;
  uLong adler_ = adler32(0, nullptr, 0);
  bool compressing_ = false;
  bool wrote_compressed_ = false;
  bool pending_iac_ = false;
};

}  // namespace

std::unique_ptr<Compressor> Compressor::Create(int version) {
  if (version == 1) return std::make_unique<Mccp1Compressor>();
  return std::make_unique<Mccp2Compressor>();
}

}  // namespace tarnel::testserver
