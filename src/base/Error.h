#ifndef QM_BASE_ERROR_H
#define QM_BASE_ERROR_H

// The program's one error type: an exception that carries a text. Handlers
// let it pass to the event loop, which shows it in the error box.

#include <exception>
#include <string>
#include <utility>

class TError : public std::exception {
 public:
  explicit TError(std::u16string message) : FMessage(std::move(message)) {}
  const std::u16string& Message() const noexcept { return FMessage; }
  const char* what() const noexcept override { return "TError"; }

 private:
  std::u16string FMessage;
};

#endif
