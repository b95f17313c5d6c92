#include "util/output_pipe.h"

#include <algorithm>
#include <atomic>

#include "util/security_descriptor.h"
#include "util/token_facts.h"

namespace {

// Each read asks for this much, so a large output takes few wake-ups.
constexpr DWORD kReadChunk = 64 * 1024;
// What the pipe may hold before the child's writes wait for us.
constexpr DWORD kPipeBuffer = 1024 * 1024;
// Bytes that the pipe reported are delivered at once; this only bounds the
// wait should Windows not do so.
constexpr DWORD kRestReadWaitMs = 1000;

// Unique among this machine's pipes for the life of this process, and not
// guessable ahead of time by another process: process id, a running count
// and the tick count.
std::wstring NewPipeName() {
  static std::atomic<unsigned> counter{0};
  return L"\\\\.\\pipe\\keelhaven-output-" +
         std::to_wstring(::GetCurrentProcessId()) + L"-" +
         std::to_wstring(++counter) + L"-" +
         std::to_wstring(::GetTickCount64());
}

}  // namespace

OutputPipe::~OutputPipe() { Cancel(); }

bool OutputPipe::Create() {
  // Only SYSTEM, Administrators and this process's account may open the
  // pipe, so no other process can take its one instance or write into the
  // output before the child does. An elevated token's user is shared with
  // every unelevated program of that user: then Administrators, the group
  // that the elevated token enables, lets this process in.
  const TokenFacts token = TokenFacts::OfThisProcess();
  if (!token.valid()) return false;
  std::wstring sddl = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)";
  if (token.elevation() != TokenElevationTypeFull) {
    sddl += L"(A;;GA;;;" + token.UserText() + L")";
  }
  const SecurityDescriptor descriptor(sddl);
  if (!descriptor) return false;
  const std::wstring name = NewPipeName();
  SECURITY_ATTRIBUTES attributes = descriptor.attributes();
  // FIRST_PIPE_INSTANCE: fails rather than join a pipe of that name that
  // someone else made first.
  our_end_.reset(::CreateNamedPipeW(name.c_str(),
                                    PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED |
                                        FILE_FLAG_FIRST_PIPE_INSTANCE,
                                    PIPE_TYPE_BYTE | PIPE_READMODE_BYTE |
                                        PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                                    1, 0, kPipeBuffer, 0, &attributes));
  if (!our_end_) return false;
  attributes.bInheritHandle = TRUE;
  child_end_.reset(::CreateFileW(name.c_str(),
                                 GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0,
                                 &attributes, OPEN_EXISTING, 0, nullptr));
  if (!child_end_) return false;
  event_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  return event_.valid();
}

void OutputPipe::Read() {
  if (reading_ || ended_) return;
  if (collected_.size() < filled_ + kReadChunk) {
    // Grows geometrically, so the output is copied a bounded number of
    // times however it arrives.
    collected_.resize(filled_ + kReadChunk);
  }
  overlapped_ = {};
  overlapped_.hEvent = event_.get();
  if (::ReadFile(our_end_.get(), &collected_[filled_], kReadChunk, nullptr,
                 &overlapped_) ||
      ::GetLastError() == ERROR_IO_PENDING) {
    // Also when it finished at once: the event is set either way.
    reading_ = true;
  } else {
    // ERROR_BROKEN_PIPE: every writer has closed its end.
    ended_ = true;
  }
}

void OutputPipe::FinishRead() {
  DWORD read = 0;
  if (::GetOverlappedResult(our_end_.get(), &overlapped_, &read, FALSE)) {
    // Counted: NUL bytes in the output are kept.
    filled_ += read;
  } else if (::GetLastError() == ERROR_IO_INCOMPLETE) {
    return;
  } else {
    ended_ = true;
  }
  reading_ = false;
}

std::string OutputPipe::TakeRest() {
  if (reading_ && ::WaitForSingleObject(event_.get(), 0) == WAIT_OBJECT_0) {
    FinishRead();
  }
  // A read still in flight means the pipe was empty when we looked.
  DWORD available = 0;
  if (!reading_ && !ended_ &&
      ::PeekNamedPipe(our_end_.get(), nullptr, 0, nullptr, &available,
                      nullptr)) {
    // Only what was there at this look: a writer that goes on can't keep
    // us here.
    while (available > 0 && !ended_) {
      const size_t before = filled_;
      Read();
      if (!reading_ || ::WaitForSingleObject(event_.get(), kRestReadWaitMs) !=
                           WAIT_OBJECT_0) {
        break;
      }
      FinishRead();
      available -= std::min(available, static_cast<DWORD>(filled_ - before));
      if (filled_ == before) break;
    }
  }
  Cancel();
  collected_.resize(filled_);
  return std::move(collected_);
}

void OutputPipe::Cancel() {
  if (!reading_) return;
  // The read's buffer must outlive it: wait until the cancel has finished
  // (or the read has, with bytes that are then kept).
  ::CancelIoEx(our_end_.get(), &overlapped_);
  DWORD read = 0;
  if (::GetOverlappedResult(our_end_.get(), &overlapped_, &read, TRUE)) {
    filled_ += read;
  }
  reading_ = false;
}
