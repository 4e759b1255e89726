#ifndef QM_FEEDBACK_CONNECT_H
#define QM_FEEDBACK_CONNECT_H

// Reaching the feedback server without holding the window's thread: the
// system looks the host up while the window takes its messages, and every
// wait on a socket is cut into short slices between which it takes them too
// (app/Responsive.h). No thread of our own is involved.

#include <string>
#include <vector>

#include "feedback/Winsock.h"

// A point in time some milliseconds ahead.
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

// One address to connect to, its port set.
struct TSocketAddress {
  sockaddr_storage Storage{};
  int Length = 0;
};

// How a name is looked up: the newest way the system has, or the one that
// every Windows version has (which tests choose where the newer one exists).
enum class TLookupWay { Newest, HostByName };

// The addresses of host (a name, or a numeric IPv4 or IPv6 address) at port,
// in the resolver's order, each once. A numeric address is taken as written,
// without a lookup. A name is looked up by the system, waited for at most ms
// while the window takes its messages: GetAddrInfoExW from Windows 8 (IPv6
// and IPv4), WSAAsyncGetHostByName before it (IPv4 only). Throws TError when
// the name does not resolve, or not within ms.
std::vector<TSocketAddress> LookUpHost(const TWinsock& ws, const std::string& host, unsigned short port, unsigned ms,
                                       TLookupWay way = TLookupWay::Newest);

// Waits at most ms for s to become readable (or writable), or for a
// connection attempt on it to fail, taking the window's messages meanwhile;
// false on time-out. peer names the server in the error thrown when the wait
// itself fails.
bool WaitForSocket(const TWinsock& ws, SOCKET s, bool write, unsigned ms, const std::u16string& peer);

// A connected non-blocking TCP socket to the first of addresses that accepts,
// tried in order, all within ms. An attempt that gets no answer may take an
// equal share of the time left, so the addresses after it still get their
// turn. Throws TError (naming peer) when none accepts.
TWinsockSocket ConnectToFirst(const TWinsock& ws, const std::vector<TSocketAddress>& addresses, unsigned ms,
                              const std::u16string& peer);

#endif
