// The answer reader fed the same bytes whole and in pieces whose sizes come
// from the input: both must end alike, within the reader's memory bounds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "feedback/HttpResponse.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

constexpr size_t kHead = 256;
constexpr size_t kBody = 64;

// Ends the exchange the way a client would: a redirect that waits for its
// optional body gets none, anything else sees the server close.
THttpResult Finish(THttpResponseReader& reader) {
  if (reader.State() == THttpReadState::OptionalBody) reader.FinishWithoutBody();
  reader.FeedClosed();
  Check(reader.IsDone());
  return reader.Result();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const unsigned pieceSeed = data[0];
  const std::string_view wire(reinterpret_cast<const char*>(data) + 1, size - 1);

  THttpResponseReader whole(kHead, kBody);
  whole.Feed(wire);
  const THttpResult a = Finish(whole);

  THttpResponseReader pieces(kHead, kBody);
  unsigned state = pieceSeed | 1;
  for (size_t pos = 0; pos < wire.size();) {
    state = state * 1103515245u + 12345u;
    const size_t n = std::min<size_t>(1 + (state >> 16) % 9, wire.size() - pos);
    pieces.Feed(wire.substr(pos, n));
    pos += n;
  }
  const THttpResult b = Finish(pieces);

  Check(a.Success == b.Success && a.Code == b.Code && a.StatusText == b.StatusText && a.Body == b.Body &&
        a.BodySize == b.BodySize && a.ErrorText == b.ErrorText);
  Check(a.Body.size() <= kBody && a.StatusText.size() <= kHead);
  Check(a.Success == a.ErrorText.empty());
  Check(!a.Success || (a.Code >= 200 && a.Code <= 299));
  return 0;
}
