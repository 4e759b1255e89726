// Lean replacements for two parts of the static C++ run-time library, linked
// into uninstall.exe only (the tests keep the library's own).
//
// The MinGW linker cannot drop unused functions of an object file that has
// unwind tables: taking one function of such an object takes all of them.
// Two small library functions drag in a great deal that way:
// - the default terminate handler prints the uncaught exception's demangled
//   type to stderr, and brings the C++ demangler and printf's floating-point
//   formatting with it (about 75 KB);
// - the helpers that throw length_error, out_of_range and the like, on which
//   every std::u16string depends, bring both std::string implementations and
//   std::random_device with them (about 85 KB), all to build the exceptions'
//   texts.
// The definitions below take their place (the linker looks into the library
// only for names still undefined). Should the library's object be needed
// after all, the link fails with duplicate definitions instead of growing.

#include <bits/functexcept.h>

#include <cstdarg>
#include <cstddef>
#include <cstdlib>
#include <exception>
#include <new>

namespace {

// What the standard library's own checks throw here: its text, and
// std::exception as the type, which is all the program's handlers look at.
class TLibraryError : public std::exception {
 public:
  explicit TLibraryError(const char* text) { Append(text); }
  const char* what() const noexcept override { return FText; }

  void Append(const char* text) {
    while (*text) Append(*text++);
  }
  void Append(char c) {
    if (FLength + 1 < sizeof(FText)) FText[FLength++] = c;
    FText[FLength] = '\0';
  }
  void AppendNumber(std::size_t n) {
    char digits[20];
    int count = 0;
    do digits[count++] = static_cast<char>('0' + n % 10);
    while ((n /= 10) != 0);
    while (count > 0) Append(digits[--count]);
  }

 private:
  char FText[256] = "";
  std::size_t FLength = 0;
};

}  // namespace

namespace __gnu_cxx {

// An exception that nothing catches ends the process, as with the library's
// handler; a GUI program has no stderr to describe it on.
void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx

namespace std {

void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_logic_error(const char* text) { throw TLibraryError(text); }
void __throw_length_error(const char* text) { throw TLibraryError(text); }
void __throw_out_of_range(const char* text) { throw TLibraryError(text); }

// The library's checks format with "%s", "%zu" and "%%" only.
void __throw_out_of_range_fmt(const char* format, ...) {
  TLibraryError error("");
  va_list args;
  va_start(args, format);
  for (const char* p = format; *p; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      error.Append(va_arg(args, const char*));
      ++p;
    } else if (p[0] == '%' && p[1] == 'z' && p[2] == 'u') {
      error.AppendNumber(va_arg(args, std::size_t));
      p += 2;
    } else {
      error.Append(*p);
      if (p[0] == '%' && p[1] == '%') ++p;
    }
  }
  va_end(args);
  throw error;
}

}  // namespace std
