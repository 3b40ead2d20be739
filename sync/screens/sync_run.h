// The steps of a sync the sync screen starts, the progress window shows and
// the sync thread runs.
#pragma once

#include <windows.h>

#include "sync/screens/sync_screen.h"

namespace sync_screens {

// "SyncStats" of "TavoInfo": one more sync, and the time used kept.
void CountSync(const CObjectStore& store);
// The placeholder alerts: "Alert 1" goes, "Alert 2" to "Alert 4" are read.
void MarkPlaceholderAlertsRead(const CObjectStore& store);
// Polls the connection's last status until it says connected, its worker
// has given up, or `timeout_ms` have passed; windows are repainted meanwhile, and what the user typed or
// tapped during the wait is dropped.
bool WaitForConnection(const CConnection& connection, DWORD timeout_ms);
// The frame's window as it shows now (the screen below the task bar).
HBITMAP CaptureScreen(HWND frame);

// The progress window over the screen; it starts the sync thread.
HWND OpenProgressWindow(const SyncHost& host);
// The sync thread: one session of the fixed databases and the channels.
DWORD WINAPI RunSync(void* state);
// The engine's progress callback: stores the report for the progress window
// and answers the user's cancel request.
int ReportProgress(int first, int second, const char* text, int state);
// The state ReportProgress writes to (the running sync's).
void SetReportTarget(CKorvelLifeSyncState* state);

}  // namespace sync_screens
