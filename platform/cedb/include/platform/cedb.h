// CE database volumes: the calls the record layer makes, with CE's names,
// types, flags and error codes, over a portable engine (one volume file,
// many databases, crash-safe, shared by threads and processes).
//
// Both builds expose the same declarations. The header does not include
// <windows.h>; where a type or macro also exists in the Windows headers it is
// declared identically, so both may be included in either order.
//
// Errors: a failing call returns FALSE / 0 / INVALID_HANDLE_VALUE and sets the
// thread's last error (GetLastError). On Windows that is the real
// GetLastError; natively this library provides it.
//
// Text: LPWSTR is wchar_t* on Windows and char16_t* natively (both 16-bit
// UTF-16); portable code passes reinterpret_cast<LPCWSTR>(u16.c_str()).
// Volume paths may use "\" or "/"; natively "\" is read as "/".
//
// Extensions of this stand-in (no CE counterpart):
//   CeCloseDatabase      closes a database or enumeration handle (CE uses
//                        CloseHandle).
//   CeBeginTransaction / CeCommitTransaction / CeRollbackTransaction
//                        make several writes on one mounted volume one
//                        all-or-nothing step, see below.
//   CeBeginReadTransaction
//                        several reads of one thread see one state of the
//                        volume and bring it up to date only once.
//   CeGetDatabaseStamp   a value that changes whenever a database changes,
//                        so that callers can keep what they read.
//   CeGetVolumeReport    what the last mount recovered or dropped.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#include <winerror.h>  // error code macros only
#endif

// ---- Basic Windows types ------------------------------------------------

#ifdef _WIN32
typedef unsigned long DWORD;
typedef long LONG;
typedef unsigned long ULONG;
typedef wchar_t WCHAR;
typedef long long LONG_PTR;
#else
typedef std::uint32_t DWORD;
typedef std::int32_t LONG;
typedef std::uint32_t ULONG;
typedef char16_t WCHAR;
typedef std::intptr_t LONG_PTR;
#endif
typedef unsigned short WORD;
typedef unsigned short USHORT;
typedef int BOOL;
typedef unsigned char BYTE;
typedef void* HANDLE;
typedef HANDLE HLOCAL;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef BYTE* LPBYTE;
typedef DWORD* LPDWORD;
typedef WORD* LPWORD;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#ifndef INVALID_HANDLE_VALUE
#define INVALID_HANDLE_VALUE ((HANDLE) (LONG_PTR)-1)
#endif

// Mount dispositions (CeMountDBVol dwFlags).
#ifndef CREATE_NEW
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5
#endif

// ---- Error codes (the Windows values) -----------------------------------

#ifndef _WIN32
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_BAD_FORMAT 11L
#define ERROR_OUTOFMEMORY 14L
#define ERROR_WRITE_FAULT 29L
#define ERROR_SEEK 25L
#define ERROR_READ_FAULT 30L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_DUP_NAME 52L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_DISK_FULL 112L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_NOT_FOUND 1168L
#define ERROR_FILE_CORRUPT 1392L
#define ERROR_INVALID_OPERATION 4317L
#endif

// Last error of the calling thread.
#ifdef _WIN32
extern "C" __declspec(dllimport) DWORD __stdcall GetLastError(void);
extern "C" __declspec(dllimport) void __stdcall SetLastError(DWORD dwErrCode);
// Frees buffers the platform allocated (CeReadRecordPropsEx).
extern "C" __declspec(dllimport) HLOCAL __stdcall LocalFree(HLOCAL hMem);
#else
DWORD GetLastError();
void SetLastError(DWORD code);
HLOCAL LocalFree(HLOCAL mem);
#endif

// ---- CE database types --------------------------------------------------

typedef DWORD CEOID;
typedef CEOID* PCEOID;
typedef DWORD CEPROPID;
typedef CEPROPID* PCEPROPID;

typedef struct _CEGUID {
  DWORD Data1;
  DWORD Data2;
  DWORD Data3;
  DWORD Data4;
} CEGUID, *PCEGUID;

#define CREATE_SYSTEMGUID(pguid) ((pguid)->Data1 = (pguid)->Data2 = (pguid)->Data3 = (pguid)->Data4 = 0)
#define CREATE_INVALIDGUID(pguid) \
  ((pguid)->Data1 = (pguid)->Data2 = (pguid)->Data3 = (pguid)->Data4 = (DWORD)-1)
#define CHECK_SYSTEMGUID(pguid) \
  (!((pguid)->Data1 | (pguid)->Data2 | (pguid)->Data3 | (pguid)->Data4))
#define CHECK_INVALIDGUID(pguid) \
  ((pguid)->Data1 == (DWORD)-1 && (pguid)->Data2 == (DWORD)-1 && \
   (pguid)->Data3 == (DWORD)-1 && (pguid)->Data4 == (DWORD)-1)

// FILETIME under its own name, so that this header and <windows.h> never clash.
typedef struct _CEFILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
} CEFILETIME;

typedef struct _CEBLOB {
  DWORD dwCount;
  LPBYTE lpb;
} CEBLOB;

typedef union _CEVALUNION {
  short iVal;
  USHORT uiVal;
  LONG lVal;
  ULONG ulVal;
  CEFILETIME filetime;
  LPWSTR lpwstr;
  CEBLOB blob;
  BOOL boolVal;
  double dblVal;
} CEVALUNION;

typedef struct _CEPROPVAL {
  CEPROPID propid;
  WORD wLenData;
  WORD wFlags;
  CEVALUNION val;
} CEPROPVAL, *PCEPROPVAL;

// Property types: the low word of a CEPROPID.
#define CEVT_I2 2
#define CEVT_I4 3
#define CEVT_R8 5
#define CEVT_BOOL 11
#define CEVT_UI2 18
#define CEVT_UI4 19
#define CEVT_LPWSTR 31
#define CEVT_FILETIME 64
#define CEVT_BLOB 65
#define TypeFromPropID(propid) LOWORD(propid)
#ifndef LOWORD
#define LOWORD(l) ((WORD)(((DWORD)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD)(l)) >> 16) & 0xffff))
#endif
#ifndef MAKELONG
#define MAKELONG(a, b) ((LONG)(((WORD)(a)) | ((DWORD)((WORD)(b))) << 16))
#endif

// CEPROPVAL.wFlags
#define CEDB_PROPNOTFOUND 0x0100  // read: the record lacks this property
#define CEDB_PROPDELETE 0x0200    // write: remove this property

#define CEDB_MAXDBASENAMELEN 32
#define CEDB_MAXSORTORDER 4
#define CEDB_MAXSORTPROP 3
#define CEDB_MAXPROPDATASIZE 65471  // bytes of one property value
#define CEDB_MAXRECORDSIZE 131072   // bytes of all values of one record
#define CEDB_MAXNUMRECORDS 0xFFFF

// Sort flags (SORTORDERSPECEX.rgdwFlags)
#define CEDB_SORT_DESCENDING 0x00000001
#define CEDB_SORT_CASEINSENSITIVE 0x00000002
#define CEDB_SORT_UNKNOWNFIRST 0x00000004
#define CEDB_SORT_GENERICORDER 0x00000008

#define SORTORDERSPECEX_VERSION 1
typedef struct _SORTORDERSPECEX {
  WORD wVersion;
  WORD wNumProps;
  WORD wKeyFlags;
  WORD wReserved;
  CEPROPID rgPropID[CEDB_MAXSORTPROP];
  DWORD rgdwFlags[CEDB_MAXSORTPROP];
} SORTORDERSPECEX;

// CEDBASEINFOEX.dwFlags: which fields are valid
#define CEDB_VALIDNAME 0x0001
#define CEDB_VALIDTYPE 0x0002
#define CEDB_VALIDSORTSPEC 0x0004
#define CEDB_VALIDMODTIME 0x0008
#define CEDB_VALIDDBFLAGS 0x0010
#define CEDB_VALIDCREATE (CEDB_VALIDNAME | CEDB_VALIDTYPE | CEDB_VALIDSORTSPEC | CEDB_VALIDDBFLAGS)

#define CEDBASEINFOEX_VERSION 1
typedef struct _CEDBASEINFOEX {
  WORD wVersion;
  WORD wNumSortOrder;
  DWORD dwFlags;
  WCHAR szDbaseName[CEDB_MAXDBASENAMELEN];
  DWORD dwDbaseType;
  DWORD dwNumRecords;
  DWORD dwSize;
  CEFILETIME ftLastModified;
  SORTORDERSPECEX rgSortSpecs[CEDB_MAXSORTORDER];
} CEDBASEINFOEX, *PCEDBASEINFOEX;

typedef struct _CERECORDINFO {
  CEOID oidParent;
} CERECORDINFO;

#define OBJTYPE_INVALID 0
#define OBJTYPE_FILE 1
#define OBJTYPE_DIRECTORY 2
#define OBJTYPE_DATABASE 3
#define OBJTYPE_RECORD 4

#define CEOIDINFOEX_VERSION 1
typedef struct _CEOIDINFOEX {
  WORD wVersion;
  WORD wObjType;
  union {
    CEDBASEINFOEX infDatabase;
    CERECORDINFO infRecord;
  };
} CEOIDINFOEX, *PCEOIDINFOEX;

// Notification requests are accepted and ignored.
typedef struct _CENOTIFYREQUEST {
  DWORD dwSize;
  HANDLE hwnd;
  DWORD dwFlags;
  HANDLE hHeap;
  DWORD dwParam;
} CENOTIFYREQUEST;

// CeOpenDatabaseEx2 dwFlags
#define CEDB_AUTOINCREMENT 0x00000001  // each read moves to the next record

// CeSeekDatabaseEx dwSeekType
#define CEDB_SEEK_CEOID 0x00000001      // dwValue: record identifier
#define CEDB_SEEK_BEGINNING 0x00000002  // dwValue: records from the first
#define CEDB_SEEK_END 0x00000004        // dwValue: records back from the last (0 = last)
#define CEDB_SEEK_CURRENT 0x00000008    // dwValue: signed step from the current record

// CeReadRecordPropsEx dwFlags
#define CEDB_ALLOWREALLOC 0x00000001

// ---- Calls --------------------------------------------------------------

// Mounts a volume file. dwFlags: CREATE_NEW, CREATE_ALWAYS, OPEN_EXISTING,
// OPEN_ALWAYS, TRUNCATE_EXISTING. Mounting a mounted volume again gives the
// same GUID and counts one more unmount. A file that is not a volume fails
// with ERROR_BAD_FORMAT and is left untouched; a damaged volume mounts with
// every committed batch before the first damaged one, the rest is cut off,
// and CeGetVolumeReport says how much was dropped.
BOOL CeMountDBVol(PCEGUID pceguid, LPCWSTR lpszVol, DWORD dwFlags);
// Syncs to disk, then drops one mount; the last one closes the file.
BOOL CeUnmountDBVol(PCEGUID pceguid);
// Syncs everything committed so far to disk (survives power loss).
BOOL CeFlushDBVol(PCEGUID pceguid);

// Lists a volume's databases: the identifiers of those that exist at the
// first call, of type dwDbaseType (0: every type), in creation order. Next
// returns 0 with ERROR_NO_MORE_ITEMS after the last (databases deleted
// meanwhile are left out). Close the handle with CeCloseDatabase.
HANDLE CeFindFirstDatabaseEx(PCEGUID pguid, DWORD dwDbaseType);
CEOID CeFindNextDatabaseEx(HANDLE hEnum, PCEGUID pguid);

// Creates a database; returns its identifier or 0 (ERROR_DUP_NAME when the
// name exists, case ignored; ERROR_INVALID_PARAMETER for a bad name or sort
// order). This stand-in keeps at most one sort order, on one integer
// property (CEVT_UI4, CEVT_I4, CEVT_UI2, CEVT_I2, CEVT_BOOL; flags
// CEDB_SORT_DESCENDING and CEDB_SORT_UNKNOWNFIRST); records without the
// property sort last. Without a sort order records keep creation order.
CEOID CeCreateDatabaseEx2(PCEGUID pceguid, CEDBASEINFOEX* pInfo);
// Opens by name (*poid == 0 on entry; receives the identifier) or by
// identifier. pSort must be one of the database's sort orders (or null for
// its first). ERROR_FILE_NOT_FOUND when no such database exists.
HANDLE CeOpenDatabaseEx2(PCEGUID pceguid, PCEOID poid, LPCWSTR lpszName, SORTORDERSPECEX* pSort,
                         DWORD dwFlags, CENOTIFYREQUEST* pRequest);
// Closes a database or enumeration handle (CE: CloseHandle).
BOOL CeCloseDatabase(HANDLE hDatabase);
// Deletes a database and its records; handles still open on it fail with
// ERROR_INVALID_HANDLE from then on.
BOOL CeDeleteDatabaseEx(PCEGUID pceguid, CEOID oid);

// Moves the handle's current record; returns its identifier, or 0 with
// ERROR_SEEK when there is no such record (the position is unchanged).
// lpdwIndex, when given, receives the record's position from the first.
CEOID CeSeekDatabaseEx(HANDLE hDatabase, DWORD dwSeekType, DWORD dwValue, WORD wNumVals,
                       LPDWORD lpdwIndex);
// Reads the current record. rgPropID null: all its properties (*lpcPropID
// receives the count). The buffer holds the CEPROPVAL array followed by the
// values it points to; with CEDB_ALLOWREALLOC it is (re)allocated with
// LocalAlloc (free it with LocalFree), else ERROR_INSUFFICIENT_BUFFER and
// *lpcbBuffer the needed size. With CEDB_AUTOINCREMENT the handle then
// moves to the next record. Returns the record identifier, or 0
// (ERROR_NO_MORE_ITEMS past the last record).
CEOID CeReadRecordPropsEx(HANDLE hDbase, DWORD dwFlags, LPWORD lpcPropID, CEPROPID* rgPropID,
                          LPBYTE* lplpBuffer, LPDWORD lpcbBuffer, HANDLE hHeap);
// oidRecord 0: a new record; else replaces the given properties of that
// record (others stay; CEDB_PROPDELETE removes one). Supported types:
// CEVT_I2, CEVT_UI2, CEVT_I4, CEVT_UI4, CEVT_R8, CEVT_BOOL, CEVT_FILETIME,
// CEVT_LPWSTR, CEVT_BLOB; others fail with ERROR_INVALID_PARAMETER, as do
// values above CEDB_MAXPROPDATASIZE. Returns the record identifier or 0.
// Identifiers are never reused while the volume exists.
CEOID CeWriteRecordProps(HANDLE hDbase, CEOID oidRecord, WORD cPropID, CEPROPVAL* rgPropVal);
BOOL CeDeleteRecord(HANDLE hDatabase, CEOID oidRecord);

// Database (OBJTYPE_DATABASE, infDatabase.dwNumRecords is the record count)
// or record (OBJTYPE_RECORD, infRecord.oidParent) information.
BOOL CeOidGetInfoEx2(PCEGUID pGuid, CEOID oid, CEOIDINFOEX* oidInfo);

// ---- Transactions (extension) -------------------------------------------
// Between CeBeginTransaction and CeCommitTransaction every write this thread
// makes on the volume (any handle) is one atomic step: after a crash either
// all of it or none of it is there. Other processes and threads wait for the
// volume until the bracket ends and never see part of it; the writing thread
// sees its own changes at once. Brackets nest: only the outermost commit
// writes. CeRollbackTransaction drops everything since the outermost begin.
// A commit survives the process being killed; CeFlushDBVol makes it survive
// power loss. Errors: ERROR_INVALID_OPERATION for commit or rollback without
// a begin on this thread. A begin while another thread or process holds a
// bracket on the volume waits for it to end.
BOOL CeBeginTransaction(PCEGUID pceguid);
BOOL CeCommitTransaction(PCEGUID pceguid);
BOOL CeRollbackTransaction(PCEGUID pceguid);
// A read bracket: the volume is brought up to date once, and until the
// matching CeCommitTransaction (or CeRollbackTransaction) this thread's
// reads see that state, while other processes go on reading and writing.
// Other threads of this process wait for the bracket to end. A write inside
// it, or a CeBeginTransaction, fails with ERROR_INVALID_OPERATION; a read
// bracket inside a write bracket is part of that bracket.
BOOL CeBeginReadTransaction(PCEGUID pceguid);

// ---- Change stamps (extension) ----------------------------------------------
// A database's stamp changes with every change to it, made through any
// handle of any process (as soon as this process sees the change: at the
// next call or bracket). Equal stamps mean that nothing changed in between;
// a value is never given twice within a process. Inside a write bracket the
// stamp includes the bracket's own writes.
typedef std::uint64_t CEDBSTAMP;
BOOL CeGetDatabaseStamp(HANDLE hDatabase, CEDBSTAMP* pStamp);

// ---- Mount report (extension) -------------------------------------------
typedef struct _CEVOLUMEREPORT {
  DWORD cbSize;           // set to sizeof(CEVOLUMEREPORT) before the call
  DWORD dwDroppedBytes;   // bytes of damaged or incomplete log left out at mount
  DWORD dwDroppedBatches; // 1 when something was dropped (later ones cannot be framed)
  DWORD dwFileBytes;      // volume file size now
  DWORD dwLiveBytes;      // bytes the live data needs; compaction keeps the file near this
} CEVOLUMEREPORT;
BOOL CeGetVolumeReport(PCEGUID pceguid, CEVOLUMEREPORT* report);
