// The sample pictures of the shared test data and their true sizes, for
// every test that decodes them (the decoder library, the toolkit's loader,
// the command-line decoder).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/os.h"

namespace sample_pictures {

struct Picture {
  const char* name;
  int width, height;  // 0 x 0: damaged, must be refused
};

inline const Picture kAll[] = {
    {"image-gif-set_hsts.gif", 1, 1},
    {"image-rs-cat.jpg", 320, 240},
    {"imager-screen2.gif", 16, 16},
    {"jpeg-decoder-jpg-size-15x15.jpg", 15, 15},
    {"libjpeg-turbo-testorig.jpg", 227, 149},
    {"pillow-chi.gif", 320, 240},
    {"pillow-hopper_resized.gif", 64, 64},
    {"pillow-transparent.gif", 200, 150},
    {"wuffs-animated-red-blue.gif", 64, 48},
    {"wuffs-hippopotamus.interlaced.gif", 36, 28},
    {"wuffs-peacock.grayscale.jpeg", 100, 75},
    {"wuffs-peacock.progressive.jpeg", 100, 75},
    {"wuffs-hippopotamus.interlaced.truncated.gif", 0, 0},
    {"wuffs-peacock.default.truncated.jpeg", 0, 0},
};

// The arithmetic-coded JPEG: decoded whole (227 x 149) or refused cleanly.
inline const char kArithmeticJpeg[] = "libjpeg-turbo-testimgari.jpg";

inline std::string PathOf(const std::string& name) { return std::string(TIDELARK_SHARED_DATA) + "/images/" + name; }

// The file's bytes; a missing file fails the calling test.
inline std::string Read(const std::string& name) {
  std::string bytes;
  int rc = platform::os::ReadWholeFile(PathOf(name), &bytes);
  EXPECT_EQ(0, rc) << "missing test picture " << PathOf(name);
  EXPECT_FALSE(bytes.empty()) << PathOf(name);
  return bytes;
}

}  // namespace sample_pictures
