#pragma once

#include <stdexcept>
#include <string>

namespace quarn {

// Error numbers shown to the moderator. They keep the numbers of the classic
// runtime and database engine so that a lab's notes about them stay valid.
enum ErrorNumber : int {
  kErrOverflow = 6,
  kErrSubscriptOutOfRange = 9,
  kErrTypeMismatch = 13,
  kErrFileNotFound = 53,
  kErrInvalidUseOfNull = 94,
  kErrInvalidPlan = 1001,
  kErrDatabase = 3000,
  kErrItemNotFound = 3265,
};

// Any failure that ends a handler: it carries a number and a description, the
// two things the error report shows.
class QuarnError : public std::runtime_error {
 public:
  QuarnError(int number, const std::string& description)
      : std::runtime_error(description), number_(number) {}
  int Number() const { return number_; }
  std::string Description() const { return what(); }

 private:
  int number_;
};

class OverflowError : public QuarnError {
 public:
  explicit OverflowError(const std::string& what) : QuarnError(kErrOverflow, "Overflow: " + what) {}
};

}  // namespace quarn
