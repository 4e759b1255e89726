#include "feedback/HttpClient.h"

#include <algorithm>

#include "base/Text.h"
#include "feedback/Connect.h"
#include "feedback/FormEncoder.h"
#include "feedback/HttpRequest.h"
#include "feedback/HttpResponse.h"
#include "feedback/HttpUrl.h"
#include "feedback/Winsock.h"

namespace {

// How long the head of a redirect waits for an optional body.
constexpr unsigned kOptionalBodyWaitMs = 5000;

std::u16string PeerText(const THttpUrl& url) {
  const std::u16string host = Utf8ToUtf16(url.Host);
  return (url.Host.find(':') == std::string::npos ? host : u"[" + host + u"]") + u":" + IntToText(url.Port);
}

}  // namespace

// One exchange with the server: the library stays started while the socket lives.
struct TIdHTTP::TConnection {
  explicit TConnection(const THttpUrl& url) : Peer(PeerText(url)) {}

  void Connect(const THttpUrl& url, const TDeadline& connectBy);
  void SendAll(std::string_view data, const TDeadline& total);
  THttpResult ReadAnswer(const TDeadline& total);
  bool Wait(unsigned ms, bool write) const { return WaitForSocket(Ws, Socket.Get(), write, ms, Peer); }
  std::u16string LastErrorText() const { return TWinsock::ErrorText(Ws.WSAGetLastError()); }

  TWinsock Ws;
  TWinsockSocket Socket;
  std::u16string Peer;  // "host:port", for the error texts
};

// The lookup and the connection share the bound connectBy; each resolved
// address (IPv6 and IPv4, in the resolver's order) gets its turn within it.
void TIdHTTP::TConnection::Connect(const THttpUrl& url, const TDeadline& connectBy) {
  const std::vector<TSocketAddress> addresses = LookUpHost(Ws, url.Host, url.Port, connectBy.Left());
  Socket = ConnectToFirst(Ws, addresses, connectBy.Left(), Peer);
}

void TIdHTTP::TConnection::SendAll(std::string_view data, const TDeadline& total) {
  while (!data.empty()) {
    if (!Wait(total.Left(), true)) throw TError(u"Sending the request to " + Peer + u" timed out");
    const int n = Ws.send(Socket.Get(), data.data(), static_cast<int>(std::min<size_t>(data.size(), 65536)), 0);
    if (n == SOCKET_ERROR) {
      if (Ws.WSAGetLastError() == WSAEWOULDBLOCK) continue;
      throw TError(u"The connection to " + Peer + u" broke while sending the request. " + LastErrorText());
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
}

THttpResult TIdHTTP::TConnection::ReadAnswer(const TDeadline& total) {
  THttpResponseReader reader;
  char buf[8192];
  while (!reader.IsDone()) {
    const bool optional = reader.State() == THttpReadState::OptionalBody;
    if (!Wait(optional ? std::min(total.Left(), kOptionalBodyWaitMs) : total.Left(), false)) {
      if (!optional) throw TError(u"The server at " + Peer + u" did not answer in time");
      reader.FinishWithoutBody();
      break;
    }
    const int n = Ws.recv(Socket.Get(), buf, sizeof buf, 0);
    if (n > 0) {
      reader.Feed(std::string_view(buf, static_cast<size_t>(n)));
    } else if (n == 0) {
      // Wine 8 reports a reset by the peer as this orderly close, Windows as
      // WSAECONNRESET below: an unfinished answer fails either way.
      reader.FeedClosed();
    } else if (Ws.WSAGetLastError() != WSAEWOULDBLOCK) {
      throw TError(u"The connection to " + Peer + u" broke while reading the answer. " + LastErrorText());
    }
  }
  return reader.Result();
}

TIdHTTP::TIdHTTP() = default;
TIdHTTP::~TIdHTTP() = default;

std::string TIdHTTP::Post(const std::u16string& url, const std::vector<std::u16string>& formLines) {
  Disconnect();
  const THttpUrl target = SplitHttpUrl(url);
  if (!target.Ok) throw TError(target.ErrorText);
  const std::string request = WritePostRequest(target.Target, target.HostHeader, EncodeForm(formLines));
  const TDeadline total(TotalTimeoutMs);
  try {
    FConnection = std::make_unique<TConnection>(target);
    FConnection->Connect(target, TDeadline(std::min(ConnectTimeoutMs, TotalTimeoutMs)));
    FConnection->SendAll(request, total);
    THttpResult answer = FConnection->ReadAnswer(total);
    if (answer.Success) return std::move(answer.Body);
    if (answer.Code != 0 && answer.Code / 100 != 2)
      throw THttpStatusError(answer.ErrorText, answer.Code, std::move(answer.StatusText), std::move(answer.Body));
    throw TError(answer.ErrorText);
  } catch (...) {
    Disconnect();
    throw;
  }
}

void TIdHTTP::Disconnect() noexcept { FConnection.reset(); }
