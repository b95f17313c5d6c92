// The pipe that carries a child's standard output and standard error to the
// command runner. Our end is an overlapped named pipe, so a read in flight
// can be waited on together with the child's exit; the child's end is an
// ordinary synchronous handle.
#ifndef KEELHAVEN_UTIL_OUTPUT_PIPE_H_
#define KEELHAVEN_UTIL_OUTPUT_PIPE_H_

#include <cstdint>
#include <string>

#include "util/unique_handle.h"
#include "util/windows_include.h"

class OutputPipe {
 public:
  // The most output kept; what a child writes beyond it is read and
  // dropped. `wg show` of a tunnel with thousands of peers fits many times.
  static constexpr size_t kMaxOutputBytes = 4 * 1024 * 1024;

  OutputPipe() = default;
  // Stops a read in flight and waits until Windows no longer writes into
  // the collected bytes.
  ~OutputPipe();
  OutputPipe(const OutputPipe&) = delete;
  OutputPipe& operator=(const OutputPipe&) = delete;

  // Makes both ends: ours readable by this user and SYSTEM only, the
  // child's inheritable (hand it out through an explicit inherit list
  // only). False, with the thread's last error set, when that fails.
  bool Create();

  // The child's end; null after CloseChildEnd.
  HANDLE child_end() const { return child_end_.get(); }
  void CloseChildEnd() { child_end_.reset(); }

  // Starts the next read unless one is in flight or the pipe has ended
  // (every writer gone, or the pipe failed).
  void Read();
  // Set when the read in flight has finished; valid while reading().
  HANDLE read_event() const { return event_.get(); }
  bool reading() const { return reading_; }
  // After read_event() was seen set: keeps the bytes that the read gave.
  void FinishRead();

  // Takes the bytes that the pipe holds at this moment, never waiting for
  // more (a grandchild may hold the pipe open and write on), then stops
  // reading and gives everything collected: the first kMaxOutputBytes.
  std::string TakeRest();
  // How many bytes were read beyond kMaxOutputBytes and dropped.
  uint64_t dropped() const { return dropped_; }

 private:
  void Cancel();
  // Adds the bytes of a finished read to what was kept or dropped.
  void Count(DWORD read);

  UniqueFileHandle our_end_;
  UniqueFileHandle child_end_;
  UniqueKernelHandle event_;
  OVERLAPPED overlapped_ = {};
  // Reads land straight in here: the first filled_ bytes are output, the
  // rest is room for the read in flight. Never resized while reading_.
  std::string collected_;
  size_t filled_ = 0;
  // Where reads land once collected_ is full.
  std::string dropped_buffer_;
  uint64_t dropped_ = 0;
  bool dropping_ = false;  // the read in flight goes to dropped_buffer_
  bool reading_ = false;
  bool ended_ = false;
};

#endif  // KEELHAVEN_UTIL_OUTPUT_PIPE_H_
