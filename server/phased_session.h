// What every sync service of the server shares: one device session over one
// keep-alive connection, in four phases:
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
// the last one's content range ends at the total itself. A service says
// what phases 1 and 3 mean.
//
// Delivery, for a service that wants to know it: the device asks for the
// next range only after it has applied the objects before it, so a range
// request confirms every section of the data that ends before its start.
// The data of such a service closes with a "Sync-Database" object without
// "Name" (the device closes its database and skips it) that travels alone
// in the last slice, so that the request for it confirms all the rest; a
// filler of the same kind aligns it to a whole Base64 group.
//
// Invariant: nothing the device sends reaches a service before its phase's
// stream has arrived whole and parsed cleanly.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "http_framing.h"
#include "sync/wire_object.h"

namespace tidelark_server {

class PhasedSession {
 public:
  virtual ~PhasedSession() = default;

  // Answers one request. *response gets the bytes to send; false means the
  // connection closes after them (an error ends this device's session only).
  bool Handle(const HttpRequest& request, std::string* response);

  // One line per finished phase, for the log.
  const std::vector<std::string>& log() const { return log_; }
  bool finished() const { return finished_; }

 protected:
  // The device's request objects: fills resource_ with the server's own
  // requests. False with *error for a request that makes no sense.
  virtual bool Phase1(const std::vector<sync_engine::WireObject>& objects, std::string* error) = 0;
  // What the device sent: fills resource_ with the data it receives, and
  // names with EndSection the parts whose delivery it wants to hear of.
  // False with *error_text (shown to the user) and/or *error (for the log).
  virtual bool Phase3(const std::vector<sync_engine::WireObject>& objects, std::string* error_text,
                      std::string* error) = 0;
  // The device holds these sections whole.
  virtual void Delivered(const std::vector<std::string>& tokens) {}

  // Phase 3: the data up to `end` completes the section named `token`.
  void EndSection(std::size_t end, const std::string& token) { sections_.push_back({end, token}); }

  // Phase 1's "Sync-Database" objects into requested_; false with *error
  // for a request that makes no sense.
  bool ReadRequests(const std::vector<sync_engine::WireObject>& objects, std::string* error);

  std::string resource_;  // the encoded objects the range requests slice
  std::vector<std::string> log_;
  // From phase 1: database name -> "LastAnchor" (empty when none), in order.
  std::vector<std::pair<std::string, std::string>> requested_;

 private:
  bool ParseStream(const std::vector<std::string>& chunks, std::vector<sync_engine::WireObject>* objects,
                   std::string* error);
  bool Slice(const HttpRequest& request, std::string* response);
  // After phase 3: the closing slice, when sections are to be confirmed.
  void CloseData();
  void Confirm(std::uint64_t received);

  struct Section {
    std::size_t end = 0;
    std::string token;
  };
  int phase_ = 0;  // 0 before phase 1, 2 serving the requests, 4 serving the data
  bool finished_ = false;
  std::vector<Section> sections_;  // phase 4: sections not yet confirmed
  std::uint64_t last_cut_ = 0;     // phase 4: where the closing slice starts (0: none)
};

// The closing objects of phase 4's data that ends at `data_size`; the last
// slice starts at *closing_slice_start, a multiple of three.
std::string DataClosing(std::size_t data_size, std::size_t* closing_slice_start);

// The header that opens a database's part of the phase 4 stream.
sync_engine::WireObject DatabaseHeader(const std::string& db, const std::string& operation,
                                       const std::string& objects_operation, const std::string& anchor);
// An object that carries only its name (a deletion).
sync_engine::WireObject NameOnlyObject(const std::string& name);
// The name of the request object the server sends in phase 2.
extern const char kRequestObjectName[];

}  // namespace tidelark_server
