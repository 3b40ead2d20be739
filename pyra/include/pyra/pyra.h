// PyraLibrary: the ad library any host application on the device loads to
// show banner advertisements. Plain C exports; every one takes the handle
// that PyraOpen gave out (the host never looks inside) and returns a status
// code, 0 for success. Texts are 8-bit.
//
// Calling order for a host: PyraOpen (which registers the host), then
// SetBannerArea and SetContextKeywords (or CreatePyraInstance), then the
// banner window's messages through ProcessSystemMessage and DrawBanner
// whenever the banner should change; SyncPyraDatabase from a background
// thread; PyraClose at exit.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Status codes.
enum PyraCode {
  kPyraOk = 0,
  kPyraNoMemory = 8,            // the handle cannot be allocated
  kPyraBadArgument = 1002,      // bad argument, null handle or a handle without "ALCX"
  kPyraNoRegistry = 1003,       // "PyraRegisteredApps" cannot be opened
  kPyraBufferTooSmall = 13004,  // the needed size has been written
  kPyraNoMoreResults = 13008,   // no such registration
  kPyraSyncDue = 14005,
  kPyraVersionAccepted = 14006,  // GetVersion only
  kPyraVersionMismatch = 14007,
  kPyraNoUser = 14008,          // the stored user is still "Username"
  kPyraSyncRunning = 15001,     // an ad sync already runs in some process
};

// The version a host was built for; GetVersion writes the library's into it.
typedef struct PyraVersion {
  uint32_t major, minor, build;
} PyraVersion;

// What PyraOpen takes as its version argument: the host's version followed
// by room for the second record GetVersion fills.
typedef struct PyraOpenVersion {
  PyraVersion host;
  PyraVersion oldest;
} PyraOpenVersion;

// The sync engine's progress callback: (percent, second value, text, state);
// a non-zero result asks to cancel.
typedef int (*PyraSyncCallback)(int percent, int value, const char* text, int state);

int PyraOpen(void** handle, int32_t application_id, PyraOpenVersion* version, const char* application_path,
             const int32_t* ad_spaces, int32_t count);
int PyraClose(void* handle);
// Exported by the name "GetVersion": 14006 when the caller's version is
// accepted (1.2.0 to 1.2.2), 14007 when not; always writes 1.2.2 into
// *version and 1.2.0 into *oldest when given. windows.h declares another
// function of that name, so a Windows host resolves this one by name
// (GetProcAddress); the library's own code calls it PyraGetVersion.
typedef int (*PyraGetVersionFunction)(PyraVersion* version, PyraVersion* oldest);
int PyraGetVersion(PyraVersion* version, PyraVersion* oldest);

int RegisterApplication(void* handle, int32_t application_id, const char* application_path,
                        const int32_t* ad_spaces, int32_t count);
int UnregisterApplication(void* handle, int32_t application_id);
// With buffers: fills up to *count texts "<Application> v. <Version>" of at
// most *length - 1 characters and sets *count to the number filled; 0.
// Without: removes the registrations whose application file is gone and
// reports *count registrations and *length 255 with 13004.
int GetInstalledApplications(void* handle, char** buffers, int32_t* count, int32_t* length);
int SetUserInformation(void* handle, const char* user, const char* password);
int GetUserInformation(void* handle, char* buffer, int32_t* length);
// last and next: year, month, day.
int GetSyncInfo(void* handle, int32_t* last, int32_t* next);

int SetBannerArea(void* handle, void* window, int32_t ad_space);
int SetContextKeywords(void* handle, const char* keywords, int32_t redraw);
// Returns the handle's status: 0, 14005 (an ad sync is due) or the error of
// opening the ad database.
int DrawBanner(void* handle, int32_t pick_new);
// The banner window's messages (window, message, wParam, lParam); 1 when
// consumed. result, when given, receives the message's result.
int ProcessSystemMessage(void* handle, void* window, uint32_t message, uintptr_t first, intptr_t second,
                         intptr_t* result);
int SyncPyraDatabase(void* handle, PyraSyncCallback callback);
int CreatePyraInstance(void* handle, int32_t reserved1, int32_t reserved2, int32_t reserved3, int32_t reserved4,
                       const char* keywords, void* window, int32_t ad_space);

#ifdef __cplusplus
}
#endif
