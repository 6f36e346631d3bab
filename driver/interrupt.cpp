#include "driver/interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <cstring>

namespace zorvak {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kMaxNames = 8;

// Names are written in full before the count grows past them, so the handler never reads a
// half-written name.
char* gNames[kMaxNames];
volatile sig_atomic_t gCount = 0;

void removeCreatedFiles(int signal) {
  for (sig_atomic_t i = 0; i < gCount; ++i)
    unlink(gNames[i]);
  ::signal(signal, SIG_DFL);
  raise(signal);
}

}  // namespace

InterruptGuard::InterruptGuard() {
  gCount = 0;
  for (int signal : kSignals) {
    struct sigaction action;
    std::memset(&action, 0, sizeof(action));
    action.sa_handler = removeCreatedFiles;
    sigemptyset(&action.sa_mask);
    for (int other : kSignals)
      sigaddset(&action.sa_mask, other);
    sigaction(signal, &action, nullptr);
  }
}

InterruptGuard::~InterruptGuard() {
  for (int signal : kSignals)
    ::signal(signal, SIG_DFL);
  clear();
}

bool InterruptGuard::add(const std::string& name) {
  if (gCount >= kMaxNames) return false;
  char* copy = strdup(name.c_str());
  if (copy == nullptr) return false;
  gNames[gCount] = copy;
  gCount = gCount + 1;
  return true;
}

void InterruptGuard::clear() {
  sig_atomic_t count = gCount;
  gCount = 0;
  for (sig_atomic_t i = 0; i < count; ++i)
    free(gNames[i]);
}

}  // namespace zorvak
