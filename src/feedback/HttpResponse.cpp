#include "feedback/HttpResponse.h"

#include <algorithm>

#include "base/Text.h"

namespace {

// Far beyond any real body, low enough that no arithmetic on it overflows.
constexpr std::uint64_t kMaxDeclaredSize = std::uint64_t{1} << 60;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// Consumes c from the front of s; false when s does not start with it.
bool TakeChar(std::string_view& s, char c) {
  if (s.empty() || s.front() != c) return false;
  s.remove_prefix(1);
  return true;
}

// Consumes a run of decimal digits from the front of s; false when there is none.
bool TakeDigits(std::string_view& s) {
  size_t n = 0;
  while (n < s.size() && IsDigit(s[n])) ++n;
  s.remove_prefix(n);
  return n > 0;
}

bool ParseContentLength(std::string_view text, std::uint64_t& value) {
  text = TrimBlanks(text);
  if (text.empty()) return false;
  value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
    if (value > kMaxDeclaredSize) return false;
  }
  return true;
}

// True when the last transfer coding of a Transfer-Encoding value is chunked.
bool EndsWithChunked(std::string_view value) {
  const size_t comma = value.rfind(',');
  const std::string_view last = comma == std::string_view::npos ? value : value.substr(comma + 1);
  return EqualsNoCase(TrimBlanks(last), "chunked");
}

}  // namespace

THttpResponseReader::THttpResponseReader(std::size_t maxHeadBytes, std::size_t maxBodyKept)
    : FMaxHeadBytes(maxHeadBytes), FMaxBodyKept(maxBodyKept) {}

THttpReadState THttpResponseReader::State() const {
  if (FPhase == TPhase::Done) return THttpReadState::Done;
  if (FPhase == TPhase::OptionalBody) return THttpReadState::OptionalBody;
  return THttpReadState::NeedData;
}

void THttpResponseReader::Feed(std::string_view bytes) {
  size_t pos = 0;
  while (pos < bytes.size() && FPhase != TPhase::Done) {
    switch (FPhase) {
      case TPhase::OptionalBody:
        StartBody();
        break;
      case TPhase::LengthBody:
      case TPhase::ChunkData: {
        const size_t n = static_cast<size_t>(std::min<std::uint64_t>(FRemaining, bytes.size() - pos));
        AppendBody(bytes.substr(pos, n));
        pos += n;
        FRemaining -= n;
        if (FRemaining == 0) {
          if (FPhase == TPhase::LengthBody)
            Finish();
          else
            StartSection(TPhase::ChunkEnd);
        }
        break;
      }
      case TPhase::CloseBody:
        AppendBody(bytes.substr(pos));
        pos = bytes.size();
        break;
      default:
        if (TakeLine(bytes, pos)) {
          const std::string line = std::move(FLine);
          FLine.clear();
          HandleLine(line);
        }
        break;
    }
  }
}

void THttpResponseReader::FeedClosed() {
  switch (FPhase) {
    case TPhase::StatusLine:
    case TPhase::Headers:
      Fail(u"The connection closed before the answer's headers ended");
      break;
    case TPhase::OptionalBody:
    case TPhase::CloseBody:
    case TPhase::Trailers:  // the body itself is complete
      Finish();
      break;
    case TPhase::Done:
      break;
    default:
      Fail(u"The connection closed before the answer's body ended");
      break;
  }
}

void THttpResponseReader::FinishWithoutBody() {
  if (FPhase == TPhase::OptionalBody) Finish();
}

// Moves bytes up to the next LF into FLine; true when the line is complete
// (its CR LF or LF removed).
bool THttpResponseReader::TakeLine(std::string_view bytes, std::size_t& pos) {
  const size_t lf = bytes.find('\n', pos);
  const size_t end = lf == std::string_view::npos ? bytes.size() : lf;
  FSectionBytes += end - pos + (lf == std::string_view::npos ? 0 : 1);
  if (FSectionBytes > FMaxHeadBytes) {
    const bool inHead = FPhase == TPhase::StatusLine || FPhase == TPhase::Headers;
    Fail(inHead ? u"The answer's headers are too long" : u"The answer's chunk framing is too long");
    return false;
  }
  FLine.append(bytes.substr(pos, end - pos));
  pos = lf == std::string_view::npos ? bytes.size() : lf + 1;
  if (lf == std::string_view::npos) return false;
  if (!FLine.empty() && FLine.back() == '\r') FLine.pop_back();
  return true;
}

void THttpResponseReader::HandleLine(std::string_view line) {
  switch (FPhase) {
    case TPhase::StatusLine:
      HandleStatusLine(line);
      break;
    case TPhase::Headers:
      if (line.empty())
        EndHead();
      else
        HandleHeader(line);
      break;
    case TPhase::ChunkSize:
      HandleChunkSize(line);
      break;
    case TPhase::ChunkEnd:
      if (!line.empty())
        Fail(u"The answer has a chunk longer than its size");
      else
        StartSection(TPhase::ChunkSize);
      break;
    case TPhase::Trailers:
      if (line.empty()) Finish();
      break;
    default:
      break;
  }
}

// "HTTP/<digits>.<digits> <3 digits>[ <reason>]"
void THttpResponseReader::HandleStatusLine(std::string_view line) {
  std::string_view s = line;
  bool ok = s.substr(0, 5) == "HTTP/";
  if (ok) s.remove_prefix(5);
  ok = ok && TakeDigits(s) && TakeChar(s, '.') && TakeDigits(s) && TakeChar(s, ' ');
  const std::string_view code = s.substr(0, 3);
  ok = ok && code.size() == 3 && code[0] >= '1' && code[0] <= '9' && IsDigit(code[1]) && IsDigit(code[2]);
  if (ok) s.remove_prefix(3);
  ok = ok && (s.empty() || TakeChar(s, ' '));
  if (!ok) {
    Fail(u"The answer's status line is malformed");
    return;
  }
  FResult.Code = (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
  FResult.StatusText = std::string(s);
  FChunked = FHasTransferEncoding = FHasLength = false;
  FLength = 0;
  FPhase = TPhase::Headers;
}

void THttpResponseReader::HandleHeader(std::string_view line) {
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos) return;  // not a field; nothing we use
  const std::string_view name = TrimBlanks(line.substr(0, colon));
  const std::string_view value = line.substr(colon + 1);
  if (EqualsNoCase(name, "Transfer-Encoding")) {
    FHasTransferEncoding = true;
    FChunked = EndsWithChunked(value);
  } else if (EqualsNoCase(name, "Content-Length")) {
    std::uint64_t length = 0;
    if (!ParseContentLength(value, length) || (FHasLength && length != FLength)) {
      Fail(u"The answer has an invalid Content-Length");
      return;
    }
    FHasLength = true;
    FLength = length;
  }
}

// "<hex digits>[ ][;extensions]"
void THttpResponseReader::HandleChunkSize(std::string_view line) {
  std::uint64_t size = 0;
  size_t i = 0;
  for (; i < line.size() && HexValue(line[i]) >= 0; ++i) {
    size = size * 16 + static_cast<unsigned>(HexValue(line[i]));
    if (size > kMaxDeclaredSize) break;
  }
  const std::string_view rest = TrimBlanks(line.substr(i));
  if (i == 0 || size > kMaxDeclaredSize || (!rest.empty() && rest.front() != ';')) {
    Fail(u"The answer has a bad chunk size");
    return;
  }
  if (size == 0) {
    StartSection(TPhase::Trailers);
  } else {
    FRemaining = size;
    FPhase = TPhase::ChunkData;
  }
}

void THttpResponseReader::EndHead() {
  const int code = FResult.Code;
  if (code == 100) {  // interim answer: the real one follows
    FPhase = TPhase::StatusLine;
    return;
  }
  const bool noBody = code / 100 == 1 || code == 204 || code == 304;
  const bool emptyBody = !FHasTransferEncoding && FHasLength && FLength == 0;
  if (noBody || emptyBody)
    Finish();
  else if (code / 100 == 3)
    FPhase = TPhase::OptionalBody;
  else
    StartBody();
}

void THttpResponseReader::StartBody() {
  if (FHasTransferEncoding) {
    if (FChunked)
      StartSection(TPhase::ChunkSize);
    else
      FPhase = TPhase::CloseBody;
  } else if (FHasLength) {
    FRemaining = FLength;
    if (FRemaining == 0)
      Finish();
    else
      FPhase = TPhase::LengthBody;
  } else {
    FPhase = TPhase::CloseBody;
  }
}

void THttpResponseReader::StartSection(TPhase phase) {
  FPhase = phase;
  FSectionBytes = 0;
}

void THttpResponseReader::AppendBody(std::string_view data) {
  FResult.BodySize += data.size();
  const size_t room = FMaxBodyKept - std::min(FMaxBodyKept, FResult.Body.size());
  FResult.Body.append(data.substr(0, std::min(room, data.size())));
}

void THttpResponseReader::Finish() {
  FPhase = TPhase::Done;
  FResult.Success = FResult.Code / 100 == 2;
  if (!FResult.Success)
    FResult.ErrorText = u"The server answered " + IntToText(FResult.Code) + u" " + Utf8ToUtf16(FResult.StatusText);
}

void THttpResponseReader::Fail(std::u16string text) {
  FPhase = TPhase::Done;
  FResult.Success = false;
  FResult.ErrorText = std::move(text);
}
