#include "wine/LoopbackServer.h"

#include <ws2tcpip.h>

#include <gtest/gtest.h>

namespace {

struct TWinsock {
  TWinsock() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~TWinsock() { WSACleanup(); }
};

// Waits up to ms for sock to become readable.
bool Readable(SOCKET sock, int ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(sock, &set);
  timeval tv{ms / 1000, (ms % 1000) * 1000};
  return select(0, &set, nullptr, nullptr, &tv) > 0;
}

// True once the bytes hold a whole request: headers, then Content-Length bytes.
bool RequestComplete(const std::string& bytes) {
  const size_t end = bytes.find("\r\n\r\n");
  if (end == std::string::npos) return false;
  size_t length = 0;
  const size_t cl = bytes.find("Content-Length: ");
  if (cl != std::string::npos && cl < end) length = std::stoul(bytes.substr(cl + 16));
  return bytes.size() >= end + 4 + length;
}

}  // namespace

TLoopbackServer::TLoopbackServer(std::string answer, TMode mode) : FAnswer(std::move(answer)), FMode(mode) {
  static TWinsock winsock;
  FListen = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  EXPECT_EQ(bind(FListen, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
  int len = sizeof(addr);
  getsockname(FListen, reinterpret_cast<sockaddr*>(&addr), &len);
  FPort = ntohs(addr.sin_port);
  EXPECT_EQ(listen(FListen, 4), 0);
  FThread = std::thread([this] { Run(); });
}

TLoopbackServer::~TLoopbackServer() {
  FStop = true;
  if (FThread.joinable()) FThread.join();
  closesocket(FListen);
}

std::string TLoopbackServer::Received() {
  FStop = true;
  if (FThread.joinable()) FThread.join();
  return FReceived;
}

void TLoopbackServer::Run() {
  while (!FStop && !Readable(FListen, 50)) {}
  if (FStop) return;
  SOCKET peer = accept(FListen, nullptr, nullptr);
  if (peer == INVALID_SOCKET) return;
  ++FConnections;
  char buf[4096];
  while (!FStop && !RequestComplete(FReceived)) {
    if (!Readable(peer, 50)) continue;
    const int n = recv(peer, buf, sizeof(buf), 0);
    if (n <= 0) break;
    FReceived.append(buf, static_cast<size_t>(n));
  }
  switch (FMode) {
    case TMode::Answer:
      send(peer, FAnswer.data(), static_cast<int>(FAnswer.size()), 0);
      shutdown(peer, SD_SEND);
      break;
    case TMode::Silent:
      while (!FStop) Sleep(20);
      break;
    case TMode::ResetMidAnswer: {
      send(peer, FAnswer.data(), static_cast<int>(FAnswer.size() / 2), 0);
      linger hard{1, 0};
      setsockopt(peer, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof(hard));
      break;
    }
  }
  closesocket(peer);
}
