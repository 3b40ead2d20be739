// What a running sync shares between the user-interface thread and the sync
// thread: the progress the engine reports, the user's cancel request, and
// the sync's result; plus what the user-interface thread keeps for the run
// (the channel list, the progress window, the captured screen, the worker).
//
// Invariants:
// - the worker writes the progress only through SyncProgress and the
//   result and cancel flag only as atomics; everything else belongs to the
//   user-interface thread;
// - a sync runs exactly while `worker` is set: from the progress window's
//   creation to its thread-finished message.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "sync/connection.h"

// The engine's progress as the progress window shows it.
class SyncProgress {
 public:
  static constexpr int kTextBytes = 100;

  struct Values {
    int first = 0;           // 0 to 100, the upper bar
    int second = 0;          // 0 to 100, the lower bar
    int longest_second = 0;  // the longest lower bar of this sync
    int state = 0;
    std::string text = " ";  // a blank when the engine gives none
    unsigned serial = 0;     // grows with every change
  };

  // Both values and the state 0, the text a blank; the longest bar forgotten.
  void Reset();
  // Stores the report when a value or the state differs from the stored
  // ones; true then. Values are clamped to 0..100, the text to kTextBytes - 1.
  bool Store(int first, int second, const char* text, int state);
  Values Read() const;

 private:
  mutable std::mutex mu_;
  Values values_;
};

class CKorvelLifeSyncState {
 public:
  SyncProgress progress;
  // The channel databases of this sync, by name.
  std::vector<std::string> channels;
  std::atomic<HWND> window{nullptr};  // the progress window
  std::atomic<int> cancel{0};
  CConnectionState connection;
  HANDLE worker = nullptr;
  // What the worker's sync ended with; read after the thread-finished message.
  std::atomic<int> result{0};
  // The screen below the task bar as it was when the sync started.
  HBITMAP screen = nullptr;
  // The volume the sync works on (empty: the program's own).
  std::string volume;

  bool Running() const { return worker != nullptr; }
};
