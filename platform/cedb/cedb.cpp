// Placeholder until the engine lands: every call fails cleanly.
#include "platform/cedb.h"

#ifndef _WIN32
static thread_local DWORD g_last_error = 0;
DWORD GetLastError() { return g_last_error; }
void SetLastError(DWORD code) { g_last_error = code; }
HLOCAL LocalFree(HLOCAL mem) { return mem; }
#endif

static BOOL Fail() { SetLastError(ERROR_NOT_SUPPORTED); return FALSE; }
BOOL CeMountDBVol(PCEGUID, LPCWSTR, DWORD) { return Fail(); }
BOOL CeUnmountDBVol(PCEGUID) { return Fail(); }
BOOL CeFlushDBVol(PCEGUID) { return Fail(); }
CEOID CeCreateDatabaseEx2(PCEGUID, CEDBASEINFOEX*) { return Fail(); }
HANDLE CeOpenDatabaseEx2(PCEGUID, PCEOID, LPCWSTR, SORTORDERSPECEX*, DWORD, CENOTIFYREQUEST*) { Fail(); return INVALID_HANDLE_VALUE; }
BOOL CeCloseDatabase(HANDLE) { return Fail(); }
BOOL CeDeleteDatabaseEx(PCEGUID, CEOID) { return Fail(); }
CEOID CeSeekDatabaseEx(HANDLE, DWORD, DWORD, WORD, LPDWORD) { return Fail(); }
CEOID CeReadRecordPropsEx(HANDLE, DWORD, LPWORD, CEPROPID*, LPBYTE*, LPDWORD, HANDLE) { return Fail(); }
CEOID CeWriteRecordProps(HANDLE, CEOID, WORD, CEPROPVAL*) { return Fail(); }
BOOL CeDeleteRecord(HANDLE, CEOID) { return Fail(); }
BOOL CeOidGetInfoEx2(PCEGUID, CEOID, CEOIDINFOEX*) { return Fail(); }
BOOL CeBeginTransaction(PCEGUID) { return Fail(); }
BOOL CeCommitTransaction(PCEGUID) { return Fail(); }
BOOL CeRollbackTransaction(PCEGUID) { return Fail(); }
BOOL CeGetVolumeReport(PCEGUID, CEVOLUMEREPORT*) { return Fail(); }
