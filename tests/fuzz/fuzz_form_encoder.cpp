// The form encoder over arbitrary UTF-16 text: the body must be ASCII from
// the encoder's alphabet, every "%" must start an upper-case hex pair, and
// StripFormChars must leave no "&" or "#".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "feedback/FormEncoder.h"

namespace {

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

bool IsBodyChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         std::string_view("*-._+%&#;=").find(c) != std::string_view::npos;
}

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text;
  for (size_t i = 0; i + 1 < size; i += 2) text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));

  const std::u16string stripped = StripFormChars(text);
  Check(stripped.find_first_of(u"&#") == std::u16string::npos);

  const std::string body = EncodeForm(BuildFeedbackForm(text, text, text, text));
  for (size_t i = 0; i < body.size(); ++i) {
    Check(IsBodyChar(body[i]));
    if (body[i] == '%') Check(i + 2 < body.size() && IsHex(body[i + 1]) && IsHex(body[i + 2]));
  }
  const std::string one = EncodeFormComponent(text);
  Check(one.find('=') == std::string::npos);
  Check(one.size() >= text.size());
  return 0;
}
