// What the ad library asks of the device it runs on: the clock, the named
// event that marks a running ad sync, the host applications' files, the
// facts of the device record and the banner window. The Windows build
// answers with the platform (system_win.cpp); other builds with a portable
// stand-in, and tests install their own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace pyra {

class System {
 public:
  virtual ~System() = default;

  // Now, UTC, in file-time units (100 ns since 1601-01-01).
  virtual std::uint64_t NowFileTime() = 0;
  virtual std::uint32_t TickCount() = 0;

  // The named event "PYRA_EventSynchronizing": whether it exists; creating
  // and holding it (false when it exists already or cannot be created).
  virtual bool SyncEventExists() = 0;
  virtual bool CreateSyncEvent(void** held) = 0;
  virtual void CloseSyncEvent(void* held) = 0;

  // Host application files, named as the hosts name them.
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool FileCreationTime(const std::string& path, std::uint64_t* file_time) = 0;
  // "ProductName" and "ProductVersion" of the file's version resource (the
  // first translation); false for each one that is missing.
  virtual bool ProductName(const std::string& path, std::string* name) = 0;
  virtual bool ProductVersion(const std::string& path, std::string* version) = 0;

  // Device record facts.
  virtual void ScreenSize(int* width, int* height) = 0;
  // Whether the display-orientation query succeeds.
  virtual bool OrientationQuery() = 0;
  virtual bool LanguageAbbreviation(std::string* text) = 0;
  virtual bool CountryAbbreviation(std::string* text) = 0;
  virtual bool OemInfo(std::string* text) = 0;
  virtual bool OperatorName(std::string* text) = 0;

  // The banner window: its window rectangle's size; the two status texts;
  // a decoded picture centred on white (0 when drawn).
  virtual bool WindowSize(void* window, int* width, int* height) = 0;
  virtual void DrawStatus(void* window, const char* text) = 0;
  virtual int DrawImage(void* window, const std::string& bytes) = 0;
  // Runs draw between the window's begin and end of painting.
  virtual void Paint(void* window, const std::function<void()>& draw) = 0;
  // Marks the window's rectangle valid without erasing it.
  virtual void ValidateWindow(void* window) = 0;
};

// Where a host application's file lies on this machine: a device path
// ("\Program Files\x.exe") below the device root, any other path as it is.
std::string HostPath(const std::string& path);

// The system in force; never null.
System& CurrentSystem();
// Replaces it (tests); null restores the platform's.
void SetSystem(System* system);
// The platform's own.
System& PlatformSystem();

}  // namespace pyra
