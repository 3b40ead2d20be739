// The server's side of the device's four-phase session, for any service
// that answers it (news, ads). A session is one keep-alive connection:
//   1. a chunked POST with the device's "Sync-Database" request objects;
//   2. range requests for the server's request objects (what to send);
//   3. a chunked POST with, per database, our request object and its objects;
//   4. range requests for the data: per database a "Sync-Database" header
//      with its "NewAnchor", then deletions and additions.
// A chunked POST starts a phase, a POST without a body asks for the next
// slice of the current resource. Ranges count Base64 characters, as the
// device does: each slice is one independently padded segment of at most
// the characters asked for and at most 9999 raw bytes (one work buffer of
// the device), every slice but the last a multiple of three raw bytes, and
// the last one's content range ends at the total itself.
//
// Delivery: the device asks for the next range only after it has applied
// the objects before it, so a range request confirms every section of the
// data that ends before its start. The data closes with a "Sync-Database"
// object without "Name" (the device closes its database and skips it) that
// travels alone in the last slice, so that the request for it confirms all
// the rest; a filler of the same kind aligns it to a whole Base64 group.
#pragma once

#include <string>
#include <vector>

#include "session_handler.h"
#include "sync/wire_object.h"

namespace tidelark_server {

// Phase 4's data: its bytes, cut into sections that each end at `end`.
struct DataResource {
  struct Section {
    std::size_t end = 0;
    std::string token;  // the service's name for it (the news side: the anchor)
  };
  std::string bytes;
  std::vector<Section> sections;
  void EndSection(const std::string& token) { sections.push_back({bytes.size(), token}); }
};

class SyncProtocol : public SessionHandler {
 public:
  bool Handle(const HttpRequest& request, std::string* response) override;
  bool finished() const override { return finished_; }
  const std::vector<std::string>& log() const override { return log_; }

 protected:
  // Phase 1: the device's request objects; *resource gets phase 2's encoded
  // request objects. False refuses the session (*error for the log).
  virtual bool AnswerRequests(const std::vector<sync_engine::WireObject>& requests, std::string* resource,
                              std::string* error) = 0;
  // Phase 3: what the device sent; *data gets phase 4's data. False refuses
  // it with a text the device shows (and *error for the log).
  virtual bool AnswerData(const std::vector<sync_engine::WireObject>& objects, DataResource* data,
                          std::string* error_text, std::string* error) = 0;
  // The device holds these sections whole.
  virtual void Delivered(const std::vector<std::string>& tokens) = 0;
  void Log(const std::string& line) { log_.push_back(line); }

 private:
  bool ParseStream(const std::vector<std::string>& chunks, std::vector<sync_engine::WireObject>* objects,
                   std::string* error);
  void CloseData(DataResource* data);
  void Confirm(std::uint64_t received);
  bool Slice(const HttpRequest& request, std::string* response);

  int phase_ = 0;  // 0 before phase 1, 2 serving the requests, 4 serving the data
  std::string resource_;
  std::uint64_t last_cut_ = 0;  // phase 4: where the closing slice starts
  std::vector<DataResource::Section> pending_;  // sections not yet confirmed
  bool finished_ = false;
  std::vector<std::string> log_;
};

// The closing objects of phase 4's data, `total` bytes long together with
// the data before them, whose last slice starts at a multiple of three.
std::string DataClosing(std::size_t data_size, std::size_t* closing_slice_start);

}  // namespace tidelark_server
