// A small window carrying the kinds of controls the real program uses, so the UI driver and the
// test harness can be exercised on their own. The exit code tells which message-box button was
// pressed (IDOK 1, IDCANCEL 2; 0 when the window was simply closed).
//
// Environment: VELTRANE_FIXTURE_TITLE replaces the window title. Command line: a path given as
// the only argument gets the exit code written into it when the program ends.

// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
// clang-format on

#include <string>

namespace {

constexpr int kIdAsk = 101;
constexpr int kIdEdit = 102;
constexpr int kIdCheck = 103;
constexpr int kIdProgress = 104;
constexpr int kIdList = 105;
constexpr int kIdStep = 106;
constexpr int kIdPanel = 107;
constexpr int kIdCanvas = 108;
constexpr int kIdDone = 109;

constexpr int kProgressStep = 40;
constexpr int kAlphaStep = 51;

HINSTANCE g_instance = nullptr;
HWND g_layer = nullptr;
int g_alpha = 255;

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w,
           int h, int id) {
  return CreateWindowExW(0, cls, text, WS_CHILD | style, x, y, w, h, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_instance, nullptr);
}

// Records what reached it as its own text, so a test can read back the mouse and keys it sent.
LRESULT CALLBACK CanvasProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  const wchar_t* name = nullptr;
  switch (msg) {
    case WM_LBUTTONDOWN:
      name = L"lbuttondown";
      break;
    case WM_LBUTTONUP:
      name = L"lbuttonup";
      break;
    case WM_LBUTTONDBLCLK:
      name = L"lbuttondblclk";
      break;
    case WM_RBUTTONDOWN:
      name = L"rbuttondown";
      break;
    case WM_RBUTTONUP:
      name = L"rbuttonup";
      break;
    case WM_MOUSEMOVE:
      if (wp & MK_LBUTTON) name = L"drag";
      break;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      FillRect(dc, &rc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      wchar_t text[128];
      int n = GetWindowTextW(hwnd, text, 128);
      DrawTextW(dc, text, n, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      EndPaint(hwnd, &ps);
      return 0;
    }
    default:
      break;
  }
  if (name) {
    std::wstring text = std::wstring(name) + L" " +
                        std::to_wstring(static_cast<short>(LOWORD(lp))) + L"," +
                        std::to_wstring(static_cast<short>(HIWORD(lp)));
    SetWindowTextW(hwnd, text.c_str());
    InvalidateRect(hwnd, nullptr, TRUE);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

void Step(HWND main) {
  HWND progress = GetDlgItem(main, kIdProgress);
  SendMessageW(progress, PBM_SETPOS, SendMessageW(progress, PBM_GETPOS, 0, 0) + kProgressStep, 0);
  g_alpha = g_alpha > kAlphaStep ? g_alpha - kAlphaStep : 0;
  SetLayeredWindowAttributes(g_layer, 0, static_cast<BYTE>(g_alpha), LWA_ALPHA);
  ShowWindow(GetDlgItem(main, kIdDone), SW_SHOW);
}

void Create(HWND hwnd) {
  Child(hwnd, L"Button", L"Спросить", WS_VISIBLE | BS_PUSHBUTTON, 10, 10, 100, 26, kIdAsk);
  Child(hwnd, L"Button", L"Шаг", WS_VISIBLE | BS_PUSHBUTTON, 120, 10, 100, 26, kIdStep);
  Child(hwnd, L"Edit", L"Привет, мир", WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 10, 46, 210, 24,
        kIdEdit);
  // The check box sits inside a panel: only a recursive search finds it from the top window.
  HWND panel = Child(hwnd, L"VeltraneGuiFixturePanel", L"", WS_VISIBLE, 10, 80, 210, 40, kIdPanel);
  Child(panel, L"Button", L"Запомнить", WS_VISIBLE | BS_AUTOCHECKBOX, 8, 8, 180, 22, kIdCheck);
  HWND progress = Child(hwnd, PROGRESS_CLASSW, L"", WS_VISIBLE, 10, 130, 210, 20, kIdProgress);
  SendMessageW(progress, PBM_SETRANGE32, 0, 200);
  HWND list =
      Child(hwnd, L"ListBox", L"", WS_VISIBLE | WS_BORDER | LBS_NOTIFY, 240, 10, 200, 100, kIdList);
  const wchar_t* items[] = {L"один", L"два", L"три"};
  for (int i = 0; i < 3; ++i) {
    auto at = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items[i]));
    SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(at), (i + 1) * 10);
  }
  Child(hwnd, L"VeltraneGuiFixtureCanvas", L"", WS_VISIBLE | WS_BORDER, 240, 120, 200, 100,
        kIdCanvas);
  Child(hwnd, L"Static", L"Шаг сделан", 0, 10, 160, 210, 20, kIdDone);  // shown by the first step
}

LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      Create(hwnd);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wp) == kIdAsk && HIWORD(wp) == BN_CLICKED) {
        int answer = MessageBoxW(hwnd, L"Текст?", L"Вопрос", MB_OKCANCEL | MB_ICONQUESTION);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, answer);
        DestroyWindow(hwnd);
        return 0;
      }
      if (LOWORD(wp) == kIdStep && HIWORD(wp) == BN_CLICKED) {
        Step(hwnd);
        return 0;
      }
      break;
    case WM_DESTROY:
      PostQuitMessage(static_cast<int>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)));
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

ATOM Register(const wchar_t* name, WNDPROC proc, UINT style) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.hInstance = g_instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = name;
  return RegisterClassExW(&wc);
}

// Proves to the tests where %APPDATA% lies inside the prefix.
void MarkAppData() {
  wchar_t base[MAX_PATH];
  if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, base) != S_OK) return;
  std::wstring dir = std::wstring(base) + L"\\VeltraneGuiFixture";
  CreateDirectoryW(dir.c_str(), nullptr);
  HANDLE f = CreateFileW((dir + L"\\started.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(f, "started", 7, &written, nullptr);
    CloseHandle(f);
  }
}

void WriteExitCode(const wchar_t* path, int code) {
  HANDLE f =
      CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  std::string text = std::to_string(code);
  DWORD written = 0;
  WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(f);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  g_instance = instance;
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  Register(L"VeltraneGuiFixture", MainProc, 0);
  Register(L"VeltraneGuiFixturePanel", DefWindowProcW, 0);
  Register(L"VeltraneGuiFixtureCanvas", CanvasProc, CS_DBLCLKS);
  Register(L"VeltraneGuiFixtureLayer", DefWindowProcW, 0);

  wchar_t title[256] = L"Проверка драйвера";
  GetEnvironmentVariableW(L"VELTRANE_FIXTURE_TITLE", title, 256);
  HWND main = CreateWindowExW(0, L"VeltraneGuiFixture", title,
                              WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 40, 40, 470,
                              260, nullptr, nullptr, instance, nullptr);
  if (!main) return 90;
  g_layer =
      CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW, L"VeltraneGuiFixtureLayer", L"Слой",
                      WS_POPUP | WS_BORDER, 540, 40, 160, 100, main, nullptr, instance, nullptr);
  SetLayeredWindowAttributes(g_layer, 0, static_cast<BYTE>(g_alpha), LWA_ALPHA);
  ShowWindow(main, SW_SHOW);
  ShowWindow(g_layer, SW_SHOWNOACTIVATE);
  MarkAppData();

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  int code = static_cast<int>(msg.wParam);
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv && argc > 1) WriteExitCode(argv[1], code);
  LocalFree(argv);
  return code;
}
