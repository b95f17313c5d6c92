#include "util/output_pipe.h"

#include <algorithm>
#include <string>

#include "util/random_hex.h"
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

// Tries made when the name is taken; with 128 random bits a second try is
// already against all odds.
constexpr int kNameTries = 4;

// A name that no other process can know or take before this one: 128
// random bits from the system's generator. Empty when it can't give them.
std::wstring NewPipeName() {
  const std::wstring random = RandomHex();
  if (random.empty()) return std::wstring();
  return L"\\\\.\\pipe\\keelhaven-output-" + random;
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
  SECURITY_ATTRIBUTES attributes = descriptor.attributes();
  std::wstring name;
  for (int i = 0; i < kNameTries && !our_end_; ++i) {
    name = NewPipeName();
    if (name.empty()) return false;
    // FIRST_PIPE_INSTANCE: fails rather than join a pipe of that name that
    // someone else made first; then another name is tried.
    our_end_.reset(
        ::CreateNamedPipeW(name.c_str(),
                           PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED |
                               FILE_FLAG_FIRST_PIPE_INSTANCE,
                           PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT |
                               PIPE_REJECT_REMOTE_CLIENTS,
                           1, 0, kPipeBuffer, 0, &attributes));
    const DWORD error = ::GetLastError();
    if (!our_end_ && error != ERROR_ACCESS_DENIED && error != ERROR_PIPE_BUSY) {
      return false;
    }
  }
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
  char* into = nullptr;
  DWORD size = kReadChunk;
  dropping_ = filled_ >= kMaxOutputBytes;
  if (!dropping_) {
    size =
        static_cast<DWORD>(std::min<size_t>(size, kMaxOutputBytes - filled_));
    if (collected_.size() < filled_ + size) {
      // Grows geometrically, so the output is copied a bounded number of
      // times however it arrives.
      collected_.resize(filled_ + size);
    }
    into = &collected_[filled_];
  } else {
    // Full: the rest is read and dropped, so the child never blocks on a
    // full pipe.
    if (dropped_buffer_.empty()) dropped_buffer_.resize(kReadChunk);
    into = dropped_buffer_.data();
  }
  overlapped_ = {};
  overlapped_.hEvent = event_.get();
  if (::ReadFile(our_end_.get(), into, size, nullptr, &overlapped_) ||
      ::GetLastError() == ERROR_IO_PENDING) {
    // Also when it finished at once: the event is set either way.
    reading_ = true;
  } else {
    // ERROR_BROKEN_PIPE: every writer has closed its end.
    ended_ = true;
  }
}

void OutputPipe::Count(DWORD read) {
  if (dropping_) {
    dropped_ += read;
  } else {
    // Counted: NUL bytes in the output are kept.
    filled_ += read;
  }
}

void OutputPipe::FinishRead() {
  DWORD read = 0;
  if (::GetOverlappedResult(our_end_.get(), &overlapped_, &read, FALSE)) {
    Count(read);
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
      const uint64_t before = filled_ + dropped_;
      Read();
      if (!reading_ || ::WaitForSingleObject(event_.get(), kRestReadWaitMs) !=
                           WAIT_OBJECT_0) {
        break;
      }
      FinishRead();
      const uint64_t got = filled_ + dropped_ - before;
      if (got == 0) break;
      available -= static_cast<DWORD>(std::min<uint64_t>(available, got));
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
    Count(read);
  }
  reading_ = false;
}
