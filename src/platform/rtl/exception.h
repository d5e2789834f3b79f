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
#define QV_DECLARE_EXCEPTION(Name, Base)                     \
  class Name : public Base {                                 \
  public:                                                    \
    using Base::Base;                                        \
    std::string ClassName() const override { return #Name; } \
  }

QV_DECLARE_EXCEPTION(EConvertError, Exception);
QV_DECLARE_EXCEPTION(EOutOfMemory, Exception);
// The silent exception: it ends an operation without a message (the user cancelled).
QV_DECLARE_EXCEPTION(EAbort, Exception);

// A failed file or folder operation; the message holds the error text ("I/O error 5"),
// ErrorCode the runtime's error number where the raiser gives one (else 0).
class EInOutError : public Exception {
public:
  explicit EInOutError(std::string message, int error_code = 0)
      : Exception(std::move(message)), ErrorCode(error_code) {}
  std::string ClassName() const override { return "EInOutError"; }
  int ErrorCode;
};
// A call of an operation that a class leaves to its descendants.
QV_DECLARE_EXCEPTION(EAbstractError, Exception);
// A cast of an object to a class it does not belong to.
QV_DECLARE_EXCEPTION(EInvalidCast, Exception);
// Floating-point results out of range.
QV_DECLARE_EXCEPTION(EMathError, Exception);
QV_DECLARE_EXCEPTION(EOverflow, EMathError);
// An operation that the object does not support.
QV_DECLARE_EXCEPTION(EInvalidOperation, Exception);
// A bad index or operation on a list.
QV_DECLARE_EXCEPTION(EListError, Exception);

}  // namespace qv
