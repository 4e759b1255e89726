// The feedback request over real sockets: a loopback server of the test's
// own records what arrives and answers as each case scripts.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "app/Application.h"
#include "app/Config.h"
#include "app/Responsive.h"
#include "base/Error.h"
#include "base/ScopedHandle.h"
#include "base/Text.h"
#include "base/Win32Text.h"
#include "feedback/Connect.h"
#include "feedback/HttpClient.h"
#include "feedback/Winsock.h"
#include "ui/Main.h"
#include "wine/ScriptedServer.h"
#include "wine/WineTestSupport.h"

namespace {

// Ends the test program when a test runs far beyond any sane time, so that a
// hanging client cannot hold CTest.
class TWatchdog {
 public:
  explicit TWatchdog(DWORD ms) : FStop(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    FThread = std::thread([this, ms] {
      if (WaitForSingleObject(FStop.Get(), ms) != WAIT_TIMEOUT) return;
      std::fprintf(stderr, "watchdog: the test hung\n");
      std::fflush(stderr);
      TerminateProcess(GetCurrentProcess(), 99);
    });
  }
  ~TWatchdog() {
    SetEvent(FStop.Get());
    FThread.join();
  }

 private:
  TFileHandle FStop;
  std::thread FThread;
};

class TGuardedTest : public ::testing::Test {
  TWatchdog FWatchdog{120000};
};

bool StartsWith(const std::u16string& s, const std::u16string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

struct TOutcome {
  bool Ok = false;
  int Code = 0;
  std::string Body;
  std::u16string Error;
};

TOutcome PostTo(TIdHTTP& http, const std::u16string& url) {
  TOutcome r;
  try {
    r.Body = http.Post(url, {u"a=b c"});
    r.Ok = true;
  } catch (const THttpStatusError& e) {
    r = {false, e.Code, e.Body, e.Message()};
  } catch (const TError& e) {
    r.Error = e.Message();
  }
  return r;
}

// --- SendFeedback on the window --------------------------------------------

class SendFeedback : public TGuardedTest {
 protected:
  void SetUp() override {
    Application.MessageBoxHook = [](const std::u16string&, const std::u16string&, UINT) { return IDOK; };
    FForm.Create();  // reports the test program's missing configuration to the hook
    FForm.Edit1.SetCaption(u"x@y");
    FForm.Memo1.SetCaption(u"Too slow\r\nBye & thanks #1");
    FForm.ver_lb.SetCaption(u"1.0");
    AppName = u"Quillmoor";
  }
  void TearDown() override {
    Application.MessageBoxHook = nullptr;
    AppName.clear();
    DelURL.clear();
  }
  TMainForm FForm;
};

TEST_F(SendFeedback, SendsTheFormByteExactOnceAndReleasesTheClient) {
  TScriptedServer server({"HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\nthanks!"});
  DelURL = server.Url(u"127.0.0.1", u"/fb/send.php?lang=en&v=2");
  ASSERT_TRUE(FForm.IdHTTP1);
  FForm.SendFeedback();
  EXPECT_FALSE(FForm.IdHTTP1);
  const TServerLog& log = server.Finish();
  EXPECT_EQ(log.Received,
            "POST /fb/send.php?lang=en&v=2 HTTP/1.0\r\n"
            "Connection: keep-alive\r\n"
            "Content-Type: application/x-www-form-urlencoded\r\n"
            "Content-Length: 72\r\n"
            "Host: 127.0.0.1:" +
                std::to_string(server.Port()) +
                "\r\n"
                "Accept: text/html, */*\r\n"
                "Accept-Encoding: identity\r\n"
                "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
                "\r\n"
                "email=x%40y&ver=1.0&info=Too+slow%0D%0ABye++thanks+1&app_title=Quillmoor");
  EXPECT_TRUE(log.ClientClosed);

  TScriptedServer again({"HTTP/1.1 200 OK\r\n\r\n"});
  DelURL = again.Url();
  EXPECT_THROW(FForm.SendFeedback(), TError);  // the client is gone: no second request
  EXPECT_FALSE(again.Finish(300).Connected);
}

TEST_F(SendFeedback, ReleasesTheClientAfterAFailure) {
  TScriptedServer server({"HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\nnope"});
  DelURL = server.Url();
  try {
    FForm.SendFeedback();
    FAIL() << "no error";
  } catch (const THttpStatusError& e) {
    EXPECT_EQ(e.Message(), u"The server answered 404 Not Found");
    EXPECT_EQ(e.Body, "nope");
  }
  EXPECT_FALSE(FForm.IdHTTP1);
  EXPECT_TRUE(server.Finish().ClientClosed);
}

// --- The answer --------------------------------------------------------------

class HttpAnswer : public TGuardedTest {};

TEST_F(HttpAnswer, SuccessOnlyFor2xxWithTheBodyReadByItsFraming) {
  struct TCase {
    const char* Name;
    TScript Script;
    bool Ok;
    int Code;
    const char* Body;
  };
  const TCase cases[] = {
      {"length", {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello"}, true, 0, "hello"},
      {"chunked",
       {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nhe\r\n3;x=1\r\nllo\r\n0\r\n\r\n"},
       true,
       0,
       "hello"},
      {"close-delimited", {"HTTP/1.0 200 OK\r\nServer: t\r\n\r\nhello", TEnd::Close}, true, 0, "hello"},
      {"204 without body", {"HTTP/1.1 204 No Content\r\n\r\n"}, true, 0, ""},
      {"100 then 200", {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"}, true, 0, "ok"},
      {"301 with body",
       {"HTTP/1.1 301 Moved Permanently\r\nLocation: /x\r\nContent-Length: 5\r\n\r\nmoved"},
       false,
       301,
       "moved"},
      {"302 closed without body", {"HTTP/1.1 302 Found\r\nLocation: /x\r\n\r\n", TEnd::Close}, false, 302, ""},
      {"404", {"HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\nnope"}, false, 404, "nope"},
      {"500 close-delimited", {"HTTP/1.0 500 Internal Server Error\r\n\r\noops", TEnd::Close}, false, 500, "oops"},
      {"101 other interim", {"HTTP/1.1 101 Switching Protocols\r\n\r\n"}, false, 101, ""},
      {"closed mid-head", {"HTTP/1.1 200 OK\r\nContent-Le", TEnd::Close}, false, 0, ""},
      {"closed mid-body", {"HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nhel", TEnd::Close}, false, 0, ""},
      // Wine hands the reset to recv() as an orderly close, Windows as WSAECONNRESET.
      {"reset mid-head", {"HTTP/1.1 200 OK\r\nContent-Le", TEnd::Reset}, false, 0, ""},
      {"garbage", {"SSH-2.0-OpenSSH\r\n\r\n"}, false, 0, ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TScriptedServer server(c.Script);
    TIdHTTP http;
    const TOutcome r = PostTo(http, server.Url());
    EXPECT_EQ(r.Ok, c.Ok) << Narrow(r.Error);
    EXPECT_EQ(r.Ok, r.Error.empty());
    EXPECT_EQ(r.Code, c.Code);
    EXPECT_EQ(r.Body, c.Body);
    if (c.Code) {
      EXPECT_TRUE(StartsWith(r.Error, u"The server answered " + IntToText(c.Code))) << Narrow(r.Error);
    }
    if (r.Ok) http.Disconnect();  // a failure has closed the connection already
    const TServerLog& log = server.Finish();
    EXPECT_NE(log.Received.find("\r\n\r\na=b+c"), std::string::npos);
    EXPECT_TRUE(log.ClientClosed || c.Script.End == TEnd::Reset);
  }
}

TEST_F(HttpAnswer, RedirectWithoutBodyEndsAfterItsShortWait) {
  TScriptedServer server({"HTTP/1.1 301 Moved Permanently\r\nLocation: /x\r\n\r\n"});  // then silence
  TIdHTTP http;
  const ULONGLONG start = GetTickCount64();
  const TOutcome r = PostTo(http, server.Url());
  std::printf("redirect without body ended after %llu ms\n", GetTickCount64() - start);
  EXPECT_EQ(r.Code, 301);
  EXPECT_EQ(r.Error, u"The server answered 301 Moved Permanently");
  EXPECT_TRUE(server.Finish().ClientClosed);
}

TEST_F(HttpAnswer, SilentServerFailsWithinTheTotalBound) {
  TScriptedServer server({""});  // takes the request and never answers
  TIdHTTP http;
  http.ConnectTimeoutMs = 1000;
  http.TotalTimeoutMs = 2000;
  const TOutcome r = PostTo(http, server.Url());
  EXPECT_EQ(r.Error, u"The server at 127.0.0.1:" + IntToText(server.Port()) + u" did not answer in time");
  EXPECT_TRUE(server.Finish().ClientClosed);
}

// --- Connecting ----------------------------------------------------------------

class HttpConnect : public TGuardedTest {};

TEST_F(HttpConnect, UnusableAddressesFailBeforeAnyConnection) {
  TScriptedServer server({"HTTP/1.1 200 OK\r\n\r\n"});
  const std::u16string hostPort = u"127.0.0.1:" + IntToText(server.Port());
  const std::u16string urls[] = {u"", u"https://" + hostPort + u"/fb", hostPort + u"/fb", u"HTTPS://" + hostPort,
                                 u"ftp://127.0.0.1/fb"};
  for (const std::u16string& url : urls) {
    TIdHTTP http;
    EXPECT_FALSE(PostTo(http, url).Error.empty()) << Narrow(url);
  }
  EXPECT_FALSE(server.Finish(300).Connected);
}

TEST_F(HttpConnect, RefusedAndUnresolvableHostsFail) {
  unsigned short freePort;
  {
    TScriptedServer probe({""});
    freePort = probe.Port();
  }  // closed again: nothing listens there now
  TIdHTTP http;
  const std::u16string peer = u"127.0.0.1:" + IntToText(freePort);
  const TOutcome refused = PostTo(http, u"http://" + peer + u"/fb");
  EXPECT_TRUE(StartsWith(refused.Error, u"Cannot connect to " + peer + u". ")) << Narrow(refused.Error);

  const ULONGLONG start = GetTickCount64();
  const TOutcome unknown = PostTo(http, u"http://nonexistent.invalid/fb");
  std::printf("resolving nonexistent.invalid failed after %llu ms\n", GetTickCount64() - start);
  EXPECT_TRUE(StartsWith(unknown.Error, u"Cannot resolve the host nonexistent.invalid. ")) << Narrow(unknown.Error);
}

// Connections to a listener with a full backlog: Linux (under Wine) drops
// them unanswered; Windows refuses them instead.
std::vector<TWinsockSocket> FillBacklog(const TWinsock& ws, unsigned short port) {
  std::vector<TWinsockSocket> fillers;
  const std::vector<TSocketAddress> to = LookUpHost(ws, "127.0.0.1", port, 0);
  for (int i = 0; i < 4; ++i) {
    fillers.emplace_back(ws, ws.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    u_long nonBlocking = 1;
    ws.ioctlsocket(fillers.back().Get(), FIONBIO, &nonBlocking);
    ws.connect(fillers.back().Get(), reinterpret_cast<const sockaddr*>(&to[0].Storage), to[0].Length);
  }
  Sleep(200);
  return fillers;
}

TEST_F(HttpConnect, UnansweredAttemptEndsWithinTheConnectBound) {
  TWinsock ws;
  unsigned short port;
  const TWinsockSocket listener = Listen(ws, AF_INET, 1, port);
  const std::vector<TWinsockSocket> fillers = FillBacklog(ws, port);
  TIdHTTP http;
  http.ConnectTimeoutMs = 1000;
  http.TotalTimeoutMs = 2000;
  const std::u16string peer = u"127.0.0.1:" + IntToText(port);
  const std::u16string error = PostTo(http, u"http://" + peer + u"/fb").Error;
  EXPECT_TRUE(error == u"The connection to " + peer + u" timed out" || StartsWith(error, u"Cannot connect to " + peer))
      << Narrow(error);
}

// A host with several addresses whose first never answers: the next one
// still gets its turn within the bound.
TEST_F(HttpConnect, AnUnansweredAddressLeavesTheNextItsTurn) {
  TWinsock ws;
  unsigned short silentPort;
  const TWinsockSocket listener = Listen(ws, AF_INET, 1, silentPort);
  const std::vector<TWinsockSocket> fillers = FillBacklog(ws, silentPort);
  TScriptedServer server({""});
  std::vector<TSocketAddress> addresses = LookUpHost(ws, "127.0.0.1", silentPort, 0);
  addresses.push_back(LookUpHost(ws, "127.0.0.1", server.Port(), 0)[0]);
  std::u16string error;
  try {
    EXPECT_TRUE(ConnectToFirst(ws, addresses, 2000, u"two addresses").IsValid());
  } catch (const TError& e) {
    error = e.Message();
  }
  EXPECT_EQ(error, u"");
  EXPECT_TRUE(server.Finish(1000).Connected);
}

TEST_F(HttpConnect, ReachesIpv6LiteralsAndNamesThroughEveryAddress) {
  TScriptedServer v6({"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nv6"}, AF_INET6);
  TIdHTTP http;
  EXPECT_EQ(PostTo(http, v6.Url(u"[::1]")).Body, "v6");
  http.Disconnect();
  EXPECT_NE(v6.Finish().Received.find("Host: [::1]:" + std::to_string(v6.Port()) + "\r\n"), std::string::npos);

  // "localhost" may resolve to ::1 first, where nothing listens on this port.
  TScriptedServer v4({"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nv4"});
  EXPECT_EQ(PostTo(http, v4.Url(u"localhost")).Body, "v4");
}

// --- Looking the host up --------------------------------------------------------

class HostLookup : public TGuardedTest {};

const char* WayName(TLookupWay way) { return way == TLookupWay::Newest ? "newest way" : "WSAAsyncGetHostByName"; }

// Both ways (the one Windows 8 added, and the one every version has): a name
// resolves with the port set, a numeric address is taken without any wait
// (a time of 0 would fail a lookup), and an unknown name fails.
TEST_F(HostLookup, BothWaysResolveNamesAndTakeNumbersAsWritten) {
  TWinsock ws;
  if (!ws.GetAddrInfoExW) std::printf("note: this system lacks GetAddrInfoExW's asynchronous lookup\n");
  for (const TLookupWay way : {TLookupWay::Newest, TLookupWay::HostByName}) {
    SCOPED_TRACE(WayName(way));
    bool loopback = false;
    for (const TSocketAddress& a : LookUpHost(ws, "localhost", 8080, 10000, way)) {
      const auto* in = reinterpret_cast<const sockaddr_in*>(&a.Storage);
      if (a.Storage.ss_family == AF_INET && in->sin_addr.s_addr == 0x0100007F && in->sin_port == 0x901F)
        loopback = true;
    }
    EXPECT_TRUE(loopback) << "localhost gave no 127.0.0.1:8080";
    const std::vector<TSocketAddress> v6 = LookUpHost(ws, "::1", 81, 0, way);
    ASSERT_EQ(v6.size(), 1u);
    EXPECT_EQ(v6[0].Storage.ss_family, AF_INET6);
    EXPECT_EQ(reinterpret_cast<const sockaddr_in6*>(&v6[0].Storage)->sin6_port, 0x5100);
    EXPECT_EQ(LookUpHost(ws, "192.0.2.7", 80, 0, way).size(), 1u);
    try {
      LookUpHost(ws, "nonexistent.invalid", 80, 10000, way);
      ADD_FAILURE() << "nonexistent.invalid resolved";
    } catch (const TError& e) {
      EXPECT_TRUE(StartsWith(e.Message(), u"Cannot resolve the host nonexistent.invalid. ")) << Narrow(e.Message());
    }
  }
}

int TimerTicks = 0;
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) { ++TimerTicks; }

// Run by tests/wine/dead-resolver, whose DNS server never answers (Wine's
// resolver would wait 10 s): within the Delete command's busy state each way
// gives up at its bound while the thread takes its messages all along (a
// 100 ms timer keeps firing), and the client's bound holds with the lookup in it.
TEST_F(HostLookup, UnansweredLookupEndsAtItsBoundTakingMessages) {
  if (!getenv("QM_DEAD_RESOLVER")) GTEST_SKIP() << "run by tests/wine/dead-resolver, whose DNS server never answers";
  const std::u16string prefix = u"Cannot resolve the host feedback.quillmoor.test. ";
  TWinsock ws;
  for (const TLookupWay way : {TLookupWay::Newest, TLookupWay::HostByName}) {
    SCOPED_TRACE(WayName(way));
    TimerTicks = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, &CountTick);
    const ULONGLONG start = GetTickCount64();
    std::u16string error;
    {
      TBusyScope busy;
      try {
        LookUpHost(ws, "feedback.quillmoor.test", 80, 3000, way);
      } catch (const TError& e) {
        error = e.Message();
      }
    }
    const ULONGLONG took = GetTickCount64() - start;
    KillTimer(nullptr, timer);
    std::printf("%s: gave up after %llu ms, %d timer ticks taken meanwhile\n", WayName(way), took, TimerTicks);
    EXPECT_TRUE(StartsWith(error, prefix)) << Narrow(error);
    EXPECT_LT(took, 8000u) << "the bound of 3 s did not hold";
    EXPECT_GE(TimerTicks, 10) << "the thread took no messages while it waited";
  }
  TIdHTTP http;
  http.ConnectTimeoutMs = 3000;
  const ULONGLONG start = GetTickCount64();
  const std::u16string error = PostTo(http, u"http://feedback.quillmoor.test/fb").Error;
  EXPECT_TRUE(StartsWith(error, prefix)) << Narrow(error);
  EXPECT_LT(GetTickCount64() - start, 8000u) << "the connection's bound did not hold the lookup";
}

// ws2_32 is loaded from system32 on demand: a static import would let a
// planted copy beside the executable load first.
TEST(SocketLibrary, IsNoStaticImportOfTheProgram) {
  const HMODULE image = LoadLibraryExW(W(TestExeDir() + u"uninstall.exe"), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(image, nullptr);
  const auto* base = reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(image) & ~ULONG_PTR{3});
  const auto* nt =
      reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const DWORD imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
  std::vector<std::string> names;
  for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports); imports && d->Name; ++d)
    names.push_back(CharLowerA(std::string(reinterpret_cast<const char*>(base + d->Name)).data()));
  FreeLibrary(image);
  EXPECT_NE(std::find(names.begin(), names.end(), "kernel32.dll"), names.end());
  EXPECT_EQ(std::find(names.begin(), names.end(), "ws2_32.dll"), names.end());
}

}  // namespace
