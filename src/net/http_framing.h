// The framing of an HTTP/1.1 answer: the status line, the header fields and how the body ends
// (length, chunked or at the connection's close). No I/O; malformed input raises HttpError and
// nothing reads outside what it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/http_error.h"

namespace orv {

// The most a response head (status line and header lines, or a chunked body's trailer) may
// take, in bytes.
inline constexpr std::size_t kMaxHeadBytes = 64 * 1024;

// ---- Response head ----

struct StatusLine {
  int major = 0;
  int minor = 0;
  int code = 0;
  std::string reason;
};

// "HTTP/1.x NNN reason", the line without its line end. The reason may be empty or missing.
StatusLine ParseStatusLine(std::string_view line);

struct HeaderField {
  std::string name;  // as received
  std::string value;  // without surrounding white space; folded lines joined with one space
};

struct ResponseHead {
  StatusLine status;
  std::vector<HeaderField> fields;
  // The values of every field with this name, compared without regard to letter case, in the
  // order received.
  std::vector<std::string> Values(std::string_view name) const;
};

// The end of a response head in `data`: the offset just past the empty line that ends it, or
// std::string_view::npos when it has not arrived yet. Lines end with CR LF or a bare LF. Bytes
// before `from` are known to hold no end; pass the earlier size less two when data grows.
std::size_t FindHeadEnd(std::string_view data, std::size_t from = 0);

// Parses a head as FindHeadEnd delimits it (the empty line at its end may be left off).
ResponseHead ParseResponseHead(std::string_view head);

// ---- Body ----

enum class BodyKind { kNone, kLength, kChunked, kUntilClose };

struct BodyFraming {
  BodyKind kind = BodyKind::kUntilClose;
  std::uint64_t length = 0;  // for kLength
};

// How the body of this answer to a GET ends: none for 1xx, 204 and 304; chunked when that is
// the last transfer coding; another transfer coding runs until the connection closes; else
// Content-Length (several equal values are accepted, differing ones raise); else until close.
BodyFraming DecideBodyFraming(const ResponseHead& head);

// Decodes a chunked body fed in pieces of any size. Chunk extensions are skipped; trailer
// lines are checked like header lines and discarded.
class ChunkedDecoder {
 public:
  // Takes the next bytes. Returns how many it used: all of them, unless the body ended inside
  // `data`. The chunks' data is appended to `out` when given, else discarded. Raises
  // HttpError on a malformed body, a chunk size above 64 bits included.
  std::size_t Feed(std::string_view data, std::string* out = nullptr);
  bool Done() const { return state_ == State::kDone; }
  // The number of data bytes decoded so far.
  std::uint64_t DataBytes() const { return dataBytes_; }

 private:
  enum class State { kSize, kData, kDataCr, kDataLf, kTrailer, kDone };
  void TakeLine();
  State state_ = State::kSize;
  std::string line_;
  std::uint64_t remaining_ = 0;
  std::uint64_t dataBytes_ = 0;
  std::size_t trailerBytes_ = 0;
};

}  // namespace orv
