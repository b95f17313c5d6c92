// One copy of the program at a time, machine-wide: the tunnel service is
// the machine's, so two copies, in one session or in two users' sessions,
// must never drive it together (a second copy's start-up clean-up would
// take the first one's live tunnel for a leftover).
#ifndef KEELHAVEN_SHELL_SINGLE_INSTANCE_H_
#define KEELHAVEN_SHELL_SINGLE_INSTANCE_H_

#include "util/unique_handle.h"

// The machine-wide name of the mutex held by the running copy.
extern const wchar_t kSingleInstanceMutexName[];

class SingleInstance {
 public:
  // Creates the named mutex in the machine-wide namespace, open to SYSTEM
  // and Administrators only, and holds it for this object's life (the
  // process's). A mutex that exists already, or one this process may not
  // open, means another copy runs.
  SingleInstance();

  // True when no other copy holds the mutex.
  bool first() const { return first_; }

 private:
  UniqueKernelHandle mutex_;
  bool first_ = false;
};

// Brings the running copy's top-level window to the front (restored when
// minimised); nothing when it has none yet.
void BringRunningCopyToFront();

#endif  // KEELHAVEN_SHELL_SINGLE_INSTANCE_H_
