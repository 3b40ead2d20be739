// Adding a channel by its feed address: the add form's saved state and the
// channel object it writes. The server fetches the address at the next
// synchronization and sends the channel back with its articles.
#pragma once

#include <cstdint>
#include <string>

#include "app/object_store.h"
#include "platform/os.h"

namespace channels {

// Which option of the form is selected.
enum AddOption : std::int32_t { kNoOption = -1, kChooseFromList = 0, kEnterAddress = 1 };

// "TavoSavedPrefs"/"AddChannel".
struct AddForm {
  std::int32_t option = kNoOption;  // "RadioBtnChecked"
  std::string url;                  // "URL"
  std::string name;                 // "ChName"
};
// False when nothing is saved; the parts that are there are read.
bool LoadAddForm(const CObjectStore& store, AddForm* form);
// Creates the database and object when missing; the store's code.
std::int32_t SaveAddForm(const CObjectStore& store, const AddForm& form);

// "Channel YYYY:MM:DD:hh:mm:ss:mmm" of a UTC time.
std::string AddedChannelName(const platform::os::DateTime& utc);

// An address that names no feed: empty, or a scheme and nothing after it
// ("http://" is the form's initial text).
bool IsBareAddress(const std::string& url);

// Writes a subscribed "News" channel with `url` and `name` into "TavoRss"
// (created when missing), named after `utc`, or a millisecond later when
// that name is taken. Both texts lose surrounding blanks. Returns 0, 1002 for a
// bare address (nothing written), or the store's code; *object receives the
// object's name when given.
std::int32_t AddChannel(const CObjectStore& store, const std::string& url, const std::string& name,
                        const platform::os::DateTime& utc, std::string* object = nullptr);

}  // namespace channels
