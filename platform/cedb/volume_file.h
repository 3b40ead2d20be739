// One mounted volume file: the log of committed batches, the lock that
// orders processes, and compaction.
//
// File layout:
//   [0, 64)   two header slots of 32 bytes: magic "CEDBVOL1", u64 generation,
//             u64 log start, u32 CRC of the first 24 bytes, u32 commit
//             counter. The valid slot with the higher generation is current;
//             every commit adds one to its counter before writing its batch.
//   [log start, end)  batches: u32 magic, u32 body length, u32 CRC of length
//             and body, body (operations, volume_state.h).
// A batch is committed once its last byte is in the file; a torn or damaged
// batch ends the log, and what follows it is dropped: cut off by the next
// mount, or by the next commit before it writes (a commit never writes over
// such remains, which could hold a well-formed batch inside a record).
//
// Concurrency: the caller (VolumeAccess) serialises the threads of a
// process; the file's byte-range lock at kLockOffset (shared to read,
// exclusive to write) orders processes while one looks at the file. Under
// the lock the state first catches up with the batches other processes
// appended; a changed generation (compaction by another process) or a
// shorter file means a full replay. A reader first reads the header alone:
// when it is byte for byte the one of its last catch-up, no commit or
// compaction has begun since, and it needs neither lock nor catch-up. A
// commit changes the header before its batch, and a reader that sees the
// change waits for the writer's lock, so it never misses a batch.
//
// Compaction, done by a writer under the exclusive lock: write a snapshot
// batch at the end and point the header at it; then, when the snapshot fits
// in front of it, write it again at the start of the log area, point the
// header there and cut the file. Each header switch happens only after the
// data it points to is synced, so every instant leaves one complete log.
// The snapshot is streamed from the image in pieces, never held whole.
#pragma once

#include <cstdint>
#include <string>

#include "platform/cedb_testing.h"  // the hooks are implemented with the file
#include "platform/os.h"
#include "volume_state.h"

namespace cedb {

constexpr std::uint64_t kHeaderSize = 64;
constexpr std::uint64_t kLockOffset = 1ull << 40;  // far beyond any data: Windows locks are mandatory
constexpr std::uint32_t kBatchMagic = 0x42444543;  // "CEDB"


constexpr std::size_t kFrameHeadSize = 12;  // magic, length, checksum

// A batch being collected: its operations behind room for the frame head,
// so that a commit writes head and body with one write and no copy.
class Batch {
 public:
  Batch() : bytes_(kFrameHeadSize, '\0') {}
  bool empty() const { return bytes_.size() == kFrameHeadSize; }
  // Where operations are appended.
  std::string* ops() { return &bytes_; }
  void Clear() { bytes_.resize(kFrameHeadSize); }

 private:
  friend class VolumeFile;
  std::string bytes_;
};

class VolumeFile {
 public:
  ~VolumeFile();

  // Opens or creates the file per CE disposition; returns a Windows error code.
  std::uint32_t Open(const std::string& path, std::uint32_t disposition);

  // Lock and catch up. Returns a Windows error code; on failure nothing is held.
  std::uint32_t Lock(bool exclusive);
  void Unlock();

  // Writes the batch (exclusive lock held, state already contains it). On
  // failure the state is marked for a full replay.
  std::uint32_t Commit(Batch* batch);
  // Forces a full replay at the next Lock (drops uncommitted changes).
  void Invalidate() { generation_ = 0; }
  std::uint32_t Sync();

  VolumeState& state() { return state_; }
  std::uint64_t file_bytes() const { return applied_end_; }
  // Bytes after the intact log that the mount cut off.
  std::uint64_t mount_dropped_bytes() const { return mount_dropped_bytes_; }

 private:
  std::uint32_t CatchUp();
  bool Unchanged();
  std::uint32_t WriteHeader(std::uint64_t generation, std::uint64_t log_start);
  // `raw`, when given, receives the 64 header bytes as read (zeros past the end).
  bool ReadHeader(std::uint64_t* generation, std::uint64_t* log_start, bool* any_bytes, char* raw = nullptr);
  std::uint32_t CountCommit();
  std::uint32_t RefreshSeenHeader();
  std::uint32_t Init(std::uint64_t generation);
  std::uint32_t MaybeCompact();
  // Writes the image as one batch at `at`; *frame_size receives its length.
  std::uint32_t WriteSnapshotAt(std::uint64_t at, std::uint64_t* frame_size);

  platform::os::FileHandle file_ = platform::os::kInvalidFile;
  VolumeState state_;
  std::uint64_t generation_ = 0;
  std::uint64_t log_start_ = 0;
  std::uint64_t applied_end_ = 0;
  std::uint64_t dropped_bytes_ = 0;
  std::uint64_t mount_dropped_bytes_ = 0;
  bool holding_ = false;  // the byte-range lock is held
  char seen_header_[kHeaderSize] = {};  // the header as of the last catch-up or own change
};

}  // namespace cedb
