#ifndef QM_TESTS_FUZZINPUT_H
#define QM_TESTS_FUZZINPUT_H

// Shared by the fuzz targets: turning input bytes into UTF-16 text, and
// failing loudly when an invariant does not hold.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

// Ends the run (a crash libFuzzer reports with the input) when ok is false.
inline void Check(bool ok) {
  if (!ok) std::abort();
}

// Input bytes as UTF-16: each byte is one unit, 0xFF lo hi is any unit, and
// 0xFE n c repeats c 2n+1 times (long runs: zeros, digits, long lines).
inline std::u16string DecodeFuzzText(const uint8_t* data, size_t size) {
  std::u16string s;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0xFF && i + 2 < size) {
      s += static_cast<char16_t>(data[i + 1] | (data[i + 2] << 8));
      i += 2;
    } else if (data[i] == 0xFE && i + 2 < size) {
      s.append(2 * size_t{data[i + 1]} + 1, static_cast<char16_t>(data[i + 2]));
      i += 2;
    } else {
      s += data[i];
    }
  }
  return s;
}

#endif
