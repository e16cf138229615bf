#include "net/mccp.h"

#include <zlib.h>

#include <cstring>
#include <exception>
#include <utility>

namespace tarnel {

namespace {

constexpr char kIac = '\xFF';
constexpr std::string_view kWillCompress("\xFF\xFB\x55", 3);
constexpr std::string_view kWillCompress2("\xFF\xFB\x56", 3);
constexpr std::string_view kStartV1("\xFF\xFA\x55\xFB\xF0", 5);
constexpr std::string_view kStartV2("\xFF\xFA\x56\xFF\xF0", 5);
constexpr std::string_view kServerSequences[] = {kWillCompress, kWillCompress2, kStartV1, kStartV2};

constexpr std::string_view kDoCompress("\xFF\xFD\x55", 3);
constexpr std::string_view kDontCompress("\xFF\xFE\x55", 3);
constexpr std::string_view kDoCompress2("\xFF\xFD\x56", 3);

// One inflate call writes at most this much.
constexpr uInt kOutputStep = 0xFFFF;

// Whether the tail of a chunk is the beginning of an offer or a start.
bool CutSequence(std::string_view tail) {
  for (const std::string_view seq : kServerSequences)
    if (tail.size() < seq.size() && seq.substr(0, tail.size()) == tail) return true;
  return false;
}

// Scans plain text for the server's offers and start sequences, appending
// the text without them to out.  Returns the position just after a start
// sequence, where the compressed stream begins, or the end of the text.
//
// The text is read in the telnet pass's units, so both agree on what is a
// command: a doubled 0xFF, a negotiation of three bytes (its option may be
// 0xFF too), two bytes for any other command.  A unit the chunk cuts short
// is held for the next one, so the reads never change the reading.
std::size_t ScanNegotiation(MccpState& st, std::string_view in, std::string& out) {
  const std::size_t n = in.size();
  std::size_t copied = 0;
  std::size_t i = 0;
  const auto remove = [&](std::size_t length) {
    out.append(in.substr(copied, i - copied));
    i += length;
    copied = i;
  };
  const auto hold = [&]() {
    out.append(in.substr(copied, i - copied));
    st.held.assign(in.substr(i));
    return n;
  };
  while (i < n) {
    const void* hit = std::memchr(in.data() + i, kIac, n - i);
    if (hit == nullptr) break;
    i = static_cast<std::size_t>(static_cast<const char*>(hit) - in.data());
    if (i + 1 >= n) return hold();
    const auto verb = static_cast<unsigned char>(in[i + 1]);
    const std::string_view at = in.substr(i);
    if (verb == 0xFF) {  // an escaped 0xFF data byte
      i += 2;
    } else if (verb >= 0xFB) {  // WILL, WONT, DO, DONT and an option
      if (i + 2 >= n) return hold();
      if (at.starts_with(kWillCompress)) {
        st.pending_v1 = st.v2_offered ? -1 : 1;
        remove(kWillCompress.size());
      } else if (at.starts_with(kWillCompress2)) {
        st.pending_v2 = true;
        st.v2_offered = true;
        remove(kWillCompress2.size());
      } else {
        i += 3;
      }
    } else if (at.starts_with(kStartV1)) {
      remove(kStartV1.size());
      st.mode = 1;
      ++st.starts;
      st.marks.push_back({out.size(), false});
      return i;
    } else if (at.starts_with(kStartV2)) {
      remove(kStartV2.size());
      st.mode = 2;
      ++st.starts;
      st.marks.push_back({out.size(), false});
      return i;
    } else if (CutSequence(at)) {
      return hold();
    } else {
      i += 2;
    }
  }
  out.append(in.substr(copied));
  return n;
}

}  // namespace

void InflateStreamDeleter::operator()(z_stream_s* stream) const {
  inflateEnd(stream);
  delete stream;
}

std::string MccpFilter(MccpState& st, std::string_view chunk) {
  st.marks.clear();
  if (st.error) {
    st.marks.push_back({0, true});
    return std::string(chunk);
  }
  std::string joined;
  if (!st.held.empty()) {
    joined = std::move(st.held);
    st.held.clear();
    joined.append(chunk);
    chunk = joined;
  }
  std::string out;
  bool failed = false;
  while (!chunk.empty()) {
    if (st.mode == 0) {
      chunk.remove_prefix(ScanNegotiation(st, chunk, out));
      continue;
    }
    std::size_t used = 0;
    const std::size_t base = out.size();
    MccpInflate(st, chunk, used, out);
    if (st.error) {
      failed = true;
      st.marks.push_back({base + st.failed_at, true});
    }
    if (used == 0) break;  // cannot happen with zlib; never spin
    chunk.remove_prefix(used);
  }
  st.error = failed;
  return out;
}

void MccpInflate(MccpState& st, std::string_view bytes, std::size_t& used, std::string& out) {
  st.error = false;
  st.failed_at = 0;
  used = bytes.size();
  if (bytes.empty()) return;
  const std::size_t base = out.size();
  try {
    if (st.broken) {
      st.error = true;
      out.append(bytes);
      return;
    }
    if (!st.stream) {
      auto fresh = std::make_unique<z_stream_s>();
      if (inflateInit(fresh.get()) != Z_OK) {
        st.error = true;
        out.append(bytes);
        return;
      }
      // The stream's checksum is only compared once the server ends
      // compression, long after the text it covers has been shown; TCP
      // has already checked every byte.  Not keeping it saves a pass over
      // all the text.
      inflateValidate(fresh.get(), 0);
      st.stream.reset(fresh.release());
    }
    z_stream_s& z = *st.stream;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    if (st.scratch.size() < kOutputStep) st.scratch.resize(kOutputStep);
    for (;;) {
      const std::size_t call_start = bytes.size() - z.avail_in;
      z.next_out = reinterpret_cast<Bytef*>(st.scratch.data());
      z.avail_out = kOutputStep;
      const int rc = inflate(&z, Z_SYNC_FLUSH);
      out.append(st.scratch.data(), kOutputStep - z.avail_out);
      if (rc == Z_STREAM_END) {
        // The server ended compression; what follows is plain text.
        used = bytes.size() - z.avail_in;
        st.stream.reset();
        st.mode = 0;
        return;
      }
      if (rc != Z_OK && rc != Z_BUF_ERROR) {
        // What could not be inflated is shown as it came, so nothing the
        // server sent is silently lost.
        st.error = true;
        st.failed_at = out.size() - base;
        out.append(bytes.substr(call_start));
        return;
      }
      const bool drained = z.avail_out != 0;
      if (drained && (z.avail_in == 0 || rc == Z_BUF_ERROR)) return;
      if (out.size() - base >= kMccpMaxInflated) {
        st.error = true;
        st.failed_at = out.size() - base;
        st.broken = true;
        st.stream.reset();
        return;
      }
    }
  } catch (const std::exception&) {
    st.error = true;
    st.failed_at = 0;
    out.resize(std::min(out.size(), base));
    out.append(bytes);
  }
}

std::string MccpAnswer(MccpState& st) {
  if (st.pending_v1 == 1) {
    st.pending_v1 = 0;
    return std::string(kDoCompress);
  }
  if (st.pending_v1 == -1) {
    st.pending_v1 = 0;
    return std::string(kDontCompress);
  }
  if (st.pending_v2) {
    st.pending_v2 = false;
    return std::string(kDoCompress2);
  }
  return {};
}

void MccpReset(MccpState& st) {
  // The scratch buffer carries nothing from read to read: the next
  // connection writes into it as it is.
  std::vector<char> scratch = std::move(st.scratch);
  st = MccpState();
  st.scratch = std::move(scratch);
}

}  // namespace tarnel
