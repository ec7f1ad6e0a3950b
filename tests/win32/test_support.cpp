// Helpers of the Windows front end's tests: the window, modal dialogs, pumping, captures.
#include "tests/win32/test_support.h"

#include <cstdio>
#include <deque>
#include <fstream>
#include <set>
#include <sstream>

#include "ui/parameter_dialog.h"
#include "ui/run_control.h"
#include "ui/win32/main_window.h"

namespace veldaris::win32_test {

namespace {

// Control id of the text of the window system's message box.
constexpr int kMessageBoxTextId = 0xFFFF;

std::deque<ModalHandler> g_handlers;
int g_unexpected_boxes = 0;
std::set<HWND> g_handled;

BOOL CALLBACK CollectDialogs(HWND window, LPARAM context) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  if (std::string(name) == "#32770") {
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
  }
  return TRUE;
}

// Finds boxes that opened since the last tick and gives each to the next
// handler. Runs inside the boxes' modal loops, and again inside a box that a
// handler's action opens, so a handler is taken off the list before it runs.
void CALLBACK WatchModals(HWND, UINT, UINT_PTR, DWORD) {
  std::erase_if(g_handled, [](HWND box) { return !IsWindow(box); });
  std::vector<HWND> boxes;
  EnumThreadWindows(GetCurrentThreadId(), CollectDialogs, reinterpret_cast<LPARAM>(&boxes));
  for (HWND box : boxes) {
    if (!IsWindowVisible(box) || !IsWindowEnabled(box) || !g_handled.insert(box).second) {
      continue;
    }
    if (g_handlers.empty()) {
      std::printf("  unexpected box %s: %s\n", WindowText(box).c_str(), ItemText(box, kMessageBoxTextId).c_str());
      ++g_unexpected_boxes;
      PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
      continue;
    }
    ModalHandler handler = std::move(g_handlers.front());
    g_handlers.pop_front();
    handler(box);
    return;
  }
}

// Copies the surface into a bitmap and reads it back as 32-bit top-down rows.
Capture CopySurface(HDC source, int width, int height) {
  HDC memory = CreateCompatibleDC(source);
  HBITMAP bitmap = CreateCompatibleBitmap(source, width, height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
  SelectObject(memory, previous);
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  Capture capture{width, height, std::vector<ui::ColorRef>(static_cast<size_t>(width) * static_cast<size_t>(height))};
  if (GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), capture.pixels.data(), &info, DIB_RGB_COLORS) == 0) {
    capture = Capture{};
  }
  for (ui::ColorRef& pixel : capture.pixels) {  // bytes B, G, R, unused
    pixel = ((pixel >> 16) & 0xFF) | (pixel & 0xFF00) | ((pixel & 0xFF) << 16);
  }
  DeleteObject(bitmap);
  DeleteDC(memory);
  return capture;
}

}  // namespace

MainWindow::MainWindow() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  ui::win32::RegisterMainWindowClass(instance);  // fails harmlessly after the first window
  window_ = ui::win32::CreateMainWindow(instance, state_.get());
  ShowWindow(window_, SW_SHOWNORMAL);
  UpdateWindow(window_);
}

MainWindow::~MainWindow() {
  DestroyWindow(window_);
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message != WM_QUIT) {
      DispatchMessageA(&message);
    }
  }
}

void MainWindow::Command(int id) const { SendMessageA(window_, WM_COMMAND, static_cast<WPARAM>(id), 0); }

void ExpectModal(ModalHandler handler) {
  static const UINT_PTR timer = SetTimer(nullptr, 0, 10, WatchModals);
  (void)timer;
  g_handlers.push_back(std::move(handler));
}

bool ModalsAsExpected() {
  const bool expected = g_handlers.empty() && g_unexpected_boxes == 0;
  g_handlers.clear();
  g_unexpected_boxes = 0;
  return expected;
}

ModalHandler AnswerMessageBox(MessageBoxSeen& seen) {
  return [&seen](HWND box) {
    seen = {true, WindowText(box), ItemText(box, kMessageBoxTextId), GetWindow(box, GW_OWNER)};
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  };
}

std::string WindowText(HWND window) {
  char text[1024] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string ItemText(HWND dialog, int id) {
  char text[1024] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

void Click(HWND dialog, int id) { SendDlgItemMessageA(dialog, id, BM_CLICK, 0, 0); }

bool PumpUntil(const std::function<bool()>& done, DWORD limit_ms) {
  const DWORD start = GetTickCount();
  while (!done()) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        return false;
      }
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (GetTickCount() - start > limit_ms) {
      return false;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

ui::ColorRef Capture::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) {
    return 0xFFFFFFFFu;  // no such pixel: matches no colour
  }
  return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
}

int Capture::Count(int left, int top, int right, int bottom, ui::ColorRef color) const {
  int count = 0;
  for (int y = top; y <= bottom; ++y) {
    for (int x = left; x <= right; ++x) {
      count += At(x, y) == color ? 1 : 0;
    }
  }
  return count;
}

Capture CaptureWindow(HWND window, bool frame) {
  RedrawWindow(window, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW | RDW_NOERASE);
  RECT area;
  frame ? GetWindowRect(window, &area) : GetClientRect(window, &area);
  HDC dc = frame ? GetWindowDC(window) : GetDC(window);
  Capture capture = CopySurface(dc, area.right - area.left, area.bottom - area.top);
  ReleaseDC(window, dc);
  return capture;
}

Capture CaptureShown(HWND window) {
  UpdateWindow(window);
  RECT area;
  GetClientRect(window, &area);
  HDC dc = GetDC(window);
  Capture capture = CopySurface(dc, area.right - area.left, area.bottom - area.top);
  ReleaseDC(window, dc);
  return capture;
}

bool WriteBmp(const Capture& capture, const std::string& path) {
  const int row_bytes = (capture.width * 3 + 3) & ~3;
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER info = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(row_bytes * capture.height);
  info = {sizeof info, capture.width, capture.height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};  // bottom-up
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info), sizeof info);
  std::vector<char> row(static_cast<size_t>(row_bytes), 0);
  for (int y = capture.height - 1; y >= 0; --y) {
    for (int x = 0; x < capture.width; ++x) {
      const ui::ColorRef c = capture.At(x, y);
      row[static_cast<size_t>(3 * x)] = static_cast<char>(ui::BlueOf(c));
      row[static_cast<size_t>(3 * x + 1)] = static_cast<char>(ui::GreenOf(c));
      row[static_cast<size_t>(3 * x + 2)] = static_cast<char>(ui::RedOf(c));
    }
    out.write(row.data(), row_bytes);
  }
  return static_cast<bool>(out);
}

bool SetParameters(const MainWindow& window, const std::vector<int>& radios, const std::string& rewiring_text) {
  bool closed = false;
  ExpectModal([&](HWND dialog) {
    for (const int id : radios) {
      Click(dialog, id);
    }
    SetDlgItemTextA(dialog, ui::ID_REWIRING_EDIT, rewiring_text.c_str());
    Click(dialog, ui::ID_OK);
    closed = !IsWindowVisible(dialog);
  });
  window.Command(ui::CMD_SET_PARAMETERS);
  return ModalsAsExpected() && closed;
}

bool RunReferenceCase(const MainWindow& window) {
  ui::WindowState& state = window.State();
  state.use_fixed_seed = true;
  state.fixed_seed = 1234567;
  const bool set =
      SetParameters(window, {1013, 1015, 1016, 1019, 1020, 1023, 1012, 1014, 1017, 1018, 1021, 1022}, "0.1");
  window.Command(ui::CMD_BUILD_NETWORK);
  state.fixed_seed = 1234568;
  window.Command(ui::CMD_EXECUTE_SIMULATION);
  const bool ran = set && state.running && PumpUntil([&] { return state.sim().run_finished == 1; });
  state.use_fixed_seed = false;
  return ran;
}

TempCurrentDir::TempCurrentDir() {
  char previous[MAX_PATH] = {};
  char base[MAX_PATH] = {};
  GetCurrentDirectoryA(sizeof previous, previous);
  GetTempPathA(sizeof base, base);
  static int counter = 0;
  const std::string path = base + std::string("veldaris-win32-test-") + std::to_string(GetCurrentProcessId()) + "-" +
                           std::to_string(++counter);
  if (CreateDirectoryA(path.c_str(), nullptr) && SetCurrentDirectoryA(path.c_str())) {
    path_ = path;
    previous_ = previous;
  }
}

TempCurrentDir::~TempCurrentDir() {
  if (path_.empty()) {
    return;
  }
  SetCurrentDirectoryA(previous_.c_str());
  for (const char* name : {"Veldaris_Result_Initial.csv", "Veldaris_Result_All.csv"}) {
    DeleteFileA((path_ + "\\" + name).c_str());
  }
  RemoveDirectoryA(path_.c_str());
}

std::string& DataDir() {
  static std::string dir = [] {
    std::string d = VELDARIS_TEST_DATA_DIR;
    // The source tree is a Unix path; Wine shows the Unix root as drive Z:.
    return d.starts_with("/") ? "Z:" + d : d;
  }();
  return dir;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

}  // namespace veldaris::win32_test
