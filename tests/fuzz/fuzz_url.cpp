// The address splitter over arbitrary UTF-16 text: an accepted address gives
// a connectable host and port and a request line and Host value that are
// printable ASCII without blanks.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "feedback/HttpUrl.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool IsWireText(const std::string& s) {
  for (char c : s)
    if (c <= 0x20 || c >= 0x7F) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string url;
  for (size_t i = 0; i < size; ++i)  // mostly ASCII, with a way to any unit
    url += data[i] == 0xFF && i + 2 < size ? static_cast<char16_t>(data[i + 1] | (data[i + 2] << 8)) : data[i];

  const THttpUrl u = SplitHttpUrl(url);
  if (!u.Ok) {
    Check(!u.ErrorText.empty());
    return 0;
  }
  Check(u.ErrorText.empty());
  Check(!u.Host.empty() && IsWireText(u.Host));
  Check(u.Port >= 1);
  Check(!u.Target.empty() && u.Target.front() == '/' && IsWireText(u.Target));
  Check(IsWireText(u.HostHeader) && u.HostHeader.find(u.Host) != std::string::npos);
  Check(u.PortText.empty() ? u.Port == 80 : std::to_string(u.Port).size() <= u.PortText.size());
  return 0;
}
