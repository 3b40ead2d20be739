// Telephony as the handheld offers it: the line devices, the current
// operator of the cellular line (the cellular extension's call), with the
// platform's names and signatures. Wide texts only, as on the device.
//
// The stand-in has two line devices, "Hayes Compatible on COM1:" and
// "Cellular Line". The cellular line reports an operator only when the
// environment variable TIDELARK_OPERATOR names one; otherwise
// lineGetCurrentOperator fails with LINEERR_OPERATIONUNAVAIL.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifdef TIDELARK_TAPI_BUILD
#define TIDELARK_TAPI_API __declspec(dllexport)
#else
#define TIDELARK_TAPI_API __declspec(dllimport)
#endif

DECLARE_HANDLE(HLINEAPP);
DECLARE_HANDLE(HLINE);

typedef void(CALLBACK* LINECALLBACK)(DWORD device, DWORD message, DWORD_PTR instance, DWORD_PTR param1,
                                     DWORD_PTR param2, DWORD_PTR param3);

typedef struct linedevcaps_tag {
  DWORD dwTotalSize;   // set by the caller: the bytes it provides
  DWORD dwNeededSize;  // the bytes the whole answer needs
  DWORD dwUsedSize;
  DWORD dwProviderInfoSize;
  DWORD dwProviderInfoOffset;
  DWORD dwSwitchInfoSize;
  DWORD dwSwitchInfoOffset;
  DWORD dwPermanentLineID;
  DWORD dwLineNameSize;    // bytes, with the terminating zero
  DWORD dwLineNameOffset;  // from the start of the structure
  DWORD dwStringFormat;
  DWORD dwAddressModes;
  DWORD dwNumAddresses;
  DWORD dwBearerModes;
  DWORD dwMaxRate;
  DWORD dwMediaModes;
} LINEDEVCAPS, *LPLINEDEVCAPS;

typedef struct lineinitializeexparams_tag {
  DWORD dwTotalSize;
  DWORD dwNeededSize;
  DWORD dwUsedSize;
  DWORD dwOptions;
  union {
    HANDLE hEvent;
    HANDLE hCompletionPort;
  } Handles;
  DWORD dwCompletionKey;
} LINEINITIALIZEEXPARAMS, *LPLINEINITIALIZEEXPARAMS;

typedef struct lineextensionid_tag {
  DWORD dwExtensionID0, dwExtensionID1, dwExtensionID2, dwExtensionID3;
} LINEEXTENSIONID, *LPLINEEXTENSIONID;

#define LINEOPERATOR_MAX_LENGTH 32
#define LINEOPERATOR_MAX_SHORT_LENGTH 16
#define LINEOPERATOR_MAX_NUM_LENGTH 16

#define LINEOPFORMAT_ALPHASHORT 0x00000001
#define LINEOPFORMAT_ALPHALONG 0x00000002
#define LINEOPFORMAT_NUMERIC 0x00000004

typedef struct lineoperator_tag {
  DWORD dwIndex;
  DWORD dwValidFields;  // LINEOPFORMAT_* of the names filled in
  DWORD dwStatus;
  WCHAR lpszLongName[LINEOPERATOR_MAX_LENGTH];
  WCHAR lpszShortName[LINEOPERATOR_MAX_SHORT_LENGTH];
  WCHAR lpszNumName[LINEOPERATOR_MAX_NUM_LENGTH];
} LINEOPERATOR, *LPLINEOPERATOR;

#define LINEINITIALIZEEXOPTION_USEHIDDENWINDOW 0x00000001
#define LINEINITIALIZEEXOPTION_USEEVENT 0x00000002
#define LINECALLPRIVILEGE_NONE 0x00000001
#define LINECALLPRIVILEGE_MONITOR 0x00000002
#define LINEMEDIAMODE_INTERACTIVEVOICE 0x00000004
#define LINEMEDIAMODE_DATAMODEM 0x00000010
#define STRINGFORMAT_UNICODE 0x00000003

#define TAPI_CURRENT_VERSION 0x00020000
#define EXT_CURRENT_VERSION 0x00010000

#define LINEERR_BADDEVICEID ((LONG)0x80000002)
#define LINEERR_INCOMPATIBLEAPIVERSION ((LONG)0x8000000C)
#define LINEERR_INVALAPPHANDLE ((LONG)0x80000015)
#define LINEERR_INVALLINEHANDLE ((LONG)0x8000002B)
#define LINEERR_INVALPOINTER ((LONG)0x80000035)
#define LINEERR_OPERATIONUNAVAIL ((LONG)0x80000049)
#define LINEERR_STRUCTURETOOSMALL ((LONG)0x8000004D)

TIDELARK_TAPI_API LONG WINAPI lineInitializeEx(HLINEAPP* app, HINSTANCE instance, LINECALLBACK callback,
                                               LPCWSTR friendly_name, LPDWORD device_count, LPDWORD api_version,
                                               LPLINEINITIALIZEEXPARAMS params);
TIDELARK_TAPI_API LONG WINAPI lineShutdown(HLINEAPP app);
TIDELARK_TAPI_API LONG WINAPI lineNegotiateAPIVersion(HLINEAPP app, DWORD device, DWORD low, DWORD high,
                                                      LPDWORD api_version, LPLINEEXTENSIONID extension);
TIDELARK_TAPI_API LONG WINAPI lineNegotiateExtVersion(HLINEAPP app, DWORD device, DWORD api_version, DWORD low,
                                                      DWORD high, LPDWORD ext_version);
TIDELARK_TAPI_API LONG WINAPI lineGetDevCaps(HLINEAPP app, DWORD device, DWORD api_version, DWORD ext_version,
                                             LPLINEDEVCAPS caps);
TIDELARK_TAPI_API LONG WINAPI lineOpen(HLINEAPP app, DWORD device, HLINE* line, DWORD api_version,
                                       DWORD ext_version, DWORD_PTR callback_instance, DWORD privileges,
                                       DWORD media_modes, const void* call_params);
TIDELARK_TAPI_API LONG WINAPI lineClose(HLINE line);
// The cellular extension: the operator the line is registered with.
TIDELARK_TAPI_API HRESULT WINAPI lineGetCurrentOperator(HLINE line, LPLINEOPERATOR current);

#ifdef __cplusplus
}
#endif
