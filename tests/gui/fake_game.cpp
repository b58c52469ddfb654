// Stands in for a running game client: a process (copied as javaw.exe by the tests) that owns
// a top-level window of the given class and title, or no window at all when none is given.
// With a third argument "hang" it stops answering its window's messages, like a game stuck in
// a loop. It runs until it is ended from outside.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  // Like a game busy with its world: window messages alone do not end it.
  if (msg == WM_CLOSE || msg == WM_DESTROY) return 0;
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc >= 3) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.lpszClassName = argv[1];
    RegisterClassW(&wc);
    CreateWindowExW(0, argv[1], argv[2], WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100,
                    nullptr, nullptr, instance, nullptr);
    if (argc >= 4 && lstrcmpW(argv[3], L"hang") == 0) Sleep(INFINITE);
  }
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}
