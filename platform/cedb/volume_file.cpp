#include "volume_file.h"

#include <atomic>
#include <cstring>

#include "coding.h"
#include "platform/cedb.h"

namespace cedb {

namespace os = platform::os;

std::atomic<std::uint64_t> g_compact_min_bytes{1ull << 20};
std::atomic<int> g_writes_left{-1};

void SetCompactionThreshold(std::uint64_t bytes) { g_compact_min_bytes = bytes; }
void FailFileWritesAfter(int writes) { g_writes_left = writes; }

namespace {
const char kMagic[8] = {'C', 'E', 'D', 'B', 'V', 'O', 'L', '1'};

// Every change to the file passes here, so that a test can make the disk go
// away at any step.
bool WriteAllowed() {
  int left = g_writes_left.load();
  while (left > 0 && !g_writes_left.compare_exchange_weak(left, left - 1)) {
  }
  return left != 0;
}
int WriteAt(os::FileHandle f, std::uint64_t at, const void* data, std::size_t n) {
  return WriteAllowed() ? os::WriteAt(f, at, data, n) : os::kIoError;
}
int SetFileSize(os::FileHandle f, std::uint64_t size) {
  return WriteAllowed() ? os::SetFileSize(f, size) : os::kIoError;
}
int SyncFile(os::FileHandle f) { return WriteAllowed() ? os::SyncFile(f) : os::kIoError; }

std::uint32_t FromOs(int status) {
  switch (status) {
    case os::kOk: return ERROR_SUCCESS;
    case os::kNotFound: return ERROR_FILE_NOT_FOUND;
    case os::kExists: return ERROR_FILE_EXISTS;
    case os::kAccessDenied: return ERROR_ACCESS_DENIED;
    case os::kNoSpace: return ERROR_DISK_FULL;
    default: return ERROR_WRITE_FAULT;
  }
}

bool ParseSlot(const char* p, std::uint64_t* generation, std::uint64_t* log_start) {
  if (std::memcmp(p, kMagic, 8) != 0) return false;
  if (GetU32(p + 24) != Crc32(p, 24)) return false;
  *generation = GetU64(p + 8);
  *log_start = GetU64(p + 16);
  return *generation != 0 && *log_start >= kHeaderSize;
}

}  // namespace

VolumeFile::~VolumeFile() {
  if (file_ != os::kInvalidFile) os::CloseFile(file_);
}

bool VolumeFile::ReadHeader(std::uint64_t* generation, std::uint64_t* log_start, bool* any_bytes, char* raw) {
  char buf[kHeaderSize];
  std::memset(buf, 0, sizeof buf);
  std::size_t got = 0;
  if (os::ReadAt(file_, 0, buf, sizeof buf, &got) != os::kOk) got = 0;
  if (any_bytes) *any_bytes = got > 0;
  if (raw) std::memcpy(raw, buf, kHeaderSize);
  std::uint64_t best_gen = 0, best_start = 0;
  for (int slot = 0; slot < 2; ++slot) {
    std::uint64_t g, s;
    if (static_cast<std::size_t>(slot + 1) * 32 <= got && ParseSlot(buf + 32 * slot, &g, &s) && g > best_gen) {
      best_gen = g;
      best_start = s;
    }
  }
  if (best_gen == 0) return false;
  *generation = best_gen;
  *log_start = best_start;
  return true;
}

std::uint32_t VolumeFile::WriteHeader(std::uint64_t generation, std::uint64_t log_start) {
  char slot[32];
  std::memset(slot, 0, sizeof slot);
  std::memcpy(slot, kMagic, 8);
  SetU64(slot + 8, generation);
  SetU64(slot + 16, log_start);
  SetU32(slot + 24, Crc32(slot, 24));
  return FromOs(WriteAt(file_, 32 * (generation & 1), slot, sizeof slot));
}

std::uint32_t VolumeFile::Init(std::uint64_t generation) {
  // The whole header in one write: a crash leaves no file, or a file whose
  // remains Open() recognises and initialises again.
  char header[kHeaderSize];
  std::memset(header, 0, sizeof header);
  char* slot = header + 32 * (generation & 1);
  std::memcpy(slot, kMagic, 8);
  SetU64(slot + 8, generation);
  SetU64(slot + 16, kHeaderSize);
  SetU32(slot + 24, Crc32(slot, 24));
  std::uint32_t err = FromOs(SetFileSize(file_, 0));
  if (!err) err = FromOs(WriteAt(file_, 0, header, sizeof header));
  if (!err) err = FromOs(SyncFile(file_));
  return err;
}

std::uint32_t VolumeFile::Open(const std::string& path, std::uint32_t disposition) {
  bool exists = os::PathExists(path);
  if (exists && os::IsDirectory(path)) return ERROR_ACCESS_DENIED;
  if (disposition == CREATE_NEW && exists) return ERROR_FILE_EXISTS;
  if ((disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING) && !exists) return ERROR_FILE_NOT_FOUND;
  if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) return ERROR_INVALID_PARAMETER;
  int st = os::OpenFile(path, os::kOpenRead | os::kOpenWrite | os::kOpenCreate, &file_);
  if (st != os::kOk) {
    file_ = os::kInvalidFile;
    return st == os::kNotFound ? ERROR_FILE_NOT_FOUND : FromOs(st);
  }
  if (os::LockRange(file_, kLockOffset, 1, true, true) != os::kOk) return ERROR_ACCESS_DENIED;
  holding_ = true;
  std::uint32_t err = 0;
  std::uint64_t gen = 0, start = 0;
  bool any_bytes = false;
  bool valid = ReadHeader(&gen, &start, &any_bytes);
  if (exists && (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING)) {
    err = Init(valid ? gen + 1 : 1);
  } else if (!valid) {
    std::uint64_t size = 0;
    os::GetFileSize(file_, &size);
    // An empty file, or the remains of a header whose creation was cut
    // short: zeros and the start of a slot, nothing else.
    bool partial = false;
    if (size > 0 && size <= kHeaderSize) {
      char buf[kHeaderSize] = {};
      std::size_t got = 0;
      os::ReadAt(file_, 0, buf, sizeof buf, &got);
      partial = true;
      for (std::size_t slot = 0; slot < 2 && partial; ++slot) {
        const char* p = buf + 32 * slot;
        bool zero = true;
        for (int i = 0; i < 32; ++i) zero = zero && p[i] == 0;
        std::size_t have = got > 32 * slot ? got - 32 * slot : 0;
        partial = zero || std::memcmp(p, kMagic, have < 8 ? have : 8) == 0;
      }
    }
    if (size == 0 || partial)
      err = Init(1);
    else
      err = ERROR_BAD_FORMAT;
  }
  if (!err) {
    generation_ = 0;
    err = CatchUp();
  }
  // What follows the intact log can only be a dead writer's remains or
  // damage; cut it now, so that readers need not step over it each call.
  mount_dropped_bytes_ = dropped_bytes_;
  if (!err && dropped_bytes_ > 0 && SetFileSize(file_, applied_end_) == os::kOk) {
    SyncFile(file_);
    dropped_bytes_ = 0;
  }
  Unlock();
  return err;
}

// A reader whose image is current needs no lock: a commit changes the
// header before its batch goes out, a compaction before it moves anything,
// so an unchanged header means that both are later than this read.
bool VolumeFile::Unchanged() {
  if (generation_ == 0 || dropped_bytes_ != 0) return false;
  char now[kHeaderSize];
  std::memset(now, 0, sizeof now);
  std::size_t got = 0;
  if (os::ReadAt(file_, 0, now, sizeof now, &got) != os::kOk || got != kHeaderSize) return false;
  return std::memcmp(now, seen_header_, kHeaderSize) == 0;
}

// Adds one to the current slot's commit counter (exclusive lock held).
std::uint32_t VolumeFile::CountCommit() {
  char* counter = seen_header_ + 32 * (generation_ & 1) + 28;
  char next[4];
  SetU32(next, GetU32(counter) + 1);
  std::uint32_t err = FromOs(WriteAt(file_, 32 * (generation_ & 1) + 28, next, 4));
  if (!err) std::memcpy(counter, next, 4);
  return err;
}

std::uint32_t VolumeFile::Lock(bool exclusive) {
  if (!exclusive && Unchanged()) {
    holding_ = false;
    return 0;
  }
  if (os::LockRange(file_, kLockOffset, 1, exclusive, true) != os::kOk) return ERROR_ACCESS_DENIED;
  holding_ = true;
  std::uint32_t err = CatchUp();
  if (err) Unlock();
  return err;
}

void VolumeFile::Unlock() {
  if (holding_) os::UnlockRange(file_, kLockOffset, 1);
  holding_ = false;
}

std::uint32_t VolumeFile::CatchUp() {
  std::uint64_t gen, start;
  if (!ReadHeader(&gen, &start, nullptr, seen_header_)) return ERROR_FILE_CORRUPT;
  std::uint64_t size = 0;
  if (os::GetFileSize(file_, &size) != os::kOk) return ERROR_READ_FAULT;
  if (gen != generation_ || start != log_start_ || size < applied_end_) {
    state_.Clear();
    generation_ = gen;
    log_start_ = start;
    applied_end_ = start;
  }
  if (size <= applied_end_) {
    dropped_bytes_ = 0;
    return 0;
  }
  std::string buf(static_cast<std::size_t>(size - applied_end_), '\0');
  std::size_t got = 0;
  if (os::ReadAt(file_, applied_end_, &buf[0], buf.size(), &got) != os::kOk) return ERROR_READ_FAULT;
  std::size_t pos = 0;
  while (pos + 12 <= got) {
    const char* p = buf.data() + pos;
    std::uint32_t len = GetU32(p + 4);
    if (GetU32(p) != kBatchMagic || len > got - pos - 12) break;
    std::uint32_t crc = Crc32(p + 4, 4);
    crc = Crc32(p + 12, len, crc);
    if (crc != GetU32(p + 8) || !VolumeState::ValidateBatch(p + 12, len)) break;
    state_.ApplyBatch(p + 12, len);
    pos += 12 + len;
  }
  applied_end_ += pos;
  dropped_bytes_ = size - applied_end_;
  return 0;
}

std::uint32_t VolumeFile::Commit(Batch* batch) {
  if (batch->empty()) return 0;
  // A dead writer's remains go before our batch is written: left behind it,
  // a record inside them that happens to hold a well-formed batch would be
  // replayed by the next mount.
  if (dropped_bytes_ > 0) {
    std::uint32_t err = FromOs(SetFileSize(file_, applied_end_));
    if (err) {
      Invalidate();
      return err;
    }
    dropped_bytes_ = 0;
  }
  // Readers that skip the lock must see that a commit began.
  if (std::uint32_t err = CountCommit()) {
    Invalidate();
    return err;
  }
  // The batch counts only once its last byte is in the file.
  std::string& bytes = batch->bytes_;
  std::uint32_t length = static_cast<std::uint32_t>(bytes.size() - kFrameHeadSize);
  SetU32(&bytes[0], kBatchMagic);
  SetU32(&bytes[4], length);
  std::uint32_t crc = Crc32(&bytes[4], 4);
  SetU32(&bytes[8], Crc32(bytes.data() + kFrameHeadSize, length, crc));
  std::uint32_t err = FromOs(WriteAt(file_, applied_end_, bytes.data(), bytes.size()));
  if (err) {
    Invalidate();
    return err;
  }
  applied_end_ += bytes.size();
  if (MaybeCompact() != 0) Invalidate();  // the commit stands; the image reloads
  return 0;
}

std::uint32_t VolumeFile::WriteSnapshotAt(std::uint64_t at, std::uint64_t* frame_size) {
  // The body goes first, streamed, with its checksum computed on the way;
  // the head, which makes it a batch, last.
  std::uint64_t size = state_.SnapshotSize();
  if (size > 0xFFFFFFFFull) return ERROR_DISK_FULL;
  char len[4];
  SetU32(len, static_cast<std::uint32_t>(size));
  std::uint32_t crc = Crc32(len, 4);
  std::uint64_t pos = at + 12;
  std::uint32_t err = 0;
  bool complete = state_.WriteSnapshot([&](const char* data, std::size_t n) {
    crc = Crc32(data, n, crc);
    err = FromOs(WriteAt(file_, pos, data, n));
    pos += n;
    return err == 0;
  });
  if (err) return err;
  if (!complete || pos != at + 12 + size) return ERROR_WRITE_FAULT;
  std::string head;
  PutU32(&head, kBatchMagic);
  PutU32(&head, static_cast<std::uint32_t>(size));
  PutU32(&head, crc);
  err = FromOs(WriteAt(file_, at, head.data(), head.size()));
  *frame_size = 12 + size;
  return err;
}

std::uint32_t VolumeFile::MaybeCompact() {
  std::uint64_t live = state_.live_bytes();
  std::uint64_t used = applied_end_ - kHeaderSize;
  std::uint64_t min_bytes = g_compact_min_bytes;
  if (applied_end_ < min_bytes || used < 2 * live + min_bytes / 16) return 0;
  std::uint64_t frame_size = 0;
  std::uint64_t end = applied_end_;
  std::uint32_t err = WriteSnapshotAt(end, &frame_size);
  if (!err) err = FromOs(SyncFile(file_));
  if (!err) err = WriteHeader(generation_ + 1, end);
  if (!err) err = FromOs(SyncFile(file_));
  if (err) return err;
  generation_ += 1;
  log_start_ = end;
  applied_end_ = end + frame_size;
  if (frame_size > end - kHeaderSize) return RefreshSeenHeader();
  err = WriteSnapshotAt(kHeaderSize, &frame_size);
  if (!err) err = FromOs(SyncFile(file_));
  if (!err) err = WriteHeader(generation_ + 1, kHeaderSize);
  if (!err) err = FromOs(SyncFile(file_));
  if (err) return err;
  generation_ += 1;
  log_start_ = kHeaderSize;
  applied_end_ = kHeaderSize + frame_size;
  err = FromOs(SetFileSize(file_, applied_end_));
  return err ? err : RefreshSeenHeader();
}

std::uint32_t VolumeFile::RefreshSeenHeader() {
  std::uint64_t gen = 0, start = 0;
  return ReadHeader(&gen, &start, nullptr, seen_header_) && gen == generation_ ? 0 : ERROR_READ_FAULT;
}

std::uint32_t VolumeFile::Sync() { return FromOs(SyncFile(file_)); }

}  // namespace cedb
