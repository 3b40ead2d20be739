// Server settings (a config file, then command-line flags over it) and the
// channel catalogue file. Both use one small format:
//
//   # comment
//   key = value
//   [channel 4931]
//   name = Slashdot
//   url = feeds/slashdot.xml      (relative: beside the catalogue file)
//   subscribe = yes               (no: offered as a recommended channel)
//   icon = icons/slashdot.gif     (optional GIF)
//   [alerts]
//   url = feeds/alerts.xml
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "storage.h"

namespace tidelark_server {

struct ServerConfig {
  std::string listen = "127.0.0.1";
  int port = 8001;
  std::string data_dir = ".";
  std::string catalogue;
  int fetch_interval = 900;  // seconds; 0 fetches only at start
  int retention = 50;        // newest items kept per channel
  std::string port_file;     // written with the bound port (useful with port 0)
  int session_timeout = 60;  // seconds a session may go without progress
  int max_connections = 512;
  int max_connections_per_address = 16;
  int shutdown_grace = 3;  // seconds sessions get to finish after SIGTERM
  // Let devices add file addresses (demos only: the server would read its
  // own files on a device's word).
  bool allow_file_addresses = false;
  // Let devices' addresses and feeds' pictures reach loopback, private and
  // link-local networks (tests and closed networks only).
  bool allow_private_addresses = false;
  // Fetch the pictures that feed items name (no: a server that must not
  // reach out beyond its feeds, such as one in a test).
  bool fetch_pictures = true;
  int retire_added_after = 30;       // days a channel added by address may go unsubscribed
  int anchor_days = 180;             // days an anchor a device has not presented is kept
  int anchors_per_database = 64;     // per account and database (two per device)
  // The ad service, on when a catalogue is named: its port and port file;
  // and the file the impression report goes to ("-": standard output)
  // instead of serving.
  int ad_port = 8002;
  std::string ad_catalogue;
  std::string ad_port_file;
  std::string ad_report;
};

// The flags and their meaning, for --help.
std::string ConfigHelp();

// Applies "key = value" lines; false with *error naming the first bad line.
bool ParseConfigText(const std::string& text, ServerConfig* config, std::string* error);
// Reads --config FILE first, then the other flags over it. *help is set
// (and nothing else read) for --help or -h.
bool ParseCommandLine(int argc, char** argv, ServerConfig* config, bool* help, std::string* error);

struct Catalogue {
  std::vector<Channel> channels;
  std::string alerts_url;
};

// base_dir resolves relative feed and icon paths into file addresses.
bool ParseCatalogueText(const std::string& text, const std::string& base_dir, Catalogue* catalogue,
                        std::string* error);
bool LoadCatalogue(const std::string& path, Catalogue* catalogue, std::string* error);

bool ReadWholeFile(const std::string& path, std::string* bytes);
// Without surrounding blanks and line ends.
std::string Trim(const std::string& s);
// The absolute folder of a file, for paths written relative to it.
std::string FolderOf(const std::string& path);
// A decimal number within [lo, hi], the whole text.
bool ToInt(const std::string& v, int lo, int hi, int* out);

// The channel id alerts are stored under.
constexpr std::int64_t kAlertChannel = 0;

}  // namespace tidelark_server
