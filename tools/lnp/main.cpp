// tidelark-lnp: compiles a readable pack source into a ".lnp" file, or dumps
// a pack back into source.
//
//   tidelark-lnp compile SOURCE OUT.lnp [--gzip] [--seed N]
//   tidelark-lnp dump PACK.lnp [--offset N]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "lang/pack_file.h"
#include "lang/pack_source.h"
#include "platform/os.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: tidelark-lnp compile SOURCE OUT.lnp [--gzip] [--seed N]\n"
               "       tidelark-lnp dump PACK.lnp [--offset N]\n");
  return 2;
}

int Compile(int argc, char** argv) {
  if (argc < 4) return Usage();
  bool gzip = false;
  std::uint32_t seed = std::random_device{}();
  for (int i = 4; i < argc; ++i) {
    if (std::strcmp(argv[i], "--gzip") == 0) {
      gzip = true;
    } else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
      seed = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    } else {
      return Usage();
    }
  }
  std::string source;
  if (platform::os::ReadWholeFile(argv[2], &source) != 0) {
    std::fprintf(stderr, "tidelark-lnp: cannot read %s\n", argv[2]);
    return 1;
  }
  lang::PackData pack;
  std::string error;
  if (!lang::ParsePackSource(source, &pack, &error)) {
    std::fprintf(stderr, "%s: %s\n", argv[2], error.c_str());
    return 1;
  }
  if (lang::WritePackFile(argv[3], lang::EncodePack(pack, seed), gzip) != 0) {
    std::fprintf(stderr, "tidelark-lnp: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}

int Dump(int argc, char** argv) {
  if (argc < 3) return Usage();
  int offset = 0;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--offset") == 0 && i + 1 < argc) {
      offset = std::atoi(argv[++i]);
    } else {
      return Usage();
    }
  }
  lang::PackData pack;
  int status = lang::ReadPackFile(platform::os::Utf8ToUtf16(argv[2]), &pack);
  if (status != 0) {
    std::fprintf(stderr, "tidelark-lnp: %s: load failed with code %d\n", argv[2], status);
    return 1;
  }
  std::string text = lang::FormatPackSource(pack, offset);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  if (std::strcmp(argv[1], "compile") == 0) return Compile(argc, argv);
  if (std::strcmp(argv[1], "dump") == 0) return Dump(argc, argv);
  return Usage();
}
