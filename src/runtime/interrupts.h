// Long walks stop when the user asks them to (Ctrl-C). The core never sees
// the interpreter: it counts its steps and, every kInterruptStride of them,
// calls the hook that the interpreter binding installs. The hook throws
// when the walk must stop; it may also run the program's own signal
// handlers, which can change the tree being walked.
#pragma once

#include <cstdint>

namespace zell {

// Cells or nodes between two questions.
constexpr int64_t kInterruptStride = 100000;

// Installed once by the interpreter binding; null (no checks) in the unit
// tests of the core.
extern void (*interruptHook)();

// Counts the steps of one walk.
class InterruptPoll {
 public:
  void step(int64_t steps = 1) {
    countdown_ -= steps;
    if (countdown_ > 0) return;
    countdown_ = kInterruptStride;
    if (interruptHook) interruptHook();
  }

 private:
  int64_t countdown_ = kInterruptStride;
};

}  // namespace zell
