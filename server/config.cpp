#include "config.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tidelark_server {

std::string Trim(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  std::size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

bool ToInt(const std::string& v, int lo, int hi, int* out) {
  if (v.empty()) return false;
  char* end = nullptr;
  long n = std::strtol(v.c_str(), &end, 10);
  if (*end || n < lo || n > hi) return false;
  *out = static_cast<int>(n);
  return true;
}

namespace {

bool ToBool(const std::string& v, bool* out) {
  if (v != "yes" && v != "no") return false;
  *out = v == "yes";
  return true;
}

// Every setting: its key (the flag without "--"), the value it takes and
// what it does. Apply() and ConfigHelp() read this one table.
struct Setting {
  const char* key;
  const char* value;
  const char* help;
  bool (*apply)(const std::string& value, ServerConfig* c);
};

const Setting kSettings[] = {
    {"config", "FILE", "read settings from FILE first (\"key = value\" lines, the keys below)",
     [](const std::string&, ServerConfig*) { return true; }},
    {"listen", "ADDR", "address to listen on (127.0.0.1)",
     [](const std::string& v, ServerConfig* c) { c->listen = v; return !v.empty(); }},
    {"port", "N", "port to listen on; 0 picks a free one (8001)",
     [](const std::string& v, ServerConfig* c) { return ToInt(v, 0, 65535, &c->port); }},
    {"port-file", "FILE", "write the bound port there once listening",
     [](const std::string& v, ServerConfig* c) { c->port_file = v; return true; }},
    {"data", "DIR", "folder of the server's database (.)",
     [](const std::string& v, ServerConfig* c) { c->data_dir = v; return !v.empty(); }},
    {"catalogue", "FILE", "the channel catalogue; channels it no longer lists stop being fetched",
     [](const std::string& v, ServerConfig* c) { c->catalogue = v; return true; }},
    {"fetch-interval", "SECONDS", "how often each feed is fetched; 0: once at start (900)",
     [](const std::string& v, ServerConfig* c) { return ToInt(v, 0, 86400 * 30, &c->fetch_interval); }},
    {"retention", "N", "newest items kept per channel (50)",
     [](const std::string& v, ServerConfig* c) { return ToInt(v, 1, 10000, &c->retention); }},
    {"fetch-pictures", "yes|no", "fetch the pictures feed items name (yes)",
     [](const std::string& v, ServerConfig* c) { return ToBool(v, &c->fetch_pictures); }},
    {"allow-file-addresses", "yes|no", "let devices add file:// addresses, for demos (no)",
     [](const std::string& v, ServerConfig* c) { return ToBool(v, &c->allow_file_addresses); }},
    {"allow-private-addresses", "yes|no",
     "let added channels and pictures reach loopback, private and link-local addresses (no)",
     [](const std::string& v, ServerConfig* c) { return ToBool(v, &c->allow_private_addresses); }},
    {"retire-added-after", "DAYS", "retire channels added by address that nobody subscribed for so long (30)",
     [](const std::string& v, ServerConfig* c) { return ToInt(v, 1, 3650, &c->retire_added_after); }},
    {"session-timeout", "SECONDS", "cut a session after so long without progress (60)",
     [](const std::string& v, ServerConfig* c) { return ToInt(v, 1, 3600, &c->session_timeout); }},
    {"max-connections", "N", "connections served at once (512)",
     [](const std::string& v, ServerConfig* c) { return ToInt(v, 1, 100000, &c->max_connections); }},
    {"max-connections-per-address", "N", "connections at once from one address (16)",
     [](const std::string& v, ServerConfig* c) { return ToInt(v, 1, 100000, &c->max_connections_per_address); }},
    {"shutdown-grace", "SECONDS", "after SIGTERM, how long sessions may finish before they are cut (3)",
     [](const std::string& v, ServerConfig* c) { return ToInt(v, 0, 60, &c->shutdown_grace); }},
    {"anchor-days", "DAYS", "forget what was sent a device that has not synced for so long (180)",
     [](const std::string& v, ServerConfig* c) { return ToInt(v, 1, 3650, &c->anchor_days); }},
    {"anchors-per-database", "N", "anchors kept per account and database, two per device (64)",
     [](const std::string& v, ServerConfig* c) { return ToInt(v, 2, 10000, &c->anchors_per_database); }},
    {"ad-catalogue", "FILE", "the ad catalogue; names one to serve ads",
     [](const std::string& v, ServerConfig* c) { c->ad_catalogue = v; return true; }},
    {"ad-port", "N", "port of the ad service; 0 picks a free one (8002)",
     [](const std::string& v, ServerConfig* c) { return ToInt(v, 0, 65535, &c->ad_port); }},
    {"ad-port-file", "FILE", "write the ad service's bound port there",
     [](const std::string& v, ServerConfig* c) { c->ad_port_file = v; return true; }},
    {"ad-report", "FILE|-", "print the ad impressions and clicks per ad and day there (-: standard output) and exit",
     [](const std::string& v, ServerConfig* c) { c->ad_report = v; return !v.empty(); }},
};

bool Apply(const std::string& key, const std::string& value, ServerConfig* c) {
  for (const Setting& s : kSettings)
    if (key == s.key && key != "config") return s.apply(value, c);
  return false;
}

std::string Resolve(const std::string& base, const std::string& ref) {
  if (ref.find("://") != std::string::npos) return ref;
  std::string path = ref.empty() || ref[0] == '/' ? ref : base + "/" + ref;
  return "file://" + path;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  *bytes = ss.str();
  return true;
}

bool ParseConfigText(const std::string& text, ServerConfig* config, std::string* error) {
  std::istringstream in(text);
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    std::size_t eq = line.find('=');
    if (eq == std::string::npos || !Apply(Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)), config)) {
      *error = "config line " + std::to_string(n) + ": " + line;
      return false;
    }
  }
  return true;
}

std::string ConfigHelp() {
  std::string out =
      "usage: tidelark-server [--FLAG VALUE]...\n"
      "The news sync server: devices synchronise with it over HTTP; it fetches the\n"
      "catalogue's feeds in the background. Log lines go to standard error.\n\n";
  for (const Setting& s : kSettings) {
    std::string flag = std::string("  --") + s.key + " " + s.value;
    if (flag.size() < 36) flag.resize(36, ' ');
    else flag += "\n" + std::string(36, ' ');
    out += flag + s.help + "\n";
  }
  out += "  --help                            this text\n";
  return out;
}

bool ParseCommandLine(int argc, char** argv, ServerConfig* config, bool* help, std::string* error) {
  *help = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      *help = true;
      return true;
    }
  }
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) == "--config") {
      std::string text;
      if (!ReadWholeFile(argv[i + 1], &text)) {
        *error = std::string("cannot read config file ") + argv[i + 1];
        return false;
      }
      if (!ParseConfigText(text, config, error)) return false;
    }
  }
  for (int i = 1; i < argc; ++i) {
    std::string flag = argv[i];
    if (flag.compare(0, 2, "--") != 0 || i + 1 >= argc) {
      *error = "unknown or incomplete argument " + flag;
      return false;
    }
    std::string value = argv[++i];
    if (flag == "--config") continue;
    if (!Apply(flag.substr(2), value, config)) {
      *error = "bad flag " + flag + " " + value;
      return false;
    }
  }
  return true;
}

bool ParseCatalogueText(const std::string& text, const std::string& base_dir, Catalogue* catalogue,
                        std::string* error) {
  *catalogue = Catalogue();
  std::istringstream in(text);
  std::string line;
  enum { kNone, kChannel, kAlerts } section = kNone;
  for (int n = 1; std::getline(in, line); ++n) {
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    auto fail = [&] {
      *error = "catalogue line " + std::to_string(n) + ": " + line;
      return false;
    };
    if (line[0] == '[') {
      if (line.back() != ']') return fail();
      std::string head = Trim(line.substr(1, line.size() - 2));
      if (head == "alerts") {
        section = kAlerts;
      } else if (head.compare(0, 8, "channel ") == 0) {
        int id;
        if (!ToInt(Trim(head.substr(8)), 1, 99999, &id)) return fail();
        for (const Channel& c : catalogue->channels)
          if (c.id == id) return fail();
        Channel c;
        c.id = id;
        catalogue->channels.push_back(c);
        section = kChannel;
      } else {
        return fail();
      }
      continue;
    }
    std::size_t eq = line.find('=');
    if (eq == std::string::npos || section == kNone) return fail();
    std::string key = Trim(line.substr(0, eq)), value = Trim(line.substr(eq + 1));
    if (section == kAlerts) {
      if (key != "url") return fail();
      catalogue->alerts_url = Resolve(base_dir, value);
      continue;
    }
    Channel& c = catalogue->channels.back();
    if (key == "name") {
      c.name = value;
    } else if (key == "url") {
      c.url = Resolve(base_dir, value);
    } else if (key == "subscribe") {
      if (value != "yes" && value != "no") return fail();
      c.recommended = value == "no";
    } else if (key == "icon") {
      std::string path = value[0] == '/' ? value : base_dir + "/" + value;
      // The device reads a value into a 10000-byte buffer with its header.
      if (!ReadWholeFile(path, &c.icon) || c.icon.compare(0, 3, "GIF") != 0 || c.icon.size() > 8000) return fail();
    } else {
      return fail();
    }
  }
  for (const Channel& c : catalogue->channels) {
    if (c.name.empty() || c.url.empty()) {
      *error = "channel " + std::to_string(c.id) + " needs a name and a url";
      return false;
    }
  }
  return true;
}

bool LoadCatalogue(const std::string& path, Catalogue* catalogue, std::string* error) {
  std::string text;
  if (!ReadWholeFile(path, &text)) {
    *error = "cannot read catalogue " + path;
    return false;
  }
  return ParseCatalogueText(text, FolderOf(path), catalogue, error);
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  std::string base = slash == std::string::npos ? "." : path.substr(0, slash);
  if (base.empty() || base[0] != '/') {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd)) base = std::string(cwd) + "/" + base;
  }
  return base;
}

}  // namespace tidelark_server
