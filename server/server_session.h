// The news side of a session (see phased_session.h for the phases).
//
// Accounts and anchors:
// - A named user ("User" other than "Username") needs the password; the
//   first sync of a name creates the account. Anchors never select an
//   account: an anonymous device gets its own anonymous account, found again
//   only through anchors that were issued to an anonymous account.
// - Every anchor names what the server sent one device for one database
//   (object names, content hashes, the "Subscr" each channel went out with).
//   A device that presents a known anchor is compared with what it was sent:
//   only what it changed since then is applied, so a change made on another
//   device is neither reverted nor lost. An unknown anchor gets an honest
//   full resend ("Update" with everything, held objects without "READ", so
//   read marks stay), and the device's subscriptions count only for channels
//   the account has not decided.
// - Until the device has confirmed the data (by asking for what follows it),
//   an anchor covers only what it surely holds; objects sent in a transfer
//   that broke go again.
//
// Invariants: nothing the device sends is stored before its phase 3 stream
// has arrived whole and parsed cleanly; the account's changes and the new
// anchors commit in one unit or not at all, and only against the account
// state they were planned on; a device that holds an article never gets
// "READ" for it again.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "phased_session.h"
#include "sync_service.h"

namespace tidelark_server {

class ServerSession : public PhasedSession {
 public:
  explicit ServerSession(SyncService* service) : service_(service) {}
  // Records what the device confirmed, however the connection ended.
  ~ServerSession() override;

 protected:
  bool Phase1(const std::vector<sync_engine::WireObject>& requests, std::string* error) override;
  // In named steps: group by database, read the device's facts, resolve the
  // account, fetch added channels, then plan against the account's state,
  // diff each database and commit (again when another device committed first).
  bool Phase3(const std::vector<sync_engine::WireObject>& objects, std::string* error_text,
              std::string* error) override;
  void Delivered(const std::vector<std::string>& tokens) override;

 private:
  SyncService* service_;
  // Anchors whose data the device confirmed, stored in one go at the end.
  std::vector<std::string> delivered_;
};

}  // namespace tidelark_server
