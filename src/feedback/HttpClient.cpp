#include "feedback/HttpClient.h"

#include <algorithm>

#include "app/Responsive.h"
#include "base/Text.h"
#include "feedback/FormEncoder.h"
#include "feedback/HttpRequest.h"
#include "feedback/HttpResponse.h"
#include "feedback/HttpUrl.h"
#include "feedback/Winsock.h"

namespace {

// How long the head of a redirect waits for an optional body.
constexpr unsigned kOptionalBodyWaitMs = 5000;

class TDeadline {
 public:
  explicit TDeadline(unsigned ms) : FEnd(GetTickCount64() + ms) {}
  // Milliseconds left; 0 once passed.
  unsigned Left() const {
    const ULONGLONG now = GetTickCount64();
    return now >= FEnd ? 0 : static_cast<unsigned>(FEnd - now);
  }

 private:
  ULONGLONG FEnd;
};

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
  // Waits at most ms for s to become readable (or writable), or for a
  // connection attempt to fail; false on time-out.
  bool Wait(SOCKET s, bool write, unsigned ms) const;
  std::u16string LastErrorText() const { return TWinsock::ErrorText(Ws.WSAGetLastError()); }

  TWinsock Ws;
  TWinsockSocket Socket;
  std::u16string Peer;  // "host:port", for the error texts
};

// Resolution is not bounded by our time-outs: the system's resolver applies
// its own. Then every resolved address (IPv6 and IPv4, in the resolver's
// order) is tried in turn, all of them within connectBy. Windows retries a
// refused attempt for about two seconds before it reports WSAECONNREFUSED;
// Wine reports it at once.
void TIdHTTP::TConnection::Connect(const THttpUrl& url, const TDeadline& connectBy) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* list = nullptr;
  if (const int code = Ws.getaddrinfo(url.Host.c_str(), std::to_string(url.Port).c_str(), &hints, &list); code != 0)
    throw TError(u"Cannot resolve the host " + Utf8ToUtf16(url.Host) + u". " + TWinsock::ErrorText(code));
  const std::unique_ptr<addrinfo, decltype(Ws.freeaddrinfo)> owner(list, Ws.freeaddrinfo);

  int error = WSAEHOSTUNREACH;
  for (const addrinfo* a = list; a; a = a->ai_next) {
    TWinsockSocket s(Ws, Ws.socket(a->ai_family, a->ai_socktype, a->ai_protocol));
    u_long nonBlocking = 1;
    if (!s.IsValid() || Ws.ioctlsocket(s.Get(), FIONBIO, &nonBlocking) != 0) {
      error = Ws.WSAGetLastError();
      continue;
    }
    if (Ws.connect(s.Get(), a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0) {
      error = Ws.WSAGetLastError();
      if (error != WSAEWOULDBLOCK) continue;
      if (!Wait(s.Get(), true, connectBy.Left())) throw TError(u"The connection to " + Peer + u" timed out");
      // A failed attempt shows in the except set; SO_ERROR tells why.
      int len = sizeof error;
      if (Ws.getsockopt(s.Get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len) != 0)
        error = Ws.WSAGetLastError();
      if (error != 0) continue;
    }
    Socket = std::move(s);
    return;
  }
  throw TError(u"Cannot connect to " + Peer + u". " + TWinsock::ErrorText(error));
}

void TIdHTTP::TConnection::SendAll(std::string_view data, const TDeadline& total) {
  while (!data.empty()) {
    if (!Wait(Socket.Get(), true, total.Left())) throw TError(u"Sending the request to " + Peer + u" timed out");
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
    if (!Wait(Socket.Get(), false, optional ? std::min(total.Left(), kOptionalBodyWaitMs) : total.Left())) {
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

// The wait is cut into slices, between which the window takes its messages:
// a server that accepts and never answers must not hang it.
bool TIdHTTP::TConnection::Wait(SOCKET s, bool write, unsigned ms) const {
  constexpr unsigned SliceMs = 50;
  const TDeadline end(ms);
  for (;;) {
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    const unsigned slice = std::min(end.Left(), SliceMs);
    timeval tv{0, static_cast<long>(slice * 1000)};
    const int n = Ws.select(0, write ? nullptr : &ready, write ? &ready : nullptr, &failed, &tv);
    if (n == SOCKET_ERROR) throw TError(u"Cannot wait for the connection to " + Peer + u". " + LastErrorText());
    if (n > 0) return true;
    if (end.Left() == 0) return false;
    KeepResponsive();
  }
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
