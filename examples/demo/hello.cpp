// The demo product: a tiny Windows program that greets the user in a
// message box. It exists so that the demo package holds a real program for
// the wizard to install and put a shortcut to.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  MessageBoxW(nullptr, L"Привет! Программа установлена и работает.", L"Hello",
              MB_OK | MB_ICONINFORMATION);
  return 0;
}
