// Requests to stop on Linux: SIGINT, SIGTERM and SIGHUP, one handler.
#include <signal.h>

#include <atomic>

#include "platform/platform.h"

namespace zf::os {

namespace {

std::atomic<void (*)()> g_handler{nullptr};

extern "C" void OnStopSignal(int) {
  if (void (*handler)() = g_handler.load()) handler();
}

}  // namespace

void SetStopRequestHandler(void (*handler)()) {
  g_handler = handler;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // A read or write the signal lands in goes on; the program stops where
  // it polls its flag.
  action.sa_flags = SA_RESTART;
  for (const int number : {SIGINT, SIGTERM, SIGHUP}) sigaction(number, &action, nullptr);
}

}  // namespace zf::os
