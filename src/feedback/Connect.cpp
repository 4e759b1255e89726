#include "feedback/Connect.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "app/Responsive.h"
#include "base/Error.h"
#include "base/Text.h"
#include "base/Win32Text.h"

namespace {

// How long a cancelled lookup may take to confirm that it has stopped.
constexpr unsigned CancelWaitMs = 1000;
// The longest a wait takes between two looks at the window's messages.
constexpr unsigned SliceMs = 50;

[[noreturn]] void ThrowUnresolved(const std::string& host, int code) {
  throw TError(u"Cannot resolve the host " + Utf8ToUtf16(host) + u". " + TWinsock::ErrorText(code));
}

// htons without importing ws2_32.dll (it is loaded on demand): x86 is little-endian.
u_short NetworkOrder(unsigned short port) { return static_cast<u_short>((port & 0xFF) << 8 | port >> 8); }

void Add(std::vector<TSocketAddress>& list, const sockaddr* addr, size_t length, unsigned short port) {
  if (!addr || length > sizeof(sockaddr_storage)) return;
  TSocketAddress a;
  std::memcpy(&a.Storage, addr, length);
  a.Length = static_cast<int>(length);
  // The port goes in here, the same for every way of lookup.
  if (a.Storage.ss_family == AF_INET && length >= sizeof(sockaddr_in))
    reinterpret_cast<sockaddr_in*>(&a.Storage)->sin_port = NetworkOrder(port);
  else if (a.Storage.ss_family == AF_INET6 && length >= sizeof(sockaddr_in6))
    reinterpret_cast<sockaddr_in6*>(&a.Storage)->sin6_port = NetworkOrder(port);
  else
    return;
  for (const TSocketAddress& b : list)
    if (b.Length == a.Length && std::memcmp(&b.Storage, &a.Storage, static_cast<size_t>(a.Length)) == 0) return;
  list.push_back(a);
}

// --- GetAddrInfoExW, Windows 8 and later ------------------------------------

// What the system writes to when the lookup ends. Freed once it has ended;
// a lookup that cannot be stopped keeps it for the rest of the process.
struct TAddrInfoExQuery {
  explicit TAddrInfoExQuery(const TWinsock& ws) : Ws(ws) {
    Overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  }
  ~TAddrInfoExQuery() {
    if (Result) Ws.FreeAddrInfoExW(Result);
    if (Overlapped.hEvent) CloseHandle(Overlapped.hEvent);
  }
  TAddrInfoExQuery(const TAddrInfoExQuery&) = delete;
  TAddrInfoExQuery& operator=(const TAddrInfoExQuery&) = delete;

  const TWinsock& Ws;
  OVERLAPPED Overlapped{};
  ADDRINFOEXW* Result = nullptr;
  HANDLE Cancel = nullptr;
};

std::vector<TSocketAddress> LookUpByAddrInfoEx(const TWinsock& ws, const std::string& host, unsigned short port,
                                               unsigned ms) {
  auto query = std::make_unique<TAddrInfoExQuery>(ws);
  if (!query->Overlapped.hEvent) throw TError(u"Cannot wait for the host lookup. " + SysErrorMessage(GetLastError()));
  ADDRINFOEXW hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  // Windows ends the lookup itself at this time-out; Wine ignores it, and the
  // wait below keeps the bound either way.
  timeval timeout{static_cast<long>(ms / 1000), static_cast<long>(ms % 1000 * 1000)};
  const std::u16string name = Utf8ToUtf16(host);
  int code = ws.GetAddrInfoExW(W(name), nullptr, NS_DNS, nullptr, &hints, &query->Result, &timeout, &query->Overlapped,
                               nullptr, &query->Cancel);
  if (code == WSA_IO_PENDING) {
    if (!WaitResponsive(query->Overlapped.hEvent, ms)) {
      // Windows confirms a cancel by ending the lookup with WSA_E_CANCELLED.
      // Wine 8 cannot cancel one: its lookup runs on and writes to the query
      // later, which therefore stays allocated.
      if (ws.GetAddrInfoExCancel(&query->Cancel) != 0 || !WaitResponsive(query->Overlapped.hEvent, CancelWaitMs))
        static_cast<void>(query.release());
      ThrowUnresolved(host, WSAETIMEDOUT);
    }
    code = ws.GetAddrInfoExOverlappedResult(&query->Overlapped);
  }
  if (code != 0) ThrowUnresolved(host, code);
  std::vector<TSocketAddress> list;
  // mingw-w64's header declares ai_next as a pointer to a misspelt struct
  // (addrinfoexW, never defined): it is the next ADDRINFOEXW.
  for (const ADDRINFOEXW* a = query->Result; a; a = reinterpret_cast<const ADDRINFOEXW*>(a->ai_next))
    if (a->ai_socktype == SOCK_STREAM || a->ai_socktype == 0) Add(list, a->ai_addr, a->ai_addrlen, port);
  return list;
}

// --- WSAAsyncGetHostByName, every version -----------------------------------

// Posted by Winsock to the lookup's window with the answer.
constexpr UINT WM_HOSTFOUND = WM_APP + 1;

// The buffer the system fills and the answer; freed once the answer is in,
// kept for the rest of the process when the lookup is given up (a cancel
// does not stop Wine's, which fills the buffer later).
struct THostByNameQuery {
  char Buffer[MAXGETHOSTSTRUCT] = {};
  HANDLE Task = nullptr;
  bool Done = false;
  LPARAM Answer = 0;
};

LRESULT CALLBACK HostFoundProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
  if (msg != WM_HOSTFOUND) return DefWindowProcW(wnd, msg, wp, lp);
  auto* query = reinterpret_cast<THostByNameQuery*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  if (query && reinterpret_cast<HANDLE>(wp) == query->Task) {
    query->Done = true;
    query->Answer = lp;
  }
  return 0;
}

// A message-only window that receives the answer; destroyed with the object.
class TAnswerWindow {
 public:
  explicit TAnswerWindow(THostByNameQuery* query) {
    static const wchar_t* const ClassName = L"QmHostLookup";
    static bool registered = false;  // once per process, from the GUI thread
    if (!registered) {
      WNDCLASSEXW wc{};
      wc.cbSize = sizeof wc;
      wc.lpfnWndProc = &HostFoundProc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = ClassName;
      registered = RegisterClassExW(&wc) != 0;
    }
    if (registered)
      FHandle =
          CreateWindowExW(0, ClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!FHandle) throw TError(u"Cannot wait for the host lookup. " + SysErrorMessage(GetLastError()));
    SetWindowLongPtrW(FHandle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(query));
  }
  ~TAnswerWindow() { DestroyWindow(FHandle); }
  TAnswerWindow(const TAnswerWindow&) = delete;
  TAnswerWindow& operator=(const TAnswerWindow&) = delete;
  HWND Handle() const { return FHandle; }

 private:
  HWND FHandle = nullptr;
};

std::vector<TSocketAddress> LookUpByHostName(const TWinsock& ws, const std::string& host, unsigned short port,
                                             unsigned ms) {
  auto query = std::make_unique<THostByNameQuery>();
  const TDeadline end(ms);
  {
    const TAnswerWindow window(query.get());
    query->Task = ws.WSAAsyncGetHostByName(window.Handle(), WM_HOSTFOUND, host.c_str(), query->Buffer,
                                           static_cast<int>(sizeof query->Buffer));
    if (!query->Task) ThrowUnresolved(host, ws.WSAGetLastError());
    for (;;) {
      // The answer is taken here outside the Delete command, and by
      // KeepResponsive, with the window's other messages, within it.
      MSG msg;
      while (PeekMessageW(&msg, window.Handle(), 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      KeepResponsive();
      if (query->Done) break;
      const unsigned left = end.Left();
      if (left == 0) {
        ws.WSACancelAsyncRequest(query->Task);
        static_cast<void>(query.release());
        ThrowUnresolved(host, WSAETIMEDOUT);
      }
      // Wakes for a message posted since the last look, or after the slice.
      MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min(left, SliceMs), QS_ALLINPUT);
    }
  }
  if (const int code = WSAGETASYNCERROR(query->Answer); code != 0) ThrowUnresolved(host, code);
  const auto* entry = reinterpret_cast<const hostent*>(query->Buffer);
  std::vector<TSocketAddress> list;
  if (entry->h_addrtype != AF_INET || entry->h_length != sizeof(in_addr)) return list;
  for (char** a = entry->h_addr_list; a && *a; ++a) {
    sockaddr_in in{};
    in.sin_family = AF_INET;
    std::memcpy(&in.sin_addr, *a, sizeof in.sin_addr);
    Add(list, reinterpret_cast<const sockaddr*>(&in), sizeof in, port);
  }
  return list;
}

}  // namespace

std::vector<TSocketAddress> LookUpHost(const TWinsock& ws, const std::string& host, unsigned short port, unsigned ms,
                                       TLookupWay way) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = AI_NUMERICHOST;
  addrinfo* numeric = nullptr;
  std::vector<TSocketAddress> list;
  if (ws.getaddrinfo(host.c_str(), nullptr, &hints, &numeric) == 0) {
    for (const addrinfo* a = numeric; a; a = a->ai_next) Add(list, a->ai_addr, a->ai_addrlen, port);
    ws.freeaddrinfo(numeric);
  } else if (way == TLookupWay::Newest && ws.GetAddrInfoExW) {
    list = LookUpByAddrInfoEx(ws, host, port, ms);
  } else {
    list = LookUpByHostName(ws, host, port, ms);
  }
  if (list.empty()) ThrowUnresolved(host, WSANO_DATA);
  return list;
}

bool WaitForSocket(const TWinsock& ws, SOCKET s, bool write, unsigned ms, const std::u16string& peer) {
  const TDeadline end(ms);
  for (;;) {
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    const unsigned slice = std::min(end.Left(), SliceMs);
    timeval tv{0, static_cast<long>(slice * 1000)};
    const int n = ws.select(0, write ? nullptr : &ready, write ? &ready : nullptr, &failed, &tv);
    if (n == SOCKET_ERROR)
      throw TError(u"Cannot wait for the connection to " + peer + u". " + TWinsock::ErrorText(ws.WSAGetLastError()));
    if (n > 0) return true;
    if (end.Left() == 0) return false;
    KeepResponsive();
  }
}

// Windows retries a refused attempt for about two seconds before it reports
// WSAECONNREFUSED; Wine reports it at once.
TWinsockSocket ConnectToFirst(const TWinsock& ws, const std::vector<TSocketAddress>& addresses, unsigned ms,
                              const std::u16string& peer) {
  const TDeadline end(ms);
  int error = WSAEHOSTUNREACH;
  bool timedOut = false;
  for (size_t i = 0; i < addresses.size(); ++i) {
    const TSocketAddress& a = addresses[i];
    timedOut = false;
    TWinsockSocket s(ws, ws.socket(a.Storage.ss_family, SOCK_STREAM, IPPROTO_TCP));
    u_long nonBlocking = 1;
    if (!s.IsValid() || ws.ioctlsocket(s.Get(), FIONBIO, &nonBlocking) != 0) {
      error = ws.WSAGetLastError();
      continue;
    }
    if (ws.connect(s.Get(), reinterpret_cast<const sockaddr*>(&a.Storage), a.Length) != 0) {
      error = ws.WSAGetLastError();
      if (error != WSAEWOULDBLOCK) continue;
      const unsigned share = end.Left() / static_cast<unsigned>(addresses.size() - i);
      if (!WaitForSocket(ws, s.Get(), true, share, peer)) {
        timedOut = true;
        continue;
      }
      // A failed attempt shows in the except set; SO_ERROR tells why.
      int len = sizeof error;
      if (ws.getsockopt(s.Get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len) != 0)
        error = ws.WSAGetLastError();
      if (error != 0) continue;
    }
    return s;
  }
  if (timedOut) throw TError(u"The connection to " + peer + u" timed out");
  throw TError(u"Cannot connect to " + peer + u". " + TWinsock::ErrorText(error));
}
