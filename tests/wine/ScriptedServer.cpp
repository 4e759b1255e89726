#include "wine/ScriptedServer.h"

#include <gtest/gtest.h>

TWinsockSocket Listen(const TWinsock& ws, int family, int backlog, unsigned short& port) {
  TWinsockSocket s(ws, ws.socket(family, SOCK_STREAM, IPPROTO_TCP));
  sockaddr_storage addr{};
  int len = family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
  addr.ss_family = static_cast<short>(family);
  if (family == AF_INET)
    reinterpret_cast<sockaddr_in&>(addr).sin_addr.s_addr = 0x0100007F;  // 127.0.0.1
  else
    reinterpret_cast<sockaddr_in6&>(addr).sin6_addr.s6_addr[15] = 1;  // ::1
  auto* sa = reinterpret_cast<sockaddr*>(&addr);
  EXPECT_EQ(ws.bind(s.Get(), sa, len), 0) << ws.WSAGetLastError();
  EXPECT_EQ(ws.listen(s.Get(), backlog), 0);
  ws.getsockname(s.Get(), sa, &len);
  const unsigned short raw = family == AF_INET ? reinterpret_cast<sockaddr_in&>(addr).sin_port
                                               : reinterpret_cast<sockaddr_in6&>(addr).sin6_port;
  port = static_cast<unsigned short>(raw << 8 | raw >> 8);  // from network byte order
  return s;
}
