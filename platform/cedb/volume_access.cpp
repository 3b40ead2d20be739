#include "volume_access.h"

#include <cassert>

#include "platform/cedb.h"

namespace cedb {

VolumeAccess::Call::Call(VolumeAccess* volume, bool write) : v_(volume), lock_(volume->mu_) {
  if (v_->OwnedByThisThread()) {
    in_bracket_ = true;
    if (write && v_->kind_ == Kind::kRead) err_ = ERROR_INVALID_OPERATION;
    return;
  }
  err_ = v_->file_->Lock(write);
  locked_ = err_ == 0;
}

VolumeAccess::Call::~Call() {
  if (!locked_) return;
  // Operations a call did not finish were never reported as done: they must
  // not reach the file, and the image must lose them too.
  if (!v_->pending_.empty()) {
    v_->pending_.Clear();
    v_->file_->Invalidate();
  }
  v_->file_->Unlock();
}

std::uint32_t VolumeAccess::Call::Finish() {
  if (!locked_ || in_bracket_ || v_->pending_.empty()) return 0;
  std::uint32_t err = v_->file_->Commit(&v_->pending_);
  v_->pending_.Clear();
  return err;
}

std::uint32_t VolumeAccess::Begin(Kind kind) {
  mu_.lock();  // held until the outermost end
  if (OwnedByThisThread()) {
    if (kind == Kind::kWrite && kind_ == Kind::kRead) {
      mu_.unlock();
      return ERROR_INVALID_OPERATION;
    }
    ++depth_;
    return 0;
  }
  if (std::uint32_t err = file_->Lock(kind == Kind::kWrite)) {
    mu_.unlock();
    return err;
  }
  // A reader only needs the image brought up to date; holding mu_ keeps it.
  if (kind == Kind::kRead) file_->Unlock();
  depth_ = 1;
  owner_ = std::this_thread::get_id();
  kind_ = kind;
  assert(pending_.empty());
  return 0;
}

std::uint32_t VolumeAccess::End(bool commit) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  if (!OwnedByThisThread()) return ERROR_INVALID_OPERATION;
  if (commit && depth_ > 1) {
    --depth_;
    mu_.unlock();
    return 0;
  }
  std::uint32_t err = 0;
  if (kind_ == Kind::kWrite) {
    if (commit)
      err = file_->Commit(&pending_);
    else if (!pending_.empty())
      file_->Invalidate();
    pending_.Clear();
    file_->Unlock();
  }
  int depth = depth_;
  depth_ = 0;
  owner_ = std::thread::id();
  for (int i = 0; i < depth; ++i) mu_.unlock();
  return err;
}

std::uint32_t VolumeAccess::Commit() { return End(true); }
std::uint32_t VolumeAccess::Rollback() { return End(false); }

void VolumeAccess::AbandonOwnBracket() {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  if (OwnedByThisThread()) End(false);
}

std::uint32_t VolumeAccess::Sync() {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  return file_->Sync();
}

std::uint64_t VolumeAccess::file_bytes() {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  return file_->file_bytes();
}

}  // namespace cedb
