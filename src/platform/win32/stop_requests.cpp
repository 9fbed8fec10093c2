// Requests to stop on Windows: the console's control events.
#include <windows.h>

#include <atomic>

#include "platform/platform.h"

namespace zf::os {

namespace {

std::atomic<void (*)()> g_handler{nullptr};

// Runs on a thread the system starts for the event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  void (*handler)() = g_handler.load();
  if (handler == nullptr) return FALSE;
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      handler();
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      // Returning would end the process at once: the main thread is left
      // the time to abandon its entry and return from main.
      handler();
      Sleep(INFINITE);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void SetStopRequestHandler(void (*handler)()) {
  g_handler = handler;
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

}  // namespace zf::os
