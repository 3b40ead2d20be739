// Who holds a mounted volume: one call at a time, or one thread's bracket.
//
// A call (Call) holds the volume while it runs; its writes are committed as
// one batch when it finishes. A bracket (Begin ... End) holds the volume for
// several calls of one thread:
//   - a write bracket keeps the exclusive file lock, collects the writes of
//     every call inside it and commits them as one batch at its end;
//   - a read bracket catches up with the file once and keeps the image as it
//     is until its end; other processes may write meanwhile, and it sees
//     none of that. Writes inside it fail (ERROR_INVALID_OPERATION): a
//     shared hold cannot be raised to an exclusive one without deadlock.
// Brackets nest; a read bracket inside a write bracket is part of it.
//
// Invariants (mu_ held): depth_ > 0 exactly when owner_ names a thread; the
// mutex is locked depth_ times by the owner; pending_ holds the writes of
// the open write bracket and is empty otherwise.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "volume_file.h"

namespace cedb {

class VolumeAccess {
 public:
  explicit VolumeAccess(std::unique_ptr<VolumeFile> file) : file_(std::move(file)) {}

  enum class Kind { kRead, kWrite };
  // Windows error codes.
  std::uint32_t Begin(Kind kind);
  std::uint32_t Commit();
  std::uint32_t Rollback();
  // Drops the calling thread's bracket, if it holds one (unmounting).
  void AbandonOwnBracket();
  std::uint32_t Sync();
  std::uint64_t file_bytes();
  std::uint64_t mount_dropped_bytes() const { return file_->mount_dropped_bytes(); }

  // One call's hold on the volume.
  class Call {
   public:
    Call(VolumeAccess* volume, bool write);
    ~Call();
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;
    // Nonzero when the volume could not be had; nothing may be done then.
    std::uint32_t error() const { return err_; }
    VolumeState& state() { return v_->file_->state(); }
    // Where the call's operations go.
    std::string* out() { return v_->pending_.ops(); }
    // Commits the call's operations now (outside a bracket), so that the
    // caller can report a failed write.
    std::uint32_t Finish();

   private:
    VolumeAccess* v_;
    std::unique_lock<std::recursive_mutex> lock_;
    bool in_bracket_ = false;
    bool locked_ = false;
    std::uint32_t err_ = 0;
  };

 private:
  bool OwnedByThisThread() const { return depth_ > 0 && owner_ == std::this_thread::get_id(); }
  std::uint32_t End(bool commit);

  std::recursive_mutex mu_;
  std::unique_ptr<VolumeFile> file_;
  int depth_ = 0;
  std::thread::id owner_;
  Kind kind_ = Kind::kRead;
  Batch pending_;
};

}  // namespace cedb
