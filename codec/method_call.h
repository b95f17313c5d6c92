// A decoded method call: the method name and its optional arguments.
#ifndef KEELHAVEN_CODEC_METHOD_CALL_H_
#define KEELHAVEN_CODEC_METHOD_CALL_H_

#include <memory>
#include <string>
#include <utility>

#include "codec/encodable_value.h"

namespace flutter {

template <typename T = EncodableValue>
class MethodCall {
 public:
  // arguments may be null: a call without arguments.
  MethodCall(std::string name, std::unique_ptr<T> arguments)
      : name_(std::move(name)), arguments_(std::move(arguments)) {}
  virtual ~MethodCall() = default;
  MethodCall(const MethodCall&) = delete;
  MethodCall& operator=(const MethodCall&) = delete;

  const std::string& name() const { return name_; }
  // Null when the call has no arguments.
  const T* args() const { return arguments_.get(); }

 private:
  std::string name_;
  std::unique_ptr<T> arguments_;
};

}  // namespace flutter

#endif  // KEELHAVEN_CODEC_METHOD_CALL_H_
