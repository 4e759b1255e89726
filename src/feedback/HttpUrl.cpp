#include "feedback/HttpUrl.h"

#include <algorithm>

namespace {

constexpr std::string_view kDefaultPortText = "80";

THttpUrl Fail(std::u16string text) {
  THttpUrl r;
  r.ErrorText = std::move(text);
  return r;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool IsAlnum(char c) { return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool IsHostNameChar(char c) { return IsAlnum(c) || c == '-' || c == '.' || c == '_'; }
bool IsIpv6Char(char c) { return IsHexDigit(c) || c == ':' || c == '.'; }

template <typename Pred>
bool AllOf(std::string_view s, Pred pred) {
  for (char c : s)
    if (!pred(c)) return false;
  return true;
}

// 1..65535 written in decimal digits only.
bool ParsePort(std::string_view text, std::uint16_t& port) {
  if (text.empty() || !AllOf(text, IsDigit)) return false;
  unsigned value = 0;
  for (char c : text) {
    value = value * 10 + static_cast<unsigned>(c - '0');
    if (value > 65535) return false;
  }
  if (value == 0) return false;
  port = static_cast<std::uint16_t>(value);
  return true;
}

// The target: path (a lone "/" without one) and the query as written.
std::string BuildTarget(std::string_view beforeQuery, std::string_view query, bool hasQuery) {
  std::string target = beforeQuery.empty() ? "/" : std::string(beforeQuery);
  if (hasQuery) target += "?" + std::string(query);
  return target;
}

}  // namespace

THttpUrl SplitHttpUrl(std::u16string_view url) {
  if (url.empty()) return Fail(u"The feedback address is empty");
  std::string text;
  for (char16_t c : url) {
    if (c <= 0x20 || c >= 0x7F) return Fail(u"The feedback address holds a blank, a control or a non-ASCII character");
    text += static_cast<char>(c);
  }

  const size_t schemeEnd = text.find("://");
  if (schemeEnd == std::string::npos || schemeEnd == 0) return Fail(u"The feedback address has no scheme");
  std::string scheme = text.substr(0, schemeEnd);
  for (char& c : scheme)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (scheme == "https") return Fail(u"The feedback address uses https, which is not supported");
  const bool isHttp = scheme == "http";

  const std::string_view rest = std::string_view(text).substr(schemeEnd + 3);
  const size_t queryPos = rest.find('?');
  const bool hasQuery = queryPos != std::string_view::npos;
  std::string head(hasQuery ? rest.substr(0, queryPos) : rest);
  const std::string_view query = hasQuery ? rest.substr(queryPos + 1) : std::string_view();
  for (char& c : head)
    if (c == '\\') c = '/';
  if (!hasQuery) {
    const size_t lastSlash = head.rfind('/');
    const size_t hash = head.find('#', lastSlash == std::string::npos ? 0 : lastSlash + 1);
    if (hash != std::string::npos) head.resize(hash);
  }

  const size_t pathStart = std::min(head.find('/'), head.size());
  std::string_view authority = std::string_view(head).substr(0, pathStart);
  const size_t at = authority.rfind('@');
  if (at != std::string_view::npos) authority.remove_prefix(at + 1);

  THttpUrl r;
  std::string_view hostPart;
  std::string_view afterHost;
  if (!authority.empty() && authority.front() == '[') {
    const size_t close = authority.find(']');
    if (close == std::string_view::npos) return Fail(u"The feedback address has an unclosed IPv6 literal");
    hostPart = authority.substr(0, close + 1);
    r.Host = std::string(authority.substr(1, close - 1));
    if (r.Host.empty() || !AllOf(r.Host, IsIpv6Char)) return Fail(u"The feedback address has a malformed IPv6 literal");
    afterHost = authority.substr(close + 1);
    if (!afterHost.empty() && afterHost.front() != ':') return Fail(u"The feedback address has a malformed host");
  } else {
    const size_t colon = authority.find(':');
    hostPart = authority.substr(0, colon);
    afterHost = colon == std::string_view::npos ? std::string_view() : authority.substr(colon);
    r.Host = std::string(hostPart);
    if (r.Host.empty()) return Fail(u"The feedback address has no host");
    if (!AllOf(r.Host, IsHostNameChar)) return Fail(u"The feedback address has a malformed host");
  }

  const bool namesPort = !afterHost.empty();
  if (namesPort) {
    r.PortText = std::string(afterHost.substr(1));
    if (!ParsePort(r.PortText, r.Port)) return Fail(u"The feedback address has an invalid port");
  } else if (!isHttp) {
    return Fail(u"The feedback address has an unsupported scheme");
  }

  r.Target = BuildTarget(std::string_view(head).substr(pathStart), query, hasQuery);
  r.HostHeader = std::string(hostPart);
  if (namesPort && (!isHttp || r.PortText != kDefaultPortText)) r.HostHeader += ":" + r.PortText;
  r.Ok = true;
  return r;
}
