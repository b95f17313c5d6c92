// The means to answer one method call: exactly one of Success, Error or
// NotImplemented, once.
#ifndef KEELHAVEN_CODEC_METHOD_RESULT_H_
#define KEELHAVEN_CODEC_METHOD_RESULT_H_

#include <string>

#include "codec/encodable_value.h"

namespace flutter {

template <typename T = EncodableValue>
class MethodResult {
 public:
  MethodResult() = default;
  virtual ~MethodResult() = default;
  MethodResult(const MethodResult&) = delete;
  MethodResult& operator=(const MethodResult&) = delete;

  // A success without a value (the reply holds null).
  void Success() { HandleSuccess(nullptr); }
  void Success(const T& result) { HandleSuccess(&result); }

  // An empty message travels as null.
  void Error(const std::string& error_code,
             const std::string& error_message = "") {
    HandleError(error_code, error_message, nullptr);
  }
  void Error(const std::string& error_code, const std::string& error_message,
             const T& error_details) {
    HandleError(error_code, error_message, &error_details);
  }

  void NotImplemented() { HandleNotImplemented(); }

 protected:
  // result and error_details are null when there is no value.
  virtual void HandleSuccess(const T* result) = 0;
  virtual void HandleError(const std::string& error_code,
                           const std::string& error_message,
                           const T* error_details) = 0;
  virtual void HandleNotImplemented() = 0;
};

}  // namespace flutter

#endif  // KEELHAVEN_CODEC_METHOD_RESULT_H_
