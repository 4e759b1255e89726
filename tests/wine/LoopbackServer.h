#ifndef QM_TESTS_LOOPBACKSERVER_H
#define QM_TESTS_LOOPBACKSERVER_H

// A one-connection HTTP peer on 127.0.0.1 for the tests: it records the raw
// bytes of the request it receives and sends a scripted answer.

#include <winsock2.h>

#include <atomic>
#include <string>
#include <thread>

class TLoopbackServer {
 public:
  enum class TMode {
    Answer,        // read the request, send Answer, close
    Silent,        // accept, then say nothing until stopped
    ResetMidAnswer // send the first half of Answer, then reset the connection
  };

  explicit TLoopbackServer(std::string answer, TMode mode = TMode::Answer);
  ~TLoopbackServer();
  TLoopbackServer(const TLoopbackServer&) = delete;
  TLoopbackServer& operator=(const TLoopbackServer&) = delete;

  unsigned short Port() const { return FPort; }
  // Everything received on the connection, once the server has finished with it.
  std::string Received();
  // Number of connections accepted so far.
  int Connections() const { return FConnections; }

 private:
  void Run();

  std::string FAnswer;
  TMode FMode;
  SOCKET FListen = INVALID_SOCKET;
  unsigned short FPort = 0;
  std::atomic<int> FConnections{0};
  std::atomic<bool> FStop{false};
  std::string FReceived;
  std::thread FThread;
};

#endif
