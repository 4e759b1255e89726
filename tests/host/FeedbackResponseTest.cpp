#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "feedback/HttpResponse.h"

namespace {

// How the exchange ends once every byte has been fed.
enum class TEnd {
  Complete,  // the answer is done by its own framing
  Close,     // the server closes while the reader still waits
  Timeout,   // a redirect's optional body never comes
};

struct TAnswerCase {
  const char* Name;
  std::string Wire;
  TEnd End;
  bool Success;
  int Code;
  std::string StatusText;
  std::string Body;
  std::u16string Error;  // a part of the error text; empty for success
};

const std::string kLetters = "abcdefghijklmnopqrstuvwxyz";

std::vector<TAnswerCase> AnswerCases() {
  const std::u16string kNoHead = u"before the answer's headers ended";
  const std::u16string kNoBody = u"before the answer's body ended";
  const std::u16string kStatus = u"status line is malformed";
  const std::u16string kChunk = u"bad chunk size";
  const std::u16string kLength = u"invalid Content-Length";
  return {
      {"200 by length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhelloIGNORED", TEnd::Complete, true, 200, "OK",
       "hello", u""},
      {"200 repeated equal length", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\ncontent-length:  2 \r\n\r\nok",
       TEnd::Complete, true, 200, "OK", "ok", u""},
      {"200 empty by length", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", TEnd::Complete, true, 200, "OK", "", u""},
      {"200 chunked with extensions and trailers",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;name=\"v\"\r\nhello\r\n1a \r\n" + kLetters +
           "\r\n0;last\r\nX-Trailer: 1\r\nX-Other: 2\r\n\r\nIGNORED",
       TEnd::Complete, true, 200, "OK", "hello" + kLetters, u""},
      {"200 chunked with bare LF", "HTTP/1.1 200 OK\nTransfer-Encoding: Chunked\n\n3\nabc\n0\n\n", TEnd::Complete, true,
       200, "OK", "abc", u""},
      {"chunked wins over length",
       "HTTP/1.1 200 OK\r\nContent-Length: 99\r\nTransfer-Encoding: gzip, chunked\r\n\r\n2\r\nok\r\n0\r\n\r\n",
       TEnd::Complete, true, 200, "OK", "ok", u""},
      {"200 until close", "HTTP/1.0 200 OK\r\nServer: x\r\n\r\nall\r\nof it", TEnd::Close, true, 200, "OK",
       "all\r\nof it", u""},
      {"other coding until close", "HTTP/1.1 200 OK\r\nTransfer-Encoding: identity\r\n\r\nraw", TEnd::Close, true, 200,
       "OK", "raw", u""},
      {"trailers cut by close", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nx\r\n0\r\nX-T: 1",
       TEnd::Close, true, 200, "OK", "x", u""},
      {"no reason phrase", "HTTP/1.1 202\r\nContent-Length: 1\r\n\r\n!", TEnd::Complete, true, 202, "", "!", u""},
      {"204 has no body", "HTTP/1.1 204 No Content\r\nContent-Length: 4\r\n\r\n", TEnd::Complete, true, 204,
       "No Content", "", u""},
      {"100 then 200",
       "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 100 Continue\r\nX: y\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: "
       "2\r\n\r\nok",
       TEnd::Complete, true, 200, "OK", "ok", u""},
      {"101 is an error", "HTTP/1.1 101 Switching Protocols\r\nUpgrade: x\r\n\r\n", TEnd::Complete, false, 101,
       "Switching Protocols", "", u"101 Switching Protocols"},
      {"103 is an error", "HTTP/1.1 103 Early Hints\r\nContent-Length: 3\r\n\r\n", TEnd::Complete, false, 103,
       "Early Hints", "", u"103 Early Hints"},
      {"301 with body", "HTTP/1.1 301 Moved Permanently\r\nLocation: /x\r\nContent-Length: 3\r\n\r\nabc",
       TEnd::Complete, false, 301, "Moved Permanently", "abc", u"301 Moved Permanently"},
      {"302 chunked body", "HTTP/1.1 302 Found\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nhi\r\n0\r\n\r\n",
       TEnd::Complete, false, 302, "Found", "hi", u"302 Found"},
      {"302 without body", "HTTP/1.1 302 Found\r\nLocation: http://x/\r\nContent-Length: 9\r\n\r\n", TEnd::Timeout,
       false, 302, "Found", "", u"302 Found"},
      {"307 closed without body", "HTTP/1.1 307 Temporary Redirect\r\n\r\n", TEnd::Close, false, 307,
       "Temporary Redirect", "", u"307"},
      {"302 empty by length", "HTTP/1.1 302 Found\r\nContent-Length: 0\r\n\r\n", TEnd::Complete, false, 302, "Found",
       "", u"302 Found"},
      {"303 body until close", "HTTP/1.0 303 See Other\r\n\r\nmoved", TEnd::Close, false, 303, "See Other", "moved",
       u"303 See Other"},
      {"304 has no body", "HTTP/1.1 304 Not Modified\r\nContent-Length: 10\r\n\r\n", TEnd::Complete, false, 304,
       "Not Modified", "", u"304 Not Modified"},
      {"404 with body", "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot here!", TEnd::Complete, false, 404,
       "Not Found", "not here!", u"404 Not Found"},
      {"500 chunked body",
       "HTTP/1.1 500 Internal Server Error\r\nTransfer-Encoding: chunked\r\n\r\n4\r\noops\r\n0\r\n\r\n", TEnd::Complete,
       false, 500, "Internal Server Error", "oops", u"500 Internal Server Error"},
      {"401 body until close", "HTTP/1.0 401 Unauthorized\r\n\r\nlogin", TEnd::Close, false, 401, "Unauthorized",
       "login", u"401 Unauthorized"},
      {"UTF-8 reason", "HTTP/1.1 404 \xD0\x9D\xD0\xB5\xD1\x82\r\nContent-Length: 0\r\n\r\n", TEnd::Complete, false, 404,
       "\xD0\x9D\xD0\xB5\xD1\x82", "", u"404 Нет"},
      {"nothing at all", "", TEnd::Close, false, 0, "", "", kNoHead},
      {"head cut", "HTTP/1.1 200 OK\r\nContent-Le", TEnd::Close, false, 200, "OK", "", kNoHead},
      {"only 100", "HTTP/1.1 100 Continue\r\n\r\n", TEnd::Close, false, 100, "Continue", "", kNoHead},
      {"length body cut", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nfour", TEnd::Close, false, 200, "OK", "four",
       kNoBody},
      {"404 body cut", "HTTP/1.1 404 Not Found\r\nContent-Length: 10\r\n\r\nfour", TEnd::Close, false, 404, "Not Found",
       "four", kNoBody},
      {"chunk cut", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel", TEnd::Close, false, 200, "OK",
       "hel", kNoBody},
      {"last chunk missing", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n", TEnd::Close, false,
       200, "OK", "ok", kNoBody},
      {"chunk size cut", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n1", TEnd::Close, false, 200,
       "OK", "ok", kNoBody},
      {"chunk size not hex", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", TEnd::Complete, false, 200,
       "OK", "", kChunk},
      {"chunk size empty", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n\r\n", TEnd::Complete, false, 200,
       "OK", "", kChunk},
      {"chunk size negative", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n-5\r\n", TEnd::Complete, false, 200,
       "OK", "", kChunk},
      {"chunk size with junk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5 x\r\n", TEnd::Complete, false,
       200, "OK", "", kChunk},
      {"chunk size overflow", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFFF\r\n",
       TEnd::Complete, false, 200, "OK", "", kChunk},
      {"chunk longer than size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabcd\r\n0\r\n\r\n",
       TEnd::Complete, false, 200, "OK", "abc", u"chunk longer than its size"},
      {"length not a number", "HTTP/1.1 200 OK\r\nContent-Length: 1x\r\n\r\n", TEnd::Complete, false, 200, "OK", "",
       kLength},
      {"length negative", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", TEnd::Complete, false, 200, "OK", "",
       kLength},
      {"length overflow", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n", TEnd::Complete, false,
       200, "OK", "", kLength},
      {"lengths disagree", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n", TEnd::Complete, false,
       200, "OK", "", kLength},
      {"two-digit code", "HTTP/1.1 20 OK\r\n\r\n", TEnd::Complete, false, 0, "", "", kStatus},
      {"four-digit code", "HTTP/1.1 2000 OK\r\n\r\n", TEnd::Complete, false, 0, "", "", kStatus},
      {"code below 100", "HTTP/1.1 099 Low\r\n\r\n", TEnd::Complete, false, 0, "", "", kStatus},
      {"no code", "HTTP/1.1 OK\r\n\r\n", TEnd::Complete, false, 0, "", "", kStatus},
      {"other protocol", "ICY 200 OK\r\n\r\n", TEnd::Complete, false, 0, "", "", kStatus},
      {"version without dot", "HTTP/11 200 OK\r\n\r\n", TEnd::Complete, false, 0, "", "", kStatus},
      {"empty first line", "\r\nHTTP/1.1 200 OK\r\n\r\n", TEnd::Complete, false, 0, "", "", kStatus},
      {"garbage after 100", "HTTP/1.1 100 Continue\r\n\r\n<html>\r\n", TEnd::Complete, false, 100, "Continue", "",
       kStatus},
  };
}

// Feeds the wire in pieces of the given sizes (cycled; empty = all at once)
// and ends it the way the case says.
THttpResult ReadAnswer(const TAnswerCase& c, std::mt19937* random) {
  THttpResponseReader reader;
  std::uniform_int_distribution<size_t> pieceSize(1, 7);
  for (size_t pos = 0; pos < c.Wire.size();) {
    const size_t n = random ? std::min(pieceSize(*random), c.Wire.size() - pos) : c.Wire.size();
    reader.Feed(std::string_view(c.Wire).substr(pos, n));
    pos += n;
  }
  switch (c.End) {
    case TEnd::Complete:
      EXPECT_TRUE(reader.IsDone());
      break;
    case TEnd::Close:
      EXPECT_FALSE(reader.IsDone());
      reader.FeedClosed();
      break;
    case TEnd::Timeout:
      EXPECT_EQ(reader.State(), THttpReadState::OptionalBody);
      reader.FinishWithoutBody();
      break;
  }
  EXPECT_EQ(reader.State(), THttpReadState::Done);
  return reader.Result();
}

void ExpectResult(const TAnswerCase& c, const THttpResult& r, const std::string& how) {
  const std::string where = std::string(c.Name) + " / " + how;
  EXPECT_EQ(r.Success, c.Success) << where;
  EXPECT_EQ(r.Code, c.Code) << where;
  EXPECT_EQ(r.StatusText, c.StatusText) << where;
  EXPECT_EQ(r.Body, c.Body) << where;
  EXPECT_EQ(r.BodySize, c.Body.size()) << where;
  if (c.Error.empty())
    EXPECT_TRUE(r.ErrorText.empty()) << where;
  else
    EXPECT_NE(r.ErrorText.find(c.Error), std::u16string::npos) << where;
}

TEST(FeedbackResponse, ReadsEveryAnswerShapeWhole) {
  for (const auto& c : AnswerCases()) ExpectResult(c, ReadAnswer(c, nullptr), "whole");
}

TEST(FeedbackResponse, ReadsEveryAnswerShapeInRandomPieces) {
  for (const auto& c : AnswerCases()) {
    for (unsigned seed = 1; seed <= 50; ++seed) {
      std::mt19937 random(seed);
      ExpectResult(c, ReadAnswer(c, &random), "seed " + std::to_string(seed));
    }
  }
}

TEST(FeedbackResponse, RedirectHeadWaitsForOptionalBodyAtItsEnd) {
  THttpResponseReader reader;
  reader.Feed("HTTP/1.1 301 Moved\r\nContent-Length: 2\r\n\r\n");
  EXPECT_EQ(reader.State(), THttpReadState::OptionalBody);
  reader.Feed("o");
  EXPECT_EQ(reader.State(), THttpReadState::NeedData);
  reader.FinishWithoutBody();  // too late: the body has begun
  EXPECT_FALSE(reader.IsDone());
  reader.Feed("k");
  ASSERT_TRUE(reader.IsDone());
  EXPECT_EQ(reader.Result().Body, "ok");
  EXPECT_EQ(reader.Result().Code, 301);
}

TEST(FeedbackResponse, BoundsWhatItKeeps) {
  {
    THttpResponseReader reader(64, 4);
    reader.Feed("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123456789");
    ASSERT_TRUE(reader.IsDone());
    EXPECT_TRUE(reader.Result().Success);
    EXPECT_EQ(reader.Result().Body, "0123");
    EXPECT_EQ(reader.Result().BodySize, 10u);
  }
  const std::pair<const char*, std::string> tooLong[] = {
      {"headers", "HTTP/1.1 200 OK\r\nX-Long: " + std::string(64, 'x') + "\r\n\r\n"},
      {"endless 100",
       [] {
         std::string s;
         for (int i = 0; i < 10; ++i) s += "HTTP/1.1 100 Continue\r\n\r\n";
         return s;
       }()},
      {"status line without end", "HTTP/1.1 200 " + std::string(100, 'x')},
      {"chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1;" + std::string(100, 'x') + "\r\n"},
      {"trailers", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n" + std::string(100, 'x')},
  };
  for (const auto& [name, wire] : tooLong) {
    THttpResponseReader reader(64, 4);
    reader.Feed(wire);
    ASSERT_TRUE(reader.IsDone()) << name;
    EXPECT_FALSE(reader.Result().Success) << name;
    EXPECT_NE(reader.Result().ErrorText.find(u"too long"), std::u16string::npos) << name;
  }
}

TEST(FeedbackResponse, IgnoresInputOnceDone) {
  THttpResponseReader reader;
  reader.Feed("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nx");
  reader.Feed("HTTP/1.1 500 Oops\r\n\r\n");
  reader.FeedClosed();
  EXPECT_TRUE(reader.Result().Success);
  EXPECT_EQ(reader.Result().Body, "x");
}

}  // namespace
