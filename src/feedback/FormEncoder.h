#ifndef QM_FEEDBACK_FORMENCODER_H
#define QM_FEEDBACK_FORMENCODER_H

// The feedback form and its application/x-www-form-urlencoded body.
// Portable: no <windows.h>.

#include <string>
#include <string_view>
#include <vector>

// The text with every "&" and every "#" removed; all else unchanged.
std::u16string StripFormChars(std::u16string_view text);

// The four form lines "email=...", "ver=...", "info=..." (message passed
// through StripFormChars) and "app_title=...", in that order.
std::vector<std::u16string> BuildFeedbackForm(std::u16string_view email, std::u16string_view version,
                                              std::u16string_view message, std::u16string_view appName);

// One field name or value form-encoded: blank as "+", A-Z a-z 0-9 * - . _
// kept, every other character as %XX of its UTF-8 bytes; an unpaired
// surrogate (which has no UTF-8 form) as "&#<code>;".
std::string EncodeFormComponent(std::u16string_view text);

// The body: each line split at its first "=", name and value encoded apart,
// the lines joined with "&". Always ASCII.
std::string EncodeForm(const std::vector<std::u16string>& lines);

#endif
