#ifndef QM_FEEDBACK_HTTPURL_H
#define QM_FEEDBACK_HTTPURL_H

// The feedback address split into what the HTTP request needs.
// Portable: no <windows.h>.

#include <cstdint>
#include <string>
#include <string_view>

struct THttpUrl {
  bool Ok = false;
  std::u16string ErrorText;  // why the address cannot be used; empty when Ok
  std::string Host;          // name or address to connect to (IPv6 without brackets)
  std::uint16_t Port = 80;
  std::string PortText;    // the port as written; empty when none is named
  std::string Target;      // request target: path, and "?" + query when present
  std::string HostHeader;  // value of the Host header
};

// Splits an http address (scheme compared without regard to case). https
// fails (no TLS); another scheme fails unless a port is named. The target is
// taken as written, except that "\" before the query becomes "/" and, without
// a query, a "#" fragment in the last path segment is dropped. User info is
// dropped. Characters outside printable ASCII, an empty or malformed host and
// a port outside 1..65535 fail.
THttpUrl SplitHttpUrl(std::u16string_view url);

#endif
