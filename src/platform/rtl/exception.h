#pragma once
// Base of every exception the program raises: one message text, as the runtime's Exception.
#include <stdexcept>
#include <string>

namespace qv {

class Exception : public std::exception {
public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const noexcept { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }
  virtual std::string ClassName() const { return "Exception"; }

private:
  std::string message_;
};

// Declares an exception class Name derived from Base that reports Name as its class name.
#define QV_DECLARE_EXCEPTION(Name, Base)                                  \
  class Name : public Base {                                              \
  public:                                                                 \
    using Base::Base;                                                     \
    std::string ClassName() const override { return #Name; }             \
  }

QV_DECLARE_EXCEPTION(EConvertError, Exception);
QV_DECLARE_EXCEPTION(EOutOfMemory, Exception);

// The runtime's input/output error: a file or device operation failed with ErrorCode.
class EInOutError : public Exception {
public:
  EInOutError(std::string message, int error_code) : Exception(std::move(message)), ErrorCode(error_code) {}
  std::string ClassName() const override { return "EInOutError"; }
  int ErrorCode;
};

}  // namespace qv
