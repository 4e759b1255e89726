#ifndef QM_TESTS_SCRIPTEDSERVER_H
#define QM_TESTS_SCRIPTEDSERVER_H

// A one-connection HTTP peer on the loopback address for the tests: it
// records the raw bytes of the request and answers as the test scripts.

#include <atomic>
#include <string>
#include <thread>

#include "base/Text.h"
#include "feedback/Winsock.h"
#include "wine/WineTestSupport.h"

enum class TEnd { Close, Reset, Hold };  // after the answer: FIN, RST, or wait for the client

struct TScript {
  std::string Answer;  // sent in small pieces once the whole request is in
  TEnd End = TEnd::Hold;
  HANDLE Gate = nullptr;  // when set, the answer waits until it is signalled
};

struct TServerLog {
  bool Connected = false;
  std::string Received;
  bool ClientClosed = false;  // the client closed the connection (or reset it)
};

// A socket listening on the loopback address (IPv4 or IPv6) at an ephemeral port.
TWinsockSocket Listen(const TWinsock& ws, int family, int backlog, unsigned short& port);

// Takes one connection on the loopback address, reads the request and answers.
class TScriptedServer {
 public:
  explicit TScriptedServer(TScript script, int family = AF_INET) : FScript(std::move(script)) {
    FListener = Listen(FWs, family, 4, FPort);
    FThread = std::thread([this] { Run(); });
  }
  ~TScriptedServer() { Finish(0); }

  unsigned short Port() const { return FPort; }
  std::u16string Url(const std::u16string& host = u"127.0.0.1", const std::u16string& path = u"/fb") const {
    return u"http://" + host + u":" + IntToText(FPort) + path;
  }
  // Waits up to ms for the exchange to end, then stops the server.
  const TServerLog& Finish(DWORD ms = 10000) {
    WaitFor([this] { return FEnded.load(); }, ms);
    FStop = true;
    if (FThread.joinable()) FThread.join();
    return FLog;
  }

 private:
  // Waits up to 100 ms for s to become readable.
  bool Readable(SOCKET s) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv{0, 100000};
    return FWs.select(0, &set, nullptr, nullptr, &tv) > 0;
  }
  // Reads until the request's head and its Content-Length body are in; false when the client went away.
  bool ReadRequest(SOCKET s) {
    char buf[4096];
    while (!FStop) {
      const size_t head = FLog.Received.find("\r\n\r\n");
      if (head != std::string::npos) {
        const size_t at = FLog.Received.find("Content-Length: ");
        const size_t length = at < head ? std::stoul(FLog.Received.substr(at + 16)) : 0;
        if (FLog.Received.size() >= head + 4 + length) return true;
      }
      if (!Readable(s)) continue;
      const int n = FWs.recv(s, buf, sizeof buf, 0);
      if (n <= 0) return false;
      FLog.Received.append(buf, static_cast<size_t>(n));
    }
    return false;
  }
  void Run() {
    while (!FStop && !Readable(FListener.Get())) {
    }
    if (!FStop) {
      FLog.Connected = true;
      TWinsockSocket conn(FWs, FWs.accept(FListener.Get(), nullptr, nullptr));
      if (ReadRequest(conn.Get()))
        Answer(conn);
      else
        FLog.ClientClosed = !FStop;
    }
    FEnded = true;
  }
  void Answer(TWinsockSocket& conn) {
    while (FScript.Gate && !FStop && WaitForSingleObject(FScript.Gate, 100) == WAIT_TIMEOUT) {
    }
    for (size_t i = 0; i < FScript.Answer.size(); i += 7) {
      const std::string piece = FScript.Answer.substr(i, 7);
      FWs.send(conn.Get(), piece.data(), static_cast<int>(piece.size()), 0);
      Sleep(2);
    }
    if (FScript.End == TEnd::Reset) {
      const linger hard{1, 0};
      FWs.setsockopt(conn.Get(), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
      return;  // closing now sends RST
    }
    if (FScript.End == TEnd::Close) FWs.shutdown(conn.Get(), SD_SEND);
    char buf[256];
    while (!FStop) {
      if (Readable(conn.Get()) && FWs.recv(conn.Get(), buf, sizeof buf, 0) <= 0) {
        FLog.ClientClosed = true;
        return;
      }
    }
  }

  TWinsock FWs;
  TWinsockSocket FListener;
  TScript FScript;
  unsigned short FPort = 0;
  TServerLog FLog;
  std::atomic<bool> FStop{false};
  std::atomic<bool> FEnded{false};
  std::thread FThread;
};

#endif
