#ifndef QM_FEEDBACK_HTTPREQUEST_H
#define QM_FEEDBACK_HTTPREQUEST_H

// The feedback POST request as it goes on the wire. Portable: no <windows.h>.

#include <string>
#include <string_view>

// "POST <target> HTTP/1.0", the seven fixed headers (Connection, Content-Type,
// Content-Length, Host, Accept, Accept-Encoding, User-Agent), an empty line
// and the body, every line ending in CR LF and nothing after the body.
std::string WritePostRequest(std::string_view target, std::string_view hostHeader, std::string_view body);

#endif
