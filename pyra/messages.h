// The banner window's messages that the host forwards: paints and
// activations redraw the current ad, background erasing is left out so the
// banner does not flicker.
#pragma once

#include <cstdint>

#include "handle.h"

namespace pyra {

enum WindowMessage : std::uint32_t {
  kMessageActivate = 6,
  kMessagePaint = 15,
  kMessageEraseBackground = 20,
};

// 1 when the message was consumed.
int ProcessMessage(PyraHandle* handle, void* window, std::uint32_t message, std::uintptr_t first,
                   std::intptr_t second, std::intptr_t* result);

}  // namespace pyra
