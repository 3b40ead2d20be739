// Calls that leave the program: message boxes, starting another program,
// playing a sound. They go through one replaceable table so that tests
// record them instead of blocking on a dialog or launching anything.
// In production every entry calls the real platform function.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Message box flags and results, with the Win32 values.
enum : std::uint32_t {
  kMbOk = 0x0,
  kMbOkCancel = 0x1,
  kMbYesNo = 0x4,
  kMbIconError = 0x10,
  kMbIconQuestion = 0x20,
  kMbIconWarning = 0x30,
  kMbIconInformation = 0x40,
};
enum : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

struct Services {
  // owner is a window handle or null. Returns the button chosen (kIdOk ...).
  int (*message_box)(void* owner, const std::u16string& text, const std::u16string& caption,
                     std::uint32_t flags);
  // Starts a program or opens a document (ShellExecuteEx). Returns true when
  // started; false, without the shell's own error box, when nothing started
  // (a caller may run on a worker thread, where a box would stop it).
  bool (*shell_execute)(const std::u16string& file, const std::u16string& parameters);
  // Plays a sound file asynchronously (PlaySoundW). Returns true when started.
  bool (*play_sound)(const std::u16string& path);
};

// The table in force; never null.
const Services& GetServices();
// Replaces the table (tests); returns the previous one. Pass nullptr to restore the default.
const Services* SetServices(const Services* services);
// The production table for this platform.
const Services& DefaultServices();

}  // namespace platform
