#include "volume_file.h"

#include <atomic>
#include <cstring>

#include "coding.h"
#include "platform/cedb.h"

namespace cedb {

namespace os = platform::os;

std::atomic<std::uint64_t> g_compact_min_bytes{1ull << 20};

void SetCompactionThreshold(std::uint64_t bytes) { g_compact_min_bytes = bytes; }

namespace {
const char kMagic[8] = {'C', 'E', 'D', 'B', 'V', 'O', 'L', '1'};

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

// The 12 bytes in front of a batch body.
std::string FrameHead(const std::string& body) {
  std::string head;
  PutU32(&head, kBatchMagic);
  PutU32(&head, static_cast<std::uint32_t>(body.size()));
  std::uint32_t crc = Crc32(head.data() + 4, 4);
  crc = Crc32(body.data(), body.size(), crc);
  PutU32(&head, crc);
  return head;
}

std::uint32_t WriteFrame(os::FileHandle file, std::uint64_t at, const std::string& head, const std::string& body) {
  std::uint32_t err = FromOs(os::WriteAt(file, at, head.data(), head.size()));
  if (!err) err = FromOs(os::WriteAt(file, at + head.size(), body.data(), body.size()));
  return err;
}
}  // namespace

VolumeFile::~VolumeFile() {
  if (file_ != os::kInvalidFile) os::CloseFile(file_);
}

bool VolumeFile::ReadHeader(std::uint64_t* generation, std::uint64_t* log_start, bool* any_bytes) {
  char buf[kHeaderSize];
  std::memset(buf, 0, sizeof buf);
  std::size_t got = 0;
  if (os::ReadAt(file_, 0, buf, sizeof buf, &got) != os::kOk) got = 0;
  if (any_bytes) *any_bytes = got > 0;
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
  return FromOs(os::WriteAt(file_, 32 * (generation & 1), slot, sizeof slot));
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
  std::uint32_t err = FromOs(os::SetFileSize(file_, 0));
  if (!err) err = FromOs(os::WriteAt(file_, 0, header, sizeof header));
  if (!err) err = FromOs(os::SyncFile(file_));
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
  if (!err && dropped_bytes_ > 0 && os::SetFileSize(file_, applied_end_) == os::kOk) {
    os::SyncFile(file_);
    dropped_bytes_ = 0;
  }
  Unlock();
  return err;
}

// A reader whose image is current needs no lock: the file size is read
// before the header, so a commit after the size check is simply later than
// this read, and a compaction before it has already changed the header.
bool VolumeFile::Unchanged() {
  if (generation_ == 0) return false;
  std::uint64_t size = 0, gen = 0, start = 0;
  if (os::GetFileSize(file_, &size) != os::kOk || dropped_bytes_ != 0 || size != applied_end_) return false;
  return ReadHeader(&gen, &start, nullptr) && gen == generation_ && start == log_start_;
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
  if (!ReadHeader(&gen, &start, nullptr)) return ERROR_FILE_CORRUPT;
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

std::uint32_t VolumeFile::Commit(const std::string& body) {
  if (body.empty()) return 0;
  // Head and body go out in two writes rather than through a joined copy of
  // the body; the batch counts only once its last byte is in the file.
  std::string head = FrameHead(body);
  std::uint32_t err = WriteFrame(file_, applied_end_, head, body);
  if (err) {
    Invalidate();
    return err;
  }
  applied_end_ += head.size() + body.size();
  if (dropped_bytes_ > 0) {
    // Cut what a dead writer left behind, so that it cannot follow our batch.
    if (os::SetFileSize(file_, applied_end_) == os::kOk) dropped_bytes_ = 0;
  }
  if (MaybeCompact() != 0) Invalidate();  // the commit stands; the image reloads
  return 0;
}

std::uint32_t VolumeFile::MaybeCompact() {
  std::uint64_t live = state_.live_bytes();
  std::uint64_t used = applied_end_ - kHeaderSize;
  std::uint64_t min_bytes = g_compact_min_bytes;
  if (applied_end_ < min_bytes || used < 2 * live + min_bytes / 16) return 0;
  // Head and body are written apart: the snapshot is the whole live volume
  // and a joined copy of it would cost as much again.
  std::string body = state_.Snapshot();
  std::string head = FrameHead(body);
  std::uint64_t frame_size = head.size() + body.size();
  std::uint64_t end = applied_end_;
  std::uint32_t err = WriteFrame(file_, end, head, body);
  if (!err) err = FromOs(os::SyncFile(file_));
  if (!err) err = WriteHeader(generation_ + 1, end);
  if (!err) err = FromOs(os::SyncFile(file_));
  if (err) return err;
  generation_ += 1;
  log_start_ = end;
  applied_end_ = end + frame_size;
  if (frame_size > end - kHeaderSize) return 0;
  err = WriteFrame(file_, kHeaderSize, head, body);
  if (!err) err = FromOs(os::SyncFile(file_));
  if (!err) err = WriteHeader(generation_ + 1, kHeaderSize);
  if (!err) err = FromOs(os::SyncFile(file_));
  if (err) return err;
  generation_ += 1;
  log_start_ = kHeaderSize;
  applied_end_ = kHeaderSize + frame_size;
  return FromOs(os::SetFileSize(file_, applied_end_));
}

std::uint32_t VolumeFile::Sync() { return FromOs(os::SyncFile(file_)); }

}  // namespace cedb
