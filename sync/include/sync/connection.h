// The data connection before a sync: CConnection asks the Connection Manager
// for the network that serves an address, probes it synchronously
// (CheckConnection) or has it established on a worker thread that watches
// the status (StartConnection). The application keeps one CConnectionState;
// the sync screen polls its last status, 0x10 meaning connected.
//
// Invariants:
// - at most one worker runs; a new StartConnection and the destructor stop
//   the running one and wait for it to end, so a worker never outlives its
//   object and never sees another worker's stop signal;
// - the last status is written by the worker and read by anyone (atomic);
// - the proxy configuration is read and written under its own lock.
//
// Results (HRESULTs): kConnectionOk, kConnectionUnavailable (1: the network
// says no), kConnectionFailed (0x80004005: time-out, failure),
// kConnectionBadState (0x80070057: no stop event), kConnectionNoMemory
// (0x8007000E); mapping and request failures pass through unchanged.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

#include "platform/cellcore.h"

enum ConnectionResult : HRESULT {
  kConnectionOk = 0,
  kConnectionUnavailable = 1,
  kConnectionFailed = static_cast<HRESULT>(0x80004005),
  kConnectionBadState = static_cast<HRESULT>(0x80070057),
  kConnectionNoMemory = static_cast<HRESULT>(0x8007000E),
};

// The proxy the Connection Manager names for the connection, behind its lock.
class ConnectionProxy {
 public:
  // Asks the proxy provider about `connection`; valid when it answers with
  // an HTTP proxy, whose user name and password are then blanked.
  void Read(HANDLE connection);
  bool Valid() const;
  PROXY_CONFIG Config() const;

 private:
  mutable std::mutex mu_;
  bool valid_ = false;
  PROXY_CONFIG config_ = {};
};

class CConnection {
 public:
  // How long a probe waits for the Connection Manager's answer.
  static constexpr DWORD kProbeWaitMillis = 400;
  static constexpr ULONG kProbeLatencyMillis = 4000;

  CConnection();
  CConnection(const CConnection&) = delete;
  CConnection& operator=(const CConnection&) = delete;

  // Slots 0 to 7.
  virtual ~CConnection();
  // Dispatches a status: disconnected, the other failures, connected,
  // waiting. A non-zero result ends the worker's watch.
  virtual HRESULT OnStatus(DWORD status);
  virtual HRESULT OnRequested() { return kConnectionOk; }
  // Starts the platform's connection error reporter with the last status.
  virtual HRESULT OnFailed();
  virtual HRESULT OnConnected();
  virtual HRESULT OnDisconnected() { return kConnectionFailed; }
  virtual HRESULT OnWaiting() { return kConnectionOk; }
  virtual HRESULT OnEnd() { return kConnectionOk; }

  // Keeps a copy of `address` (null: the one kept) and maps it.
  HRESULT MapDestination(const wchar_t* address);
  // A connection exists or is possible: 0; the network says otherwise: 1;
  // no answer within kProbeWaitMillis: kConnectionFailed.
  HRESULT CheckConnection(const wchar_t* address, BOOL proxy);
  // Starts the worker that establishes and watches the connection.
  HRESULT StartConnection(const wchar_t* address, BOOL proxy);
  // Stops the worker, if any, and waits for it to end.
  void StopWorker();

  DWORD LastStatus() const { return static_cast<DWORD>(last_status_.load()); }
  bool ReleasedAsCached() const { return released_as_cached_.load() != 0; }
  const GUID& Destination() const { return destination_; }
  const std::wstring& Address() const { return address_; }
  bool HasWorker() const { return worker_ != nullptr; }
  // A worker was started and has ended: its last status is final.
  bool WorkerEnded() const { return worker_ && WaitForSingleObject(worker_, 0) == WAIT_OBJECT_0; }
  const ConnectionProxy& Proxy() const { return proxy_info_; }

 protected:
  static DWORD WINAPI WorkerMain(void* self);
  DWORD Work();
  // Waits on the request and the stop event until the watch ends.
  void Watch();
  CONNMGR_CONNECTIONINFO RequestInfo(bool probe) const;

  std::wstring address_;
  BOOL proxy_ = FALSE;
  HANDLE connection_ = nullptr;  // the worker's request
  std::atomic<LONG> released_as_cached_{0};
  GUID destination_ = {};
  std::atomic<LONG> last_status_{0};
  HANDLE stop_ = nullptr;
  HANDLE worker_ = nullptr;
  ConnectionProxy proxy_info_;
};

// The application's connection.
class CConnectionState : public CConnection {
 public:
  // Stops the worker while this object's operations are still the ones it calls.
  ~CConnectionState() override { StopWorker(); }
};
