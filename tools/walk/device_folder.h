// A device folder of its own for one run of the program: Tidelark.exe (under
// the name given, its packs named after it), its libraries and plug-in, and the volume
// the program makes beside it. Removed with the object.
#pragma once

#include <cstdint>
#include <string>

namespace walk {

class DeviceFolder {
 public:
  // bin: the folder of the built program, packs and libraries.
  explicit DeviceFolder(const std::string& bin, const std::string& base = "Tidelark");
  ~DeviceFolder();
  DeviceFolder(const DeviceFolder&) = delete;
  DeviceFolder& operator=(const DeviceFolder&) = delete;

  // Whether every file was copied.
  bool ok() const { return ok_; }
  const std::string& Dir() const { return dir_; }
  std::wstring Program() const;
  std::string Volume() const;

  // An integer of a stored object; -1 when it cannot be read.
  int ReadInt(const char* database, const char* object, const char* property) const;
  // A text of a stored object; empty when it cannot be read.
  std::string ReadText(const char* database, const char* object, const char* property) const;
  bool Has(const char* database, const char* object) const;
  // How many objects the database holds; -1 when it cannot be opened.
  int Count(const char* database) const;
  // Points the device at a sync server ("ServerSettings" of "_sysSettings");
  // the store's code.
  std::int32_t SetServer(const std::string& host, int port) const;

 private:
  bool Copy(const std::string& from, const std::string& to);
  std::string base_;
  std::string dir_;
  bool ok_ = false;
};

}  // namespace walk
