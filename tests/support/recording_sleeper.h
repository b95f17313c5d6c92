// A sleeper for the tunnel controller that records the waits it is asked
// for instead of blocking.
#ifndef KEELHAVEN_TESTS_SUPPORT_RECORDING_SLEEPER_H_
#define KEELHAVEN_TESTS_SUPPORT_RECORDING_SLEEPER_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class RecordingSleeper {
 public:
  // The function to put into TunnelSystem::sleep; it records into this
  // object, which must outlive it.
  std::function<void(uint32_t)> AsFunction() {
    return [this](uint32_t milliseconds) { waits_.push_back(milliseconds); };
  }
  const std::vector<uint32_t>& waits() const { return waits_; }
  void clear() { waits_.clear(); }

 private:
  std::vector<uint32_t> waits_;
};

#endif  // KEELHAVEN_TESTS_SUPPORT_RECORDING_SLEEPER_H_
