// PNG files from 32-bit pixels, for screenshots and test pictures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// pixels: width*height values 0x00RRGGBB (as a 32-bit DIB holds them), top row first.
// Returns false when the file cannot be written.
bool WritePng(const std::string& path, int width, int height, const std::uint32_t* pixels);
// The PNG file bytes of the same picture.
std::vector<unsigned char> EncodePng(int width, int height, const std::uint32_t* pixels);

}  // namespace platform
