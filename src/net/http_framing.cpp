#include "net/http_framing.h"

#include <algorithm>
#include <limits>

#include "net/http_text.h"

namespace orv {

using namespace http_text;

// ---- Response head ----

StatusLine ParseStatusLine(std::string_view line) {
  // "HTTP/1.1 200" is the shortest form.
  if (line.size() < 12 || line.substr(0, 5) != "HTTP/" || !IsDigit(line[5]) || line[6] != '.' ||
      !IsDigit(line[7]) || line[8] != ' ' || !IsDigit(line[9]) || !IsDigit(line[10]) ||
      !IsDigit(line[11]) || (line.size() > 12 && line[12] != ' ')) {
    throw Malformed("fehlerhafte Statuszeile");
  }
  StatusLine s;
  s.major = line[5] - '0';
  s.minor = line[7] - '0';
  s.code = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
  if (s.major != 1 || s.code < 100) throw Malformed("fehlerhafte Statuszeile");
  if (line.size() > 13) s.reason.assign(line.substr(13));
  if (HasControl(s.reason)) throw Malformed("fehlerhafte Statuszeile");
  return s;
}

std::vector<std::string> ResponseHead::Values(std::string_view name) const {
  std::vector<std::string> out;
  for (const HeaderField& f : fields) {
    if (EqualsNoCase(f.name, name)) out.push_back(f.value);
  }
  return out;
}

std::size_t FindHeadEnd(std::string_view data, std::size_t from) {
  for (std::size_t i = from; i < data.size(); ++i) {
    if (data[i] != '\n') continue;
    if (i + 1 < data.size() && data[i + 1] == '\n') return i + 2;
    if (i + 2 < data.size() && data[i + 1] == '\r' && data[i + 2] == '\n') return i + 3;
  }
  return npos;
}

ResponseHead ParseResponseHead(std::string_view head) {
  ResponseHead out;
  std::size_t pos = 0;
  if (head.empty()) throw Malformed("fehlerhafte Statuszeile");
  out.status = ParseStatusLine(NextLine(head, &pos));
  while (pos < head.size()) {
    const std::string_view line = NextLine(head, &pos);
    if (line.empty()) {
      if (pos < head.size()) throw Malformed("fehlerhafte Kopfzeile");
      break;
    }
    if (IsOws(line.front())) {
      // An old-style continuation line: part of the previous field's value.
      if (out.fields.empty()) throw Malformed("fehlerhafte Kopfzeile");
      const std::string_view more = TrimOws(line);
      if (HasControl(more)) throw Malformed("Steuerzeichen in einer Kopfzeile");
      std::string& value = out.fields.back().value;
      if (!more.empty()) {
        if (!value.empty()) value.push_back(' ');
        value.append(more);
      }
      continue;
    }
    HeaderField field;
    ParseFieldLine(line, &field);
    out.fields.push_back(std::move(field));
  }
  return out;
}

// ---- Body ----

BodyFraming DecideBodyFraming(const ResponseHead& head) {
  const int code = head.status.code;
  if ((code >= 100 && code < 200) || code == 204 || code == 304) return {BodyKind::kNone, 0};

  std::vector<std::string> codings;
  for (const std::string& value : head.Values("Transfer-Encoding")) {
    std::size_t pos = 0;
    while (pos <= value.size()) {
      const std::size_t comma = std::min(value.find(',', pos), value.size());
      const std::string_view item = TrimOws(std::string_view(value).substr(pos, comma - pos));
      if (!item.empty()) codings.push_back(LowerCopy(item));
      pos = comma + 1;
    }
  }
  if (!codings.empty()) {
    // A transfer coding overrides any Content-Length.
    if (codings.back() == "chunked") return {BodyKind::kChunked, 0};
    return {BodyKind::kUntilClose, 0};
  }

  std::optional<std::uint64_t> length;
  for (const std::string& value : head.Values("Content-Length")) {
    std::size_t pos = 0;
    while (pos <= value.size()) {
      const std::size_t comma = std::min(value.find(',', pos), value.size());
      const std::string_view item = TrimOws(std::string_view(value).substr(pos, comma - pos));
      // 18 digits stay well inside 64 bits.
      const auto v = ParseDecimal(item, 18);
      if (!v) throw Malformed("fehlerhafte Content-Length");
      if (length && *length != *v) throw Malformed("widersprüchliche Content-Length");
      length = v;
      pos = comma + 1;
    }
  }
  if (length) return {BodyKind::kLength, *length};
  return {BodyKind::kUntilClose, 0};
}

std::size_t ChunkedDecoder::Feed(std::string_view data, std::string* out) {
  std::size_t i = 0;
  while (i < data.size() && state_ != State::kDone) {
    switch (state_) {
      case State::kSize:
      case State::kTrailer: {
        const std::size_t nl = data.find('\n', i);
        const std::size_t end = nl == npos ? data.size() : nl;
        const std::size_t limit =
            state_ == State::kSize
                ? kMaxHeadBytes
                : (trailerBytes_ >= kMaxHeadBytes ? 0 : kMaxHeadBytes - trailerBytes_);
        if (line_.size() + (end - i) > limit) {
          throw Malformed(state_ == State::kSize ? "Chunk-Kopf zu lang"
                                                 : "Trailer länger als 64 KiB");
        }
        line_.append(data.substr(i, end - i));
        i = end;
        if (nl != npos) {
          ++i;
          TakeLine();
        }
        break;
      }
      case State::kData: {
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, data.size() - i));
        if (out) out->append(data.substr(i, n));
        i += n;
        remaining_ -= n;
        dataBytes_ += n;
        if (remaining_ == 0) state_ = State::kDataCr;
        break;
      }
      case State::kDataCr:
      case State::kDataLf: {
        const char c = data[i++];
        if (c == '\n') {
          state_ = State::kSize;
        } else if (c == '\r' && state_ == State::kDataCr) {
          state_ = State::kDataLf;
        } else {
          throw Malformed("Chunk ohne Zeilenende");
        }
        break;
      }
      case State::kDone:
        break;
    }
  }
  return i;
}

void ChunkedDecoder::TakeLine() {
  std::string_view line = line_;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.find('\r') != npos) throw Malformed("CR ohne LF in der Antwort");
  if (state_ == State::kSize) {
    std::uint64_t size = 0;
    std::size_t i = 0;
    for (; i < line.size() && IsHex(line[i]); ++i) {
      // One more digit would not fit in 64 bits.
      if (size > (std::numeric_limits<std::uint64_t>::max() >> 4)) {
        throw Malformed("Chunk-Größe zu groß");
      }
      size = (size << 4) | static_cast<std::uint64_t>(HexValue(line[i]));
    }
    if (i == 0) throw Malformed("fehlerhafte Chunk-Größe");
    while (i < line.size() && IsOws(line[i])) ++i;
    // What follows a ';' are chunk extensions, which the client has no use for.
    if (i < line.size() && line[i] != ';') {
      throw Malformed("fehlerhafte Chunk-Größe");
    }
    if (size == 0) {
      state_ = State::kTrailer;
    } else {
      remaining_ = size;
      state_ = State::kData;
    }
  } else {
    trailerBytes_ += line_.size() + 1;
    if (line.empty()) {
      state_ = State::kDone;
    } else if (!IsOws(line.front())) {  // a continuation line is dropped with its field
      HeaderField ignored;
      ParseFieldLine(line, &ignored);
    }
  }
  line_.clear();
}

}  // namespace orv
