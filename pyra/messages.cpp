#include "messages.h"

#include "banner.h"
#include "system.h"

namespace pyra {

int ProcessMessage(PyraHandle* handle, void* window, std::uint32_t message, std::uintptr_t, std::intptr_t,
                   std::intptr_t* result) {
  if (!handle->ad_db || !handle->info_db) return 0;
  switch (message) {
    case kMessageActivate:
      Draw(handle, false);
      return 0;
    case kMessagePaint:
      CurrentSystem().Paint(window, [handle] { Draw(handle, false); });
      if (result) *result = 0;
      return 0;
    case kMessageEraseBackground:
      CurrentSystem().ValidateWindow(window);
      return 1;
    default:
      return 0;
  }
}

}  // namespace pyra
