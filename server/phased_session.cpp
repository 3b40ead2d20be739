#include "phased_session.h"

#include <algorithm>
#include <cassert>

#include "sync/base64.h"
#include "wire_out.h"

namespace tidelark_server {

using sync_engine::ObjectParser;
using sync_engine::WireObject;
using sync_engine::WireProperty;

const char kRequestObjectName[] = "Sync-Request";

namespace {

// The most raw bytes one slice carries: a full work buffer of the device,
// rounded down to whole Base64 groups.
constexpr std::uint64_t kMaxSliceBytes = sync_engine::kPieceBytes / 3 * 3;

// A "Sync-Database" object without "Name"; `padding` characters in a
// property of its own set its length (-1: no property).
std::string Nameless(int padding) {
  WireObject o;
  o.name = "Sync-Database";
  if (padding >= 0)
    o.properties.push_back(WireProperty::Text("Pad", std::string(static_cast<std::size_t>(padding), 'x')));
  return EncodeForDevice(o);
}

}  // namespace

std::string DataClosing(std::size_t data_size, std::size_t* closing_slice_start) {
  std::string filler;
  for (int padding = -1; data_size % 3 != 0 && padding <= 2; ++padding) {
    std::string f = Nameless(padding);
    if ((data_size + f.size()) % 3 == 0) {
      filler = f;
      break;
    }
  }
  *closing_slice_start = data_size + filler.size();
  assert(*closing_slice_start % 3 == 0);
  return filler + Nameless(-1);
}

void PhasedSession::CloseData() {
  if (sections_.empty()) return;
  std::size_t cut = 0;
  resource_ += DataClosing(resource_.size(), &cut);
  last_cut_ = cut;
  for ([[maybe_unused]] const Section& section : sections_) assert(section.end <= cut);
}

void PhasedSession::Confirm(std::uint64_t received) {
  std::vector<std::string> tokens;
  auto done = std::stable_partition(sections_.begin(), sections_.end(),
                                    [&](const Section& s) { return s.end > received; });
  for (auto it = done; it != sections_.end(); ++it) tokens.push_back(it->token);
  sections_.erase(done, sections_.end());
  if (!tokens.empty()) Delivered(tokens);
}

WireObject DatabaseHeader(const std::string& db, const std::string& operation, const std::string& objects_operation,
                          const std::string& anchor) {
  WireObject h;
  h.name = "Sync-Database";
  h.properties.push_back(WireProperty::Text("Name", db));
  h.properties.push_back(WireProperty::Text("Operation", operation));
  h.properties.push_back(WireProperty::Text("Objects Operation", objects_operation));
  h.properties.push_back(WireProperty::Text("NewAnchor", anchor));
  return h;
}

bool PhasedSession::ReadRequests(const std::vector<WireObject>& objects, std::string* error) {
  requested_.clear();
  for (const WireObject& o : objects) {
    std::string db, anchor;
    if (o.name != "Sync-Database" || !o.GetText("Name", &db)) continue;
    if (db.empty() || db.size() > 150) {
      *error = "bad database name";
      return false;
    }
    o.GetText("LastAnchor", &anchor);
    requested_.push_back({db, anchor});
  }
  return true;
}

WireObject NameOnlyObject(const std::string& name) {
  WireObject o;
  o.name = name;
  return o;
}

bool PhasedSession::ParseStream(const std::vector<std::string>& chunks, std::vector<WireObject>* objects,
                                std::string* error) {
  ObjectParser parser(sync_engine::kPieceBytes);
  std::string pending;
  for (const std::string& chunk : chunks) {
    std::string bytes;
    if (!DecodeBase64Segment(chunk, &bytes)) {
      *error = "invalid Base64 segment";
      return false;
    }
    pending += bytes;
    std::size_t consumed = 0;
    for (;;) {
      WireObject object;
      ObjectParser::Step step = parser.Next(reinterpret_cast<const std::uint8_t*>(pending.data()),
                                            pending.size(), &consumed, &object);
      if (step == ObjectParser::kObject) {
        objects->push_back(std::move(object));
        continue;
      }
      if (step == ObjectParser::kMalformed) {
        *error = "malformed object";
        return false;
      }
      break;
    }
    pending.erase(0, consumed);
    if (pending.size() > sync_engine::kPieceBytes) {
      *error = "object item larger than the work buffer";
      return false;
    }
  }
  if (!pending.empty() || parser.object_open()) {
    *error = "stream ends inside an object";
    return false;
  }
  return true;
}

bool PhasedSession::Slice(const HttpRequest& request, std::string* response) {
  // The device counts Base64 characters. Every slice but the last carries a
  // multiple of three raw bytes and so needs no padding: character offset c
  // is raw offset c / 4 * 3 whatever lengths the device asked for, and the
  // resource's size in characters never changes.
  const std::uint64_t raw_total = resource_.size();
  const std::uint64_t total = sync_engine::Base64EncodedSize(resource_.size());
  std::uint64_t start = request.has_range ? request.range_start : 0;
  std::uint64_t want = request.has_range ? request.range_length : sync_engine::kPieceChars;
  if (start % 4 != 0 || start > total || (start == total && total > 0)) {
    *response = BadRequestResponse();
    log_.push_back("range " + std::to_string(start) + " outside the resource of " + std::to_string(total) +
                   " characters");
    return false;
  }
  std::uint64_t raw_start = start / 4 * 3;
  if (phase_ == 4) Confirm(raw_start);
  std::uint64_t n = std::min<std::uint64_t>({want / 4 * 3, kMaxSliceBytes, raw_total - raw_start});
  if (phase_ == 4 && raw_start < last_cut_) n = std::min<std::uint64_t>(n, last_cut_ - raw_start);
  bool last = raw_start + n == raw_total;
  std::string body(sync_engine::Base64EncodedSize(n), '\0');
  sync_engine::Base64Encode(reinterpret_cast<const std::uint8_t*>(resource_.data()) + raw_start, n, &body[0]);
  *response = SliceResponse(start, body, total, last);
  if (last && phase_ == 4) finished_ = true;
  return true;
}

bool PhasedSession::Handle(const HttpRequest& request, std::string* response) {
  std::string error;
  if (request.chunked) {
    std::vector<WireObject> objects;
    if (!ParseStream(request.chunks, &objects, &error)) {
      log_.push_back("phase " + std::to_string(phase_ == 0 ? 1 : 3) + " rejected: " + error);
      *response = BadRequestResponse();
      return false;
    }
    if (phase_ == 0) {
      if (!Phase1(objects, &error)) {
        log_.push_back("phase 1 rejected: " + error);
        *response = BadRequestResponse();
        return false;
      }
      phase_ = 2;
      return Slice(request, response);
    }
    if (phase_ == 2) {
      std::string text;
      sections_.clear();
      if (!Phase3(objects, &text, &error)) {
        log_.push_back("phase 3 refused: " + (error.empty() ? text : error));
        *response = ErrorTextResponse(text);
        return false;
      }
      CloseData();
      phase_ = 4;
      return Slice(request, response);
    }
    log_.push_back("a third request body in one session");
    *response = BadRequestResponse();
    return false;
  }
  if (phase_ == 0) {
    log_.push_back("range request before any request body");
    *response = BadRequestResponse();
    return false;
  }
  return Slice(request, response);
}

}  // namespace tidelark_server
