#ifndef QM_FEEDBACK_HTTPCLIENT_H
#define QM_FEEDBACK_HTTPCLIENT_H

// TIdHTTP: the window's HTTP client, used for the one feedback request.
// Plain HTTP/1.0 over the platform's sockets; nothing is added to the
// request beyond what the feedback needs.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/Error.h"

// A complete answer whose status is not 2xx; the message names code and text.
class THttpStatusError : public TError {
 public:
  THttpStatusError(std::u16string message, int code, std::string statusText, std::string body)
      : TError(std::move(message)), Code(code), StatusText(std::move(statusText)), Body(std::move(body)) {}
  int Code;
  std::string StatusText;
  std::string Body;
};

class TIdHTTP {
 public:
  TIdHTTP();
  ~TIdHTTP();
  TIdHTTP(const TIdHTTP&) = delete;
  TIdHTTP& operator=(const TIdHTTP&) = delete;

  // Bounds of the wait, in milliseconds: for looking up the host and
  // connecting, and for the whole exchange from the lookup to the last byte
  // of the answer. The window takes its messages throughout.
  unsigned ConnectTimeoutMs = 15000;
  unsigned TotalTimeoutMs = 30000;

  // Posts the form lines ("name=value") form-encoded to url, once, never
  // retried; returns the body of a 2xx answer and keeps the connection open
  // until Disconnect. Throws TError on every failure (THttpStatusError for a
  // non-2xx answer), with the connection closed.
  std::string Post(const std::u16string& url, const std::vector<std::u16string>& formLines);
  // Closes the connection when one is open.
  void Disconnect() noexcept;

 private:
  struct TConnection;
  std::unique_ptr<TConnection> FConnection;
};

#endif
