// The device services on Windows: the system clock, a named kernel event,
// host files with their version resources, the user's locale, the
// handheld stand-in's screen and maker, the telephony line's operator, and
// GDI for the banner window. The library's texts are 8-bit in the ANSI
// code page; they become wide only at these calls.
#include <windows.h>

#include <vector>

#include "gui/image_decode.h"
#include "platform/device.h"
#include "platform/os.h"
#include "platform/tapi.h"
#include "system.h"

namespace pyra {

namespace {

constexpr wchar_t kSyncEventName[] = L"PYRA_EventSynchronizing";
constexpr COLORREF kStatusColour = RGB(51, 153, 255);
constexpr wchar_t kCellularLine[] = L"Cellular Line";

// Halves rounded toward minus infinity: a picture wider than the banner
// sits as far left of centre as one narrower sits right of it.
int FloorHalf(int n) { return n >= 0 ? n / 2 : -((-n + 1) / 2); }

std::wstring Wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

// A host's path (8-bit, maybe a device path) as a wide path on this machine.
std::wstring HostFile(const std::string& path) {
  std::string utf8 = platform::os::Utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(Wide(path).c_str())));
  std::u16string wide = platform::os::Utf8ToUtf16(HostPath(utf8));
  return std::wstring(reinterpret_cast<const wchar_t*>(wide.c_str()));
}

// One string of the file's version resource, from its first translation.
bool VersionString(const std::string& path, const wchar_t* name, std::string* value) {
  std::wstring file = HostFile(path);
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
  if (size == 0) return false;
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoW(file.c_str(), 0, size, block.data())) return false;
  struct Translation {
    WORD language, code_page;
  }* translations = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                      &length) ||
      length < sizeof(Translation))
    return false;
  wchar_t query[128];
  wsprintfW(query, L"\\StringFileInfo\\%04x%04x\\%s", translations[0].language, translations[0].code_page, name);
  wchar_t* text = nullptr;
  if (!VerQueryValueW(block.data(), query, reinterpret_cast<void**>(&text), &length) || !text) return false;
  *value = Narrow(std::wstring(text, wcsnlen(text, length)));
  return true;
}

bool LocaleText(LCTYPE type, std::string* text) {
  wchar_t buffer[80];
  int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 80);
  if (n <= 1) return false;
  *text = Narrow(std::wstring(buffer, static_cast<std::size_t>(n - 1)));
  return true;
}

// The line device's name, when its capabilities tell it.
std::wstring LineName(HLINEAPP app, DWORD device, DWORD* api_version) {
  LINEEXTENSIONID extension;
  if (lineNegotiateAPIVersion(app, device, 0x00010004, TAPI_CURRENT_VERSION, api_version, &extension) != 0)
    return std::wstring();
  std::vector<BYTE> buffer(sizeof(LINEDEVCAPS) + 512);
  LINEDEVCAPS* caps = reinterpret_cast<LINEDEVCAPS*>(buffer.data());
  caps->dwTotalSize = static_cast<DWORD>(buffer.size());
  if (lineGetDevCaps(app, device, *api_version, 0, caps) != 0 || caps->dwLineNameSize < sizeof(wchar_t) ||
      caps->dwLineNameOffset + caps->dwLineNameSize > buffer.size())
    return std::wstring();
  const wchar_t* name = reinterpret_cast<const wchar_t*>(buffer.data() + caps->dwLineNameOffset);
  return std::wstring(name, wcsnlen(name, caps->dwLineNameSize / sizeof(wchar_t)));
}

class WindowsSystem : public System {
 public:
  std::uint64_t NowFileTime() override {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  }
  std::uint32_t TickCount() override { return GetTickCount(); }

  bool SyncEventExists() override {
    HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, kSyncEventName);
    if (!event) return false;
    CloseHandle(event);
    return true;
  }
  bool CreateSyncEvent(void** held) override {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, kSyncEventName);
    if (!event) return false;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
      CloseHandle(event);
      return false;
    }
    *held = event;
    return true;
  }
  void CloseSyncEvent(void* held) override {
    if (held) CloseHandle(held);
  }

  bool FileExists(const std::string& path) override {
    return GetFileAttributesW(HostFile(path).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  bool FileCreationTime(const std::string& path, std::uint64_t* file_time) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(HostFile(path).c_str(), GetFileExInfoStandard, &data)) return false;
    *file_time = (static_cast<std::uint64_t>(data.ftCreationTime.dwHighDateTime) << 32) |
                 data.ftCreationTime.dwLowDateTime;
    return true;
  }
  bool ProductName(const std::string& path, std::string* name) override {
    return VersionString(path, L"ProductName", name);
  }
  bool ProductVersion(const std::string& path, std::string* version) override {
    return VersionString(path, L"ProductVersion", version);
  }

  void ScreenSize(int* width, int* height) override {
    platform::device::ScreenMetrics screen = platform::device::Screen();
    *width = screen.width;
    *height = screen.height;
  }
  // The handheld stand-in turns between portrait, square and landscape.
  bool OrientationQuery() override { return true; }
  bool LanguageAbbreviation(std::string* text) override { return LocaleText(LOCALE_SABBREVLANGNAME, text); }
  bool CountryAbbreviation(std::string* text) override { return LocaleText(LOCALE_SABBREVCTRYNAME, text); }
  bool OemInfo(std::string* text) override {
    *text = platform::device::OemInfo();
    return true;
  }
  bool OperatorName(std::string* text) override;

  bool WindowSize(void* window, int* width, int* height) override {
    RECT r;
    if (!window || !GetWindowRect(static_cast<HWND>(window), &r)) {
      *width = *height = 0;
      return false;
    }
    *width = r.right - r.left;
    *height = r.bottom - r.top;
    return true;
  }
  void DrawStatus(void* window, const char* text) override;
  int DrawImage(void* window, const std::string& bytes) override;
  void Paint(void* window, const std::function<void()>& draw) override {
    PAINTSTRUCT ps;
    BeginPaint(static_cast<HWND>(window), &ps);
    draw();
    EndPaint(static_cast<HWND>(window), &ps);
  }
  void ValidateWindow(void* window) override { ValidateRect(static_cast<HWND>(window), nullptr); }
};

bool WindowsSystem::OperatorName(std::string* text) {
  HLINEAPP app = nullptr;
  DWORD devices = 0, version = TAPI_CURRENT_VERSION;
  LINEINITIALIZEEXPARAMS params = {};
  params.dwTotalSize = sizeof params;
  params.dwOptions = LINEINITIALIZEEXOPTION_USEEVENT;
  if (lineInitializeEx(&app, GetModuleHandleW(nullptr), nullptr, L"PyraLibrary", &devices, &version, &params) != 0)
    return false;
  bool found = false;
  for (DWORD device = 0; device < devices; ++device) {
    DWORD api_version = 0;
    if (LineName(app, device, &api_version) != kCellularLine) continue;
    HLINE line = nullptr;
    if (lineOpen(app, device, &line, api_version, 0, 0, LINECALLPRIVILEGE_MONITOR, LINEMEDIAMODE_INTERACTIVEVOICE,
                 nullptr) == 0) {
      LINEOPERATOR current = {};
      if (lineGetCurrentOperator(line, &current) == 0 && (current.dwValidFields & LINEOPFORMAT_ALPHALONG)) {
        *text = Narrow(std::wstring(current.lpszLongName, wcsnlen(current.lpszLongName, LINEOPERATOR_MAX_LENGTH)));
        found = !text->empty();
      }
      lineClose(line);
    }
    break;
  }
  lineShutdown(app);
  return found;
}

void WindowsSystem::DrawStatus(void* window, const char* text) {
  HWND hwnd = static_cast<HWND>(window);
  HDC dc = GetDC(hwnd);
  if (!dc) return;
  RECT client;
  GetClientRect(hwnd, &client);
  int saved = SaveDC(dc);
  HPEN pen = CreatePen(PS_SOLID, 1, kStatusColour);
  HBRUSH brush = CreateSolidBrush(kStatusColour);
  SelectObject(dc, pen);
  SelectObject(dc, brush);
  Rectangle(dc, client.left, client.top, client.right, client.bottom);
  SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SetBkColor(dc, kStatusColour);
  SetTextColor(dc, RGB(0, 0, 0));
  std::wstring wide = Wide(text);
  ::DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  RestoreDC(dc, saved);
  DeleteObject(pen);
  DeleteObject(brush);
  ReleaseDC(hwnd, dc);
}

int WindowsSystem::DrawImage(void* window, const std::string& bytes) {
  HWND hwnd = static_cast<HWND>(window);
  RECT r;
  if (!GetWindowRect(hwnd, &r)) return -1;
  const int width = r.right - r.left, height = r.bottom - r.top;
  HDC dc = GetDC(hwnd);
  if (!dc) return -1;
  // Off screen first, so the banner never shows half a picture. A picture
  // that does not decode leaves the banner white.
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP canvas = CreateCompatibleBitmap(dc, width, height);
  HGDIOBJ old_canvas = SelectObject(memory, canvas);
  RECT all = {0, 0, width, height};
  FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  HBITMAP picture = VexaAppGUISystem::DecodeImage(reinterpret_cast<const BYTE*>(bytes.data()),
                                                  static_cast<DWORD>(bytes.size()));
  BITMAP info;
  if (picture && GetObjectW(picture, sizeof info, &info)) {
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old_source = SelectObject(source, picture);
    BitBlt(memory, FloorHalf(width - info.bmWidth), FloorHalf(height - info.bmHeight), info.bmWidth, info.bmHeight,
           source, 0, 0, SRCCOPY);
    SelectObject(source, old_source);
    DeleteDC(source);
  }
  if (picture) DeleteObject(picture);
  BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old_canvas);
  DeleteObject(canvas);
  DeleteDC(memory);
  ReleaseDC(hwnd, dc);
  return 0;
}

}  // namespace

System& PlatformSystem() {
  static WindowsSystem system;
  return system;
}

}  // namespace pyra
