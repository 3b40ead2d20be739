// The data connection: mapping, the synchronous probe, and the worker that
// establishes a connection and watches its status.
#include "sync/connection.h"

#include <cstdio>
#include <new>

#include "platform/services.h"

namespace {

// The platform's connection error reporter.
constexpr char16_t kErrorReporter[] = u":MSREMNET";

}  // namespace

void ConnectionProxy::Read(HANDLE connection) {
  PROXY_CONFIG config = {};
  config.dwType = PROXY_CONFIG_TYPE_HTTP;
  HRESULT hr = ConnMgrProviderMessage(connection, &IID_ConnPrv_IProxyExtension, nullptr, 0, 0,
                                      reinterpret_cast<PBYTE>(&config), sizeof config);
  const bool valid = SUCCEEDED(hr) && config.dwType == PROXY_CONFIG_TYPE_HTTP;
  if (valid) {
    config.szUsername[0] = 0;
    config.szPassword[0] = 0;
  }
  std::lock_guard<std::mutex> lock(mu_);
  valid_ = valid;
  config_ = valid ? config : PROXY_CONFIG();
}

bool ConnectionProxy::Valid() const {
  std::lock_guard<std::mutex> lock(mu_);
  return valid_;
}

PROXY_CONFIG ConnectionProxy::Config() const {
  std::lock_guard<std::mutex> lock(mu_);
  return config_;
}

CConnection::CConnection() { stop_ = CreateEventW(nullptr, FALSE, FALSE, nullptr); }

CConnection::~CConnection() {
  StopWorker();
  if (stop_) CloseHandle(stop_);
}

void CConnection::StopWorker() {
  if (!worker_) return;
  if (stop_) SetEvent(stop_);
  WaitForSingleObject(worker_, INFINITE);
  CloseHandle(worker_);
  worker_ = nullptr;
}

HRESULT CConnection::OnStatus(DWORD status) {
  if (status & CONNMGR_STATUS_DISCONNECTED) {
    released_as_cached_.store(status == CONNMGR_STATUS_DISCONNECTED ? 1 : 0);
    return status == CONNMGR_STATUS_DISCONNECTED ? OnDisconnected() : OnFailed();
  }
  if (status == CONNMGR_STATUS_CONNECTED) return OnConnected();
  if (status & CONNMGR_STATUS_WAITINGCONNECTION) return OnWaiting();
  return kConnectionOk;
}

HRESULT CConnection::OnFailed() {
  wchar_t parameters[64];
  std::swprintf(parameters, 64, L"-CMERROR 0x%x -report", static_cast<unsigned>(LastStatus()));
  const std::wstring p(parameters);
  platform::GetServices().shell_execute(kErrorReporter, std::u16string(p.begin(), p.end()));
  return kConnectionFailed;
}

HRESULT CConnection::OnConnected() {
  proxy_info_.Read(connection_);
  return kConnectionOk;
}

HRESULT CConnection::MapDestination(const wchar_t* address) {
  if (address) {
    try {
      address_ = address;
    } catch (const std::bad_alloc&) {
      return kConnectionNoMemory;
    }
  }
  return ConnMgrMapURL(address_.c_str(), &destination_, nullptr);
}

CONNMGR_CONNECTIONINFO CConnection::RequestInfo(bool probe) const {
  CONNMGR_CONNECTIONINFO info = {};
  info.cbSize = sizeof info;
  info.dwParams = probe ? CONNMGR_PARAM_GUIDDESTNET | CONNMGR_PARAM_MAXCONNLATENCY : CONNMGR_PARAM_GUIDDESTNET;
  info.dwFlags = proxy_ ? CONNMGR_FLAG_PROXY_HTTP : 0;
  info.dwPriority = CONNMGR_PRIORITY_USERINTERACTIVE;
  info.bDisabled = probe ? TRUE : FALSE;
  info.guidDestNet = destination_;
  info.ulMaxConnLatency = probe ? kProbeLatencyMillis : 0;
  return info;
}

HRESULT CConnection::CheckConnection(const wchar_t* address, BOOL proxy) {
  HRESULT hr = MapDestination(address);
  proxy_ = proxy;
  if (FAILED(hr)) return hr;
  CONNMGR_CONNECTIONINFO info = RequestInfo(true);
  HANDLE probe = nullptr;
  hr = ConnMgrEstablishConnection(&info, &probe);
  if (FAILED(hr)) return hr;
  HRESULT result = kConnectionFailed;
  if (WaitForSingleObject(probe, kProbeWaitMillis) == WAIT_OBJECT_0) {
    DWORD status = 0;
    const bool read = SUCCEEDED(ConnMgrConnectionStatus(probe, &status));
    if (read && (status == CONNMGR_STATUS_CONNECTED || status == CONNMGR_STATUS_CONNECTIONDISABLED)) {
      proxy_info_.Read(probe);
      result = kConnectionOk;
    } else {
      result = kConnectionUnavailable;
    }
  }
  ConnMgrReleaseConnection(probe, 0);
  return result;
}

HRESULT CConnection::StartConnection(const wchar_t* address, BOOL proxy) {
  HRESULT hr = MapDestination(address);
  proxy_ = proxy;
  if (!stop_) return kConnectionBadState;
  if (FAILED(hr)) return hr;
  StopWorker();
  // A stop meant for the worker just ended must not end the next one.
  ResetEvent(stop_);
  last_status_.store(CONNMGR_STATUS_UNKNOWN);
  worker_ = CreateThread(nullptr, 0, WorkerMain, this, 0, nullptr);
  return worker_ ? kConnectionOk : kConnectionFailed;
}

DWORD WINAPI CConnection::WorkerMain(void* self) { return static_cast<CConnection*>(self)->Work(); }

DWORD CConnection::Work() {
  CONNMGR_CONNECTIONINFO info = RequestInfo(false);
  HRESULT hr = ConnMgrEstablishConnection(&info, &connection_);
  if (FAILED(hr)) {
    connection_ = nullptr;
    last_status_.store(hr);
    released_as_cached_.store(0);
    OnFailed();
  } else {
    OnRequested();
    Watch();
  }
  OnEnd();
  if (connection_) ConnMgrReleaseConnection(connection_, released_as_cached_.load());
  connection_ = nullptr;
  return LastStatus();
}

void CConnection::Watch() {
  HANDLE waits[2] = {connection_, stop_};
  for (;;) {
    DWORD woke = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (woke != WAIT_OBJECT_0) return;  // the stop event (auto-reset: consumed), or a broken wait
    DWORD status = 0;
    HRESULT hr = ConnMgrConnectionStatus(connection_, &status);
    if (FAILED(hr)) {
      last_status_.store(hr);
      return;
    }
    last_status_.store(static_cast<LONG>(status));
    if (OnStatus(status) != kConnectionOk) return;
  }
}
