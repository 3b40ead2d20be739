// The telephony stand-in: a fixed table of line devices and an operator
// taken from the environment, so that tests decide what the network is.
//
// Invariant: every handle handed out is a heap record with its own tag;
// calls compare the tag before use, so a stale or foreign handle fails with
// the TAPI code instead of being dereferenced as something else.
#include <cstring>
#include <string>

#include "platform/tapi.h"

namespace {

const wchar_t* const kLineNames[] = {L"Hayes Compatible on COM1:", L"Cellular Line"};
constexpr DWORD kLineCount = sizeof kLineNames / sizeof kLineNames[0];
constexpr DWORD kCellularLine = 1;

struct App {
  char tag[4] = {'T', 'A', 'P', 'P'};
};
struct Line {
  char tag[4] = {'T', 'L', 'I', 'N'};
  DWORD device = 0;
};

template <typename T>
T* Checked(void* handle, const char* tag) {
  T* p = static_cast<T*>(handle);
  return p && std::memcmp(p->tag, tag, 4) == 0 ? p : nullptr;
}

App* AsApp(HLINEAPP app) { return Checked<App>(app, "TAPP"); }
Line* AsLine(HLINE line) { return Checked<Line>(line, "TLIN"); }

bool OperatorFromEnvironment(std::wstring* name) {
  wchar_t buffer[256];
  DWORD n = GetEnvironmentVariableW(L"TIDELARK_OPERATOR", buffer, 256);
  if (n == 0 || n >= 256) return false;
  name->assign(buffer, n);
  return true;
}

}  // namespace

extern "C" {

LONG WINAPI lineInitializeEx(HLINEAPP* app, HINSTANCE, LINECALLBACK, LPCWSTR, LPDWORD device_count,
                             LPDWORD api_version, LPLINEINITIALIZEEXPARAMS) {
  if (!app || !device_count) return LINEERR_INVALPOINTER;
  *app = reinterpret_cast<HLINEAPP>(new App());
  *device_count = kLineCount;
  if (api_version) *api_version = TAPI_CURRENT_VERSION;
  return 0;
}

LONG WINAPI lineShutdown(HLINEAPP app) {
  App* a = AsApp(app);
  if (!a) return LINEERR_INVALAPPHANDLE;
  std::memset(a->tag, 0, 4);
  delete a;
  return 0;
}

LONG WINAPI lineNegotiateAPIVersion(HLINEAPP app, DWORD device, DWORD low, DWORD high, LPDWORD api_version,
                                    LPLINEEXTENSIONID extension) {
  if (!AsApp(app)) return LINEERR_INVALAPPHANDLE;
  if (device >= kLineCount) return LINEERR_BADDEVICEID;
  if (!api_version) return LINEERR_INVALPOINTER;
  if (low > TAPI_CURRENT_VERSION) return LINEERR_INCOMPATIBLEAPIVERSION;
  *api_version = high < TAPI_CURRENT_VERSION ? high : TAPI_CURRENT_VERSION;
  if (extension) std::memset(extension, 0, sizeof *extension);
  return 0;
}

LONG WINAPI lineNegotiateExtVersion(HLINEAPP app, DWORD device, DWORD, DWORD low, DWORD high, LPDWORD ext_version) {
  if (!AsApp(app)) return LINEERR_INVALAPPHANDLE;
  if (device >= kLineCount) return LINEERR_BADDEVICEID;
  if (!ext_version) return LINEERR_INVALPOINTER;
  if (device != kCellularLine || low > EXT_CURRENT_VERSION) return LINEERR_INCOMPATIBLEAPIVERSION;
  *ext_version = high < EXT_CURRENT_VERSION ? high : EXT_CURRENT_VERSION;
  return 0;
}

LONG WINAPI lineGetDevCaps(HLINEAPP app, DWORD device, DWORD, DWORD, LPLINEDEVCAPS caps) {
  if (!AsApp(app)) return LINEERR_INVALAPPHANDLE;
  if (device >= kLineCount) return LINEERR_BADDEVICEID;
  if (!caps) return LINEERR_INVALPOINTER;
  if (caps->dwTotalSize < sizeof(LINEDEVCAPS)) return LINEERR_STRUCTURETOOSMALL;
  const DWORD total = caps->dwTotalSize;
  const DWORD name_bytes = static_cast<DWORD>((wcslen(kLineNames[device]) + 1) * sizeof(wchar_t));
  std::memset(caps, 0, sizeof(LINEDEVCAPS));
  caps->dwTotalSize = total;
  caps->dwNeededSize = sizeof(LINEDEVCAPS) + name_bytes;
  caps->dwUsedSize = sizeof(LINEDEVCAPS);
  caps->dwPermanentLineID = device + 1;
  caps->dwStringFormat = STRINGFORMAT_UNICODE;
  caps->dwNumAddresses = 1;
  caps->dwMediaModes = device == kCellularLine ? LINEMEDIAMODE_INTERACTIVEVOICE : LINEMEDIAMODE_DATAMODEM;
  // The variable part only when it fits, as the platform does.
  if (total >= caps->dwNeededSize) {
    caps->dwLineNameOffset = sizeof(LINEDEVCAPS);
    caps->dwLineNameSize = name_bytes;
    std::memcpy(reinterpret_cast<BYTE*>(caps) + caps->dwLineNameOffset, kLineNames[device], name_bytes);
    caps->dwUsedSize = caps->dwNeededSize;
  }
  return 0;
}

LONG WINAPI lineOpen(HLINEAPP app, DWORD device, HLINE* line, DWORD, DWORD, DWORD_PTR, DWORD, DWORD,
                     const void*) {
  if (!AsApp(app)) return LINEERR_INVALAPPHANDLE;
  if (device >= kLineCount) return LINEERR_BADDEVICEID;
  if (!line) return LINEERR_INVALPOINTER;
  Line* l = new Line();
  l->device = device;
  *line = reinterpret_cast<HLINE>(l);
  return 0;
}

LONG WINAPI lineClose(HLINE line) {
  Line* l = AsLine(line);
  if (!l) return LINEERR_INVALLINEHANDLE;
  std::memset(l->tag, 0, 4);
  delete l;
  return 0;
}

HRESULT WINAPI lineGetCurrentOperator(HLINE line, LPLINEOPERATOR current) {
  Line* l = AsLine(line);
  if (!l) return LINEERR_INVALLINEHANDLE;
  if (!current) return LINEERR_INVALPOINTER;
  std::wstring name;
  if (l->device != kCellularLine || !OperatorFromEnvironment(&name)) return LINEERR_OPERATIONUNAVAIL;
  std::memset(current, 0, sizeof *current);
  wcsncpy(current->lpszLongName, name.c_str(), LINEOPERATOR_MAX_LENGTH - 1);
  wcsncpy(current->lpszShortName, name.c_str(), LINEOPERATOR_MAX_SHORT_LENGTH - 1);
  current->dwValidFields = LINEOPFORMAT_ALPHALONG | LINEOPFORMAT_ALPHASHORT;
  return 0;
}

}  // extern "C"
