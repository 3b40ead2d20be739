// Pictures from strangers (feed items, ads) through DecodeImage, the way the
// program decodes them: the decoder library and Windows Imaging Component,
// under Wine. libFuzzer does not build for MinGW, so this program fuzzes by
// itself, without coverage feedback: it replays every picture of the folders
// it is given, then decodes mutations of them (bit flips, interesting values
// in 8- and 16-bit fields, cuts, insertions, copies, splices) until the time
// or the number of runs is up.
//
//   gui_image_decode_fuzz.exe [--seconds N | --runs N] [--seed S] [--save DIR] FOLDER...
//
// A decode must return no bitmap or a bitmap within the decoder's limits,
// give the same pixels when repeated, and leak neither memory nor GDI
// objects. A crash or a failed check writes the input to DIR (else the
// current folder) as crash-<n> and exits 1. With --save, inputs that give a
// picture size not seen before are kept in DIR for the next run.
#include <windows.h>
#include <psapi.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "gui/image_decode.h"
#include "platform/os.h"

namespace os = platform::os;

namespace {

constexpr std::size_t kMaxInput = 256 * 1024;  // the largest picture the server passes on
constexpr int kMaxSide = 10000;                // DecodeImage's limit
constexpr std::size_t kMaxSaved = 300;

struct Options {
  long long seconds = 0;
  long long runs = -1;  // -1: until the time is up
  unsigned long long seed = 0;
  std::string save;
  std::vector<std::string> folders;
};

// The input being decoded, for the crash handler.
std::string g_current;
std::string g_crash_dir = ".";

void WriteCrash(const char* why) {
  if (g_current.empty()) {
    std::fprintf(stderr, "FAILED: %s\n", why);
    return;
  }
  static int n = 0;
  std::string path = os::JoinPath(g_crash_dir, "crash-" + std::to_string(++n));
  os::WriteWholeFile(path, g_current);
  std::fprintf(stderr, "FAILED: %s; input (%zu bytes) written to %s\n", why, g_current.size(), path.c_str());
  std::fflush(stderr);
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* e) {
  char why[64];
  std::snprintf(why, sizeof why, "exception 0x%08lx", e->ExceptionRecord->ExceptionCode);
  WriteCrash(why);
  ExitProcess(1);
}

[[noreturn]] void Fail(const char* why) {
  WriteCrash(why);
  std::exit(1);
}

bool ParseOptions(int argc, wchar_t** argv, Options* o) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(os::Utf16ToUtf8(reinterpret_cast<const char16_t*>(argv[i])));
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.compare(0, 2, "--") != 0) {
      o->folders.push_back(a);
      continue;
    }
    if (i + 1 >= args.size()) return false;
    const std::string& v = args[++i];
    if (a == "--seconds") o->seconds = std::atoll(v.c_str());
    else if (a == "--runs") o->runs = std::atoll(v.c_str());
    else if (a == "--seed") o->seed = std::strtoull(v.c_str(), nullptr, 10);
    else if (a == "--save") o->save = v;
    else return false;
  }
  return !o->folders.empty();
}

// The pictures of every folder; false when a folder cannot be read (a run
// that silently lost its real-world pictures would prove little).
bool ReadFolders(const std::vector<std::string>& folders, std::vector<std::string>* inputs) {
  for (const std::string& folder : folders) {
    std::vector<std::string> names;
    if (os::ListDirectory(folder, &names) != os::kOk) {
      std::fprintf(stderr, "cannot read the folder %s\n", folder.c_str());
      return false;
    }
    for (const std::string& name : names) {
      std::string bytes;
      if (os::ReadWholeFile(os::JoinPath(folder, name), &bytes) == os::kOk && !bytes.empty() &&
          bytes.size() <= kMaxInput)
        inputs->push_back(bytes);
    }
  }
  return true;
}

// ---- Mutations -----------------------------------------------------------------

class Mutator {
 public:
  Mutator(unsigned long long seed, const std::vector<std::string>* seeds) : rng_(seed), seeds_(seeds) {}

  std::string Mutate(std::string s) {
    int steps = 1 + Below(4);
    for (int i = 0; i < steps; ++i) Step(&s);
    if (s.size() > kMaxInput) s.resize(kMaxInput);
    return s;
  }

  std::size_t Below(std::size_t n) { return n ? std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_) : 0; }

 private:
  // Where a change matters most: a GIF block or a JPEG marker, else anywhere.
  std::size_t Place(const std::string& s) {
    if (s.empty()) return 0;
    for (int tries = 0; Below(2) && tries < 64; ++tries) {
      std::size_t at = Below(s.size());
      unsigned char c = static_cast<unsigned char>(s[at]);
      if (c == 0xFF || c == 0x2C || c == 0x21) return at + 1 < s.size() ? at + 1 : at;
    }
    return Below(s.size());
  }

  void Step(std::string* s) {
    static const std::uint16_t kInteresting[] = {0, 1, 2, 0x7F, 0x80, 0xFF, 0x100, 0x7FFF, 0x8000, 0xFFFF};
    std::size_t at = Place(*s);
    switch (Below(8)) {
      case 0:
        if (!s->empty()) (*s)[at] = static_cast<char>((*s)[at] ^ (1 << Below(8)));
        break;
      case 1:
        if (!s->empty()) (*s)[at] = static_cast<char>(kInteresting[Below(6)]);
        break;
      case 2:
        if (at + 1 < s->size()) {
          std::uint16_t v = kInteresting[Below(10)];
          bool big = Below(2);
          (*s)[at] = static_cast<char>(big ? v >> 8 : v);
          (*s)[at + 1] = static_cast<char>(big ? v : v >> 8);
        }
        break;
      case 3:
        s->erase(at, 1 + Below(64));
        break;
      case 4:
        for (std::size_t n = 1 + Below(16); n; --n) s->insert(s->begin() + at, static_cast<char>(Below(256)));
        break;
      case 5:
        if (!s->empty()) {
          std::size_t from = Below(s->size()), n = 1 + Below(128);
          std::string piece = s->substr(from, n);
          s->replace(at, piece.size(), piece);
        }
        break;
      case 6:
        s->resize(Below(s->size() + 1));
        break;
      default: {
        const std::string& other = (*seeds_)[Below(seeds_->size())];
        *s = s->substr(0, at) + other.substr(Below(other.size() + 1));
        break;
      }
    }
  }

  std::mt19937_64 rng_;
  const std::vector<std::string>* seeds_;
};

// ---- Decoding and its checks ----------------------------------------------------

struct Outcome {
  bool decoded = false;
  int width = 0, height = 0;
  std::uint64_t pixels = 0;  // a hash of the 32-bit pixels
};

std::uint64_t PixelHash(HBITMAP bitmap, int width, int height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
  HDC dc = GetDC(nullptr);
  int rows = GetDIBits(dc, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  if (rows != height) Fail("the decoded bitmap's pixels cannot be read");
  std::uint64_t h = 1469598103934665603ull;
  for (std::uint32_t p : pixels) h = (h ^ (p & 0x00FFFFFFu)) * 1099511628211ull;
  return h;
}

Outcome Decode(const std::string& bytes, bool with_pixels) {
  g_current = bytes;
  Outcome out;
  HBITMAP bitmap = VexaAppGUISystem::DecodeImage(reinterpret_cast<const BYTE*>(bytes.data()),
                                                  static_cast<DWORD>(bytes.size()));
  if (!bitmap) return out;
  BITMAP b = {};
  if (GetObjectW(bitmap, sizeof b, &b) != sizeof b) Fail("the decoded bitmap is no bitmap");
  if (b.bmWidth < 1 || b.bmHeight < 1 || b.bmWidth > kMaxSide || b.bmHeight > kMaxSide)
    Fail("the decoded bitmap's size is outside the decoder's limits");
  out.decoded = true;
  out.width = b.bmWidth;
  out.height = b.bmHeight;
  if (with_pixels) out.pixels = PixelHash(bitmap, out.width, out.height);
  if (!DeleteObject(bitmap)) Fail("the decoded bitmap cannot be deleted");
  return out;
}

// A picture decoded again gives the same bitmap: nothing read uninitialised.
void DecodeTwice(const std::string& bytes, Outcome* first) {
  *first = Decode(bytes, true);
  Outcome second = Decode(bytes, true);
  if (first->decoded != second.decoded || first->width != second.width || first->height != second.height ||
      first->pixels != second.pixels)
    Fail("decoding the same picture twice gives different results");
}

std::size_t PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX m = {};
  m.cb = sizeof m;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&m), sizeof m);
  return m.PrivateUsage;
}

struct Tally {
  long long runs = 0, decoded = 0;
  std::set<std::pair<int, int>> sizes;  // the picture sizes seen
  std::size_t saved = 0;
};

// One input: decoded (twice every so often), counted, and kept when its size is new.
void Run(const std::string& bytes, bool keep_new, const Options& o, Tally* t) {
  Outcome out;
  if (t->runs % 16 == 0) DecodeTwice(bytes, &out);
  else out = Decode(bytes, false);
  ++t->runs;
  if (!out.decoded) return;
  ++t->decoded;
  bool added = t->sizes.insert({out.width, out.height}).second;
  if (added && keep_new && !o.save.empty() && t->saved < kMaxSaved) {
    char name[32];
    std::snprintf(name, sizeof name, "size-%dx%d", out.width, out.height);
    os::WriteWholeFile(os::JoinPath(o.save, name), bytes);
    ++t->saved;
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options o;
  if (!ParseOptions(argc, argv, &o)) {
    std::fprintf(stderr, "usage: gui_image_decode_fuzz [--seconds N | --runs N] [--seed S] [--save DIR] FOLDER...\n");
    return 2;
  }
  if (o.seed == 0) o.seed = GetTickCount64() ^ GetCurrentProcessId();
  if (!o.save.empty()) {
    os::MakeDirectories(o.save);
    g_crash_dir = o.save;
  }
  SetUnhandledExceptionFilter(OnCrash);
  std::vector<std::string> seeds;
  if (!ReadFolders(o.folders, &seeds)) return 2;
  if (seeds.empty()) {
    std::fprintf(stderr, "no pictures in the folders given\n");
    return 2;
  }
  std::printf("seed %llu, %zu pictures\n", o.seed, seeds.size());
  ULONGLONG start = GetTickCount64();
  Tally t;
  for (const std::string& s : seeds) Run(s, false, o, &t);
  long long replayed = t.decoded;
  std::size_t memory_before = PrivateBytes();
  DWORD gdi_before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);

  Mutator mutator(o.seed, &seeds);
  ULONGLONG deadline = start + static_cast<ULONGLONG>(o.seconds) * 1000;
  for (long long i = 0; o.runs >= 0 ? i < o.runs : GetTickCount64() < deadline; ++i)
    Run(mutator.Mutate(seeds[mutator.Below(seeds.size())]), true, o, &t);

  // Every bitmap was deleted and every buffer freed: what remains is noise.
  DWORD gdi_after = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  std::size_t memory_after = PrivateBytes();
  g_current.clear();
  if (gdi_after > gdi_before + 16) Fail("GDI objects leak");
  if (memory_after > memory_before + (256u << 20)) Fail("memory grows");
  std::printf("runs %lld  decoded %lld (%lld of the pictures given)  sizes %zu  saved %zu  %llu s\n", t.runs,
              t.decoded, replayed, t.sizes.size(), t.saved, (GetTickCount64() - start) / 1000);
  return 0;
}
