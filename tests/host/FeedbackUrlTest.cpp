#include <gtest/gtest.h>

#include "feedback/HttpRequest.h"
#include "feedback/HttpUrl.h"

namespace {

struct TUrlCase {
  std::u16string Url;
  std::string Host;
  int Port;
  std::string PortText;
  std::string Target;
  std::string HostHeader;
};

TEST(FeedbackUrl, SplitsUsableAddresses) {
  const TUrlCase cases[] = {
      {u"http://h:8080/p/x?q=1", "h", 8080, "8080", "/p/x?q=1", "h:8080"},
      {u"http://example.org", "example.org", 80, "", "/", "example.org"},
      {u"http://example.org/", "example.org", 80, "", "/", "example.org"},
      {u"http://h:80/fb.php", "h", 80, "80", "/fb.php", "h"},
      {u"http://h:080/", "h", 80, "080", "/", "h:080"},
      {u"HTTP://Host.Example/A", "Host.Example", 80, "", "/A", "Host.Example"},
      {u"http://h?q=1", "h", 80, "", "/?q=1", "h"},
      {u"http://h/a%20b/c?x=%41&y=?z", "h", 80, "", "/a%20b/c?x=%41&y=?z", "h"},
      {u"http://h\\a\\b.php?p=\\x", "h", 80, "", "/a/b.php?p=\\x", "h"},
      {u"http://h/a/b.php#top", "h", 80, "", "/a/b.php", "h"},
      {u"http://h/a#b/c.php", "h", 80, "", "/a#b/c.php", "h"},
      {u"http://h#top", "h", 80, "", "/", "h"},
      {u"http://h/a.php?q=1#top", "h", 80, "", "/a.php?q=1#top", "h"},
      {u"ftp://h:21/x", "h", 21, "21", "/x", "h:21"},
      {u"Gopher://h:80/x", "h", 80, "80", "/x", "h:80"},
      {u"http://user:pw@h:81/x", "h", 81, "81", "/x", "h:81"},
      {u"http://[::1]:8080/x", "::1", 8080, "8080", "/x", "[::1]:8080"},
      {u"http://[2001:db8::7]/", "2001:db8::7", 80, "", "/", "[2001:db8::7]"},
      {u"http://127.0.0.1:65535", "127.0.0.1", 65535, "65535", "/", "127.0.0.1:65535"},
  };
  for (const auto& c : cases) {
    const THttpUrl u = SplitHttpUrl(c.Url);
    const std::string name(c.Url.begin(), c.Url.end());
    ASSERT_TRUE(u.Ok) << name;
    EXPECT_TRUE(u.ErrorText.empty()) << name;
    EXPECT_EQ(u.Host, c.Host) << name;
    EXPECT_EQ(u.Port, c.Port) << name;
    EXPECT_EQ(u.PortText, c.PortText) << name;
    EXPECT_EQ(u.Target, c.Target) << name;
    EXPECT_EQ(u.HostHeader, c.HostHeader) << name;
  }
}

TEST(FeedbackUrl, RejectsUnusableAddresses) {
  const std::u16string cases[] = {
      u"",
      u"example.org/fb.php",
      u"://h/",
      u"https://h/",
      u"HTTPS://h:8443/",
      u"ftp://h/x",
      u"http:///x",
      u"http://:80/x",
      u"http://user@/x",
      u"http://h:/x",
      u"http://h:0/",
      u"http://h:65536/",
      u"http://h:99999999999999999999/",
      u"http://h:8o/",
      u"http://h:-1/",
      u"http://h o/",
      u"http://h/a b",
      u"http://h/\r\nX: y",
      u"http://h/\u00e9",
      u"http://h%41/",
      u"http://[::1/",
      u"http://[]/",
      u"http://[::1]x/",
      u"http://[g::1]/",
  };
  for (const auto& url : cases) {
    const THttpUrl u = SplitHttpUrl(url);
    EXPECT_FALSE(u.Ok) << std::string(url.begin(), url.end());
    EXPECT_FALSE(u.ErrorText.empty());
  }
}

TEST(FeedbackRequest, WritesTheExampleRequestExactly) {
  const THttpUrl url = SplitHttpUrl(u"http://feedback.example:8080/un/form.php?src=un");
  ASSERT_TRUE(url.Ok);
  const std::string body = "email=x%40y&ver=1.0&info=Too+slow%0D%0ABye++thanks+1&app_title=Quillmoor";
  EXPECT_EQ(WritePostRequest(url.Target, url.HostHeader, body),
            "POST /un/form.php?src=un HTTP/1.0\r\n"
            "Connection: keep-alive\r\n"
            "Content-Type: application/x-www-form-urlencoded\r\n"
            "Content-Length: 72\r\n"
            "Host: feedback.example:8080\r\n"
            "Accept: text/html, */*\r\n"
            "Accept-Encoding: identity\r\n"
            "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
            "\r\n"
            "email=x%40y&ver=1.0&info=Too+slow%0D%0ABye++thanks+1&app_title=Quillmoor");
  EXPECT_EQ(WritePostRequest("/", "h", ""),
            "POST / HTTP/1.0\r\nConnection: keep-alive\r\nContent-Type: application/x-www-form-urlencoded\r\n"
            "Content-Length: 0\r\nHost: h\r\nAccept: text/html, */*\r\nAccept-Encoding: identity\r\n"
            "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n\r\n");
}

}  // namespace
