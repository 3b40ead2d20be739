// The Connection Manager as the handheld offers it (cellcore), with the
// platform's names, structures and values, backed by the host's own network.
//
// Networks: ConnMgrMapURL names each destination host as a network of its
// own; the GUID it returns stands for "the route to that host" for the rest
// of the process. IID_DestNetInternet stands for "a route to the public
// internet". A request for a network is connected when the host's addresses
// have a route through an interface that is up (a loopback address: when the
// loopback interface is up). Addresses are resolved once per request.
//
// Requests: ConnMgrEstablishConnection answers at once with a handle that is
// a waitable auto-reset event; it is signalled whenever the request's status
// changes. A request that may dial (bDisabled 0) first reports
// CONNMGR_STATUS_WAITINGCONNECTION, then CONNECTED or NOPATHTODESTINATION; a
// probe (bDisabled 1) reports only the verdict. While a connected request
// lives, its route is checked again every kRecheckMillis and a lost route
// reports DISCONNECTED. ConnMgrReleaseConnection ends the request and closes
// the handle.
//
// Proxy: ConnMgrProviderMessage with IID_ConnPrv_IProxyExtension fills a
// PROXY_CONFIG from the host's per-user internet settings
// (HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings,
// "ProxyEnable", "ProxyServer", "ProxyOverride"); without an enabled proxy
// it fails with E_FAIL.
//
// For tests, the environment variable TIDELARK_CONNECTION (read at each
// ConnMgrEstablishConnection) changes what requests see; its words, comma
// separated:
//   slow:<ms>     every verdict comes <ms> milliseconds late
//   fail          the verdict is CONNMGR_STATUS_CONNECTIONFAILED
//   disconnected  the verdict is CONNMGR_STATUS_DISCONNECTED
//   refuse        ConnMgrEstablishConnection itself fails (E_FAIL)
// Unknown words are ignored; without the variable the host's state decides.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Status values.
#define CONNMGR_STATUS_UNKNOWN 0x00
#define CONNMGR_STATUS_CONNECTED 0x10
#define CONNMGR_STATUS_SUSPENDED 0x11
#define CONNMGR_STATUS_DISCONNECTED 0x20
#define CONNMGR_STATUS_CONNECTIONFAILED 0x21
#define CONNMGR_STATUS_CONNECTIONCANCELED 0x22
#define CONNMGR_STATUS_CONNECTIONDISABLED 0x23
#define CONNMGR_STATUS_NOPATHTODESTINATION 0x24
#define CONNMGR_STATUS_WAITINGFORPATH 0x25
#define CONNMGR_STATUS_WAITINGFORPHONE 0x26
#define CONNMGR_STATUS_PHONEOFF 0x27
#define CONNMGR_STATUS_EXCLUSIVECONFLICT 0x28
#define CONNMGR_STATUS_NORESOURCES 0x29
#define CONNMGR_STATUS_CONNECTIONLINKFAILED 0x2A
#define CONNMGR_STATUS_AUTHENTICATIONFAILED 0x2B
#define CONNMGR_STATUS_WAITINGCONNECTION 0x40
#define CONNMGR_STATUS_WAITINGFORRESOURCE 0x41
#define CONNMGR_STATUS_WAITINGFORNETWORK 0x42
#define CONNMGR_STATUS_WAITINGDISCONNECTION 0x80
#define CONNMGR_STATUS_WAITINGCONNECTIONABORT 0x81

// CONNMGR_CONNECTIONINFO.dwParams: which fields are valid.
#define CONNMGR_PARAM_GUIDDESTNET 0x1
#define CONNMGR_PARAM_MAXCOST 0x2
#define CONNMGR_PARAM_MINRCVBW 0x4
#define CONNMGR_PARAM_MAXCONNLATENCY 0x8

// CONNMGR_CONNECTIONINFO.dwFlags.
#define CONNMGR_FLAG_PROXY_HTTP 0x1
#define CONNMGR_FLAG_PROXY_WAP 0x2
#define CONNMGR_FLAG_PROXY_SOCKS4 0x4
#define CONNMGR_FLAG_PROXY_SOCKS5 0x8

// CONNMGR_CONNECTIONINFO.dwPriority.
#define CONNMGR_PRIORITY_VOICE 0x20000
#define CONNMGR_PRIORITY_USERINTERACTIVE 0x08000
#define CONNMGR_PRIORITY_USERBACKGROUND 0x02000
#define CONNMGR_PRIORITY_USERIDLE 0x00800
#define CONNMGR_PRIORITY_HIPRIBKGND 0x00200
#define CONNMGR_PRIORITY_IDLEBKGND 0x00080
#define CONNMGR_PRIORITY_EXTERNALINTERACTIVE 0x00020
#define CONNMGR_PRIORITY_LOWBKGND 0x00008
#define CONNMGR_PRIORITY_CACHED 0x00002

typedef struct _CONNMGR_CONNECTIONINFO {
  DWORD cbSize;
  DWORD dwParams;
  DWORD dwFlags;
  DWORD dwPriority;
  BOOL bExclusive;
  BOOL bDisabled;
  GUID guidDestNet;
  HWND hWnd;
  UINT uMsg;
  LPARAM lParam;
  ULONG ulMaxCost;
  ULONG ulMinRcvBw;
  ULONG ulMaxConnLatency;
} CONNMGR_CONNECTIONINFO;

// PROXY_CONFIG.dwType.
#define CONNMGR_FLAG_PROXY_TYPE_HTTP 1
#define PROXY_CONFIG_TYPE_HTTP CONNMGR_FLAG_PROXY_HTTP

typedef struct _PROXY_CONFIG {
  DWORD dwType;
  BOOL dwEnable;
  WCHAR szProxyServer[256];
  WCHAR szUsername[32];
  WCHAR szPassword[32];
  WCHAR szProxyOverride[64];
  WCHAR szExtraInfo[256];
} PROXY_CONFIG;

// The destination network of the public internet.
extern const GUID IID_DestNetInternet;
// The proxy provider that ConnMgrProviderMessage answers.
extern const GUID IID_ConnPrv_IProxyExtension;

// Maps a web address to the network that serves it. E_INVALIDARG without an
// address, a GUID pointer, or a host in the address; E_OUTOFMEMORY when the
// table of networks cannot grow. pdwIndex may be null (it receives 0).
HRESULT WINAPI ConnMgrMapURL(LPCWSTR pwszURL, GUID* pguid, DWORD* pdwIndex);
// Starts a request; *phConnection is waitable. E_INVALIDARG for a null
// argument, a wrong cbSize or a network no mapping named; E_FAIL when told to
// refuse (TIDELARK_CONNECTION=refuse) or when the request cannot be made.
HRESULT WINAPI ConnMgrEstablishConnection(CONNMGR_CONNECTIONINFO* pConnInfo, HANDLE* phConnection);
// The request's current status. E_INVALIDARG for a handle that is not a live request.
HRESULT WINAPI ConnMgrConnectionStatus(HANDLE hConnection, DWORD* pdwStatus);
// Ends the request and closes its handle; lCache is accepted and not used.
// E_INVALIDARG for a handle that is not a live request.
HRESULT WINAPI ConnMgrReleaseConnection(HANDLE hConnection, LONG lCache);
// Provider messages: only IID_ConnPrv_IProxyExtension with a PROXY_CONFIG of
// dwType PROXY_CONFIG_TYPE_HTTP and cbParamSize sizeof(PROXY_CONFIG).
// E_INVALIDARG for anything else; E_FAIL when the host has no HTTP proxy.
HRESULT WINAPI ConnMgrProviderMessage(HANDLE hConnection, const GUID* pguidProvider, DWORD* pdwIndex, DWORD dwMsg1,
                                      DWORD dwMsg2, PBYTE pParams, ULONG cbParamSize);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
#include <string>

namespace platform {
namespace cellcore {

// How often a connected request checks its route again.
constexpr DWORD kRecheckMillis = 2000;
// The environment variable of the test words above.
extern const char kVariable[];  // "TIDELARK_CONNECTION"

// The test words, parsed.
struct Conditions {
  DWORD delay_ms = 0;
  DWORD forced_status = 0;  // 0: the host decides
  bool refuse = false;
};
Conditions ParseConditions(const char* words);

// The host part of a web address ("http://user@host:80/path" -> "host");
// empty when there is none.
std::wstring HostOfUrl(const wchar_t* url);

// Whether the host (a name or a dotted address) resolves and has a route
// through an interface that is up.
bool HostIsReachable(const std::wstring& host);

}  // namespace cellcore
}  // namespace platform
#endif
