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

bool Apply(const std::string& key, const std::string& value, ServerConfig* c) {
  if (key == "listen") c->listen = value;
  else if (key == "port") return ToInt(value, 0, 65535, &c->port);
  else if (key == "data") c->data_dir = value;
  else if (key == "catalogue") c->catalogue = value;
  else if (key == "fetch-interval") return ToInt(value, 0, 86400 * 30, &c->fetch_interval);
  else if (key == "retention") return ToInt(value, 1, 10000, &c->retention);
  else if (key == "port-file") c->port_file = value;
  else if (key == "session-timeout") return ToInt(value, 1, 3600, &c->session_timeout);
  else if (key == "ad-port") return ToInt(value, 0, 65535, &c->ad_port);
  else if (key == "ad-catalogue") c->ad_catalogue = value;
  else if (key == "ad-port-file") c->ad_port_file = value;
  else if (key == "ad-report") c->ad_report = value;
  else if (key == "allow-file-addresses") return ToBool(value, &c->allow_file_addresses);
  else if (key == "fetch-pictures") return ToBool(value, &c->fetch_pictures);
  else return false;
  return true;
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

bool ParseCommandLine(int argc, char** argv, ServerConfig* config, std::string* error) {
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
