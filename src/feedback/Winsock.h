#ifndef QM_FEEDBACK_WINSOCK_H
#define QM_FEEDBACK_WINSOCK_H

// Winsock, loaded on demand from system32. The program has no static import
// of ws2_32.dll: a copy planted beside the executable is never loaded.

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <string>
#include <utility>

class TWinsock {
 public:
  // Loads ws2_32.dll from system32, binds the functions below and starts
  // Winsock 2.2; throws TError when any of that fails.
  TWinsock();
  // Balances the start-up and releases the library.
  ~TWinsock();
  TWinsock(const TWinsock&) = delete;
  TWinsock& operator=(const TWinsock&) = delete;

  // The system's text for a socket error code, or "socket error <code>".
  static std::u16string ErrorText(int code);

  // The bound functions, named as the API names them.
  decltype(&::WSAStartup) WSAStartup = nullptr;
  decltype(&::WSACleanup) WSACleanup = nullptr;
  decltype(&::WSAGetLastError) WSAGetLastError = nullptr;
  decltype(&::getaddrinfo) getaddrinfo = nullptr;
  decltype(&::freeaddrinfo) freeaddrinfo = nullptr;
  decltype(&::socket) socket = nullptr;
  decltype(&::closesocket) closesocket = nullptr;
  decltype(&::ioctlsocket) ioctlsocket = nullptr;
  decltype(&::connect) connect = nullptr;
  decltype(&::select) select = nullptr;
  decltype(&::send) send = nullptr;
  decltype(&::recv) recv = nullptr;
  decltype(&::getsockopt) getsockopt = nullptr;
  decltype(&::setsockopt) setsockopt = nullptr;
  decltype(&::bind) bind = nullptr;
  decltype(&::listen) listen = nullptr;
  decltype(&::accept) accept = nullptr;
  decltype(&::getsockname) getsockname = nullptr;
  decltype(&::shutdown) shutdown = nullptr;
  decltype(&::WSAAsyncGetHostByName) WSAAsyncGetHostByName = nullptr;
  decltype(&::WSACancelAsyncRequest) WSACancelAsyncRequest = nullptr;

  // The asynchronous lookup of Windows 8 and later: GetAddrInfoExW is bound
  // only when the three others are.
  decltype(&::GetAddrInfoExW) GetAddrInfoExW = nullptr;
  decltype(&::FreeAddrInfoExW) FreeAddrInfoExW = nullptr;
  int(WSAAPI* GetAddrInfoExOverlappedResult)(LPOVERLAPPED overlapped) = nullptr;
  int(WSAAPI* GetAddrInfoExCancel)(LPHANDLE handle) = nullptr;

 private:
  const char* BindFunctions();  // the name of the first missing function, or null

  HMODULE FModule = nullptr;
};

// Owns one socket and closes it through the TWinsock that made it, which
// must outlive it. (base/ScopedHandle.h's TSocket would import closesocket
// statically.)
class TWinsockSocket {
 public:
  TWinsockSocket() = default;
  TWinsockSocket(const TWinsock& ws, SOCKET s) : FWinsock(&ws), FSocket(s) {}
  TWinsockSocket(TWinsockSocket&& o) noexcept
      : FWinsock(o.FWinsock), FSocket(std::exchange(o.FSocket, INVALID_SOCKET)) {}
  TWinsockSocket& operator=(TWinsockSocket&& o) noexcept {
    if (this != &o) {
      Reset();
      FWinsock = o.FWinsock;
      FSocket = std::exchange(o.FSocket, INVALID_SOCKET);
    }
    return *this;
  }
  ~TWinsockSocket() { Reset(); }

  bool IsValid() const { return FSocket != INVALID_SOCKET; }
  SOCKET Get() const { return FSocket; }
  // Closes the socket, when one is held.
  void Reset() {
    if (IsValid()) FWinsock->closesocket(std::exchange(FSocket, INVALID_SOCKET));
  }

 private:
  const TWinsock* FWinsock = nullptr;
  SOCKET FSocket = INVALID_SOCKET;
};

#endif
