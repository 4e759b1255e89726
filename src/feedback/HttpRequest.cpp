#include "feedback/HttpRequest.h"

std::string WritePostRequest(std::string_view target, std::string_view hostHeader, std::string_view body) {
  std::string r;
  r.reserve(256 + target.size() + hostHeader.size() + body.size());
  r += "POST ";
  r += target;
  r += " HTTP/1.0\r\n";
  r += "Connection: keep-alive\r\n";
  r += "Content-Type: application/x-www-form-urlencoded\r\n";
  r += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  r += "Host: ";
  r += hostHeader;
  r += "\r\n";
  r += "Accept: text/html, */*\r\n";
  r += "Accept-Encoding: identity\r\n";
  r += "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n";
  r += "\r\n";
  r += body;
  return r;
}
