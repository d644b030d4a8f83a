#pragma once

#include <exception>
#include <stdexcept>
#include <string>

namespace quarn {

// Error numbers shown to the moderator. They keep the numbers of the classic
// runtime and database engine so that a lab's notes about them stay valid.
inline constexpr int kErrOverflow = 6;
inline constexpr int kErrSubscriptOutOfRange = 9;
inline constexpr int kErrTypeMismatch = 13;
inline constexpr int kErrInternal = 51;
inline constexpr int kErrFileNotFound = 53;
inline constexpr int kErrPathAccess = 75;
inline constexpr int kErrInvalidUseOfNull = 94;
inline constexpr int kErrInvalidPlan = 1001;
inline constexpr int kErrDatabase = 3000;
inline constexpr int kErrItemNotFound = 3265;

// Any failure that ends a handler: it carries a number and a description, the
// two things the error report shows.
class QuarnError : public std::runtime_error {
 public:
  QuarnError(int number, const std::string& description)
      : std::runtime_error(description), m_number(number) {}
  int number() const { return m_number; }
  std::string description() const { return what(); }

 private:
  int m_number;
};

class OverflowError : public QuarnError {
 public:
  explicit OverflowError(const std::string& what) : QuarnError(kErrOverflow, "Overflow: " + what) {}
};

// Thrown by Prompter::endApplication. Nothing catches it but the top of the
// event loop (and tests), so no further handler runs.
class ApplicationEnd : public std::exception {
 public:
  explicit ApplicationEnd(int code) : m_code(code) {}
  int code() const { return m_code; }
  const char* what() const noexcept override { return "the application ends"; }

 private:
  int m_code;
};

}  // namespace quarn
