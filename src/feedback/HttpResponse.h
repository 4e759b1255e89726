#ifndef QM_FEEDBACK_HTTPRESPONSE_H
#define QM_FEEDBACK_HTTPRESPONSE_H

// Incremental reader of the answer to the feedback request: the socket client
// pumps whatever recv() returns into Feed() and reports the peer's close with
// FeedClosed() until IsDone(). Portable: no <windows.h>.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct THttpResult {
  bool Success = false;        // a 2xx answer read to its end
  int Code = 0;                // status code; 0 when no valid status line was read
  std::string StatusText;      // reason phrase as sent
  std::string Body;            // body bytes, cut at the reader's keep limit
  std::uint64_t BodySize = 0;  // body bytes received, kept or not
  std::u16string ErrorText;    // empty on success
};

enum class THttpReadState {
  NeedData,      // waiting for more bytes or the peer's close
  OptionalBody,  // a redirect's head is read: wait up to 5 s for body data,
                 // then call FinishWithoutBody()
  Done,          // Result() is final
};

class THttpResponseReader {
 public:
  static constexpr std::size_t kMaxHeadBytes = 64 * 1024;
  static constexpr std::size_t kMaxBodyKept = 1024 * 1024;

  // maxHeadBytes bounds the status lines and headers (all interim answers
  // together), each chunk-size line and the trailers; body bytes beyond
  // maxBodyKept are counted and dropped.
  explicit THttpResponseReader(std::size_t maxHeadBytes = kMaxHeadBytes, std::size_t maxBodyKept = kMaxBodyKept);

  // Consumes bytes received from the server; ignored once done.
  void Feed(std::string_view bytes);
  // The server closed the connection: ends a close-delimited body, fails an
  // unfinished head or body.
  void FeedClosed();
  // Ends a redirect answer whose optional body did not arrive in time.
  void FinishWithoutBody();

  THttpReadState State() const;
  bool IsDone() const { return FPhase == TPhase::Done; }
  // The outcome; meaningful once IsDone().
  const THttpResult& Result() const { return FResult; }

 private:
  enum class TPhase {
    StatusLine,
    Headers,
    OptionalBody,
    LengthBody,
    ChunkSize,
    ChunkData,
    ChunkEnd,
    Trailers,
    CloseBody,
    Done
  };

  bool TakeLine(std::string_view bytes, std::size_t& pos);
  void HandleLine(std::string_view line);
  void HandleStatusLine(std::string_view line);
  void HandleHeader(std::string_view line);
  void HandleChunkSize(std::string_view line);
  void EndHead();
  void StartBody();
  void StartSection(TPhase phase);
  void AppendBody(std::string_view data);
  void Finish();
  void Fail(std::u16string text);

  std::size_t FMaxHeadBytes;
  std::size_t FMaxBodyKept;
  TPhase FPhase = TPhase::StatusLine;
  std::string FLine;              // the unfinished line of a line-oriented phase
  std::size_t FSectionBytes = 0;  // bytes of the current line-oriented section
  bool FChunked = false;
  bool FHasTransferEncoding = false;
  bool FHasLength = false;
  std::uint64_t FLength = 0;
  std::uint64_t FRemaining = 0;  // of the Content-Length body or the current chunk
  THttpResult FResult;
};

#endif
