// tidelark-cleantext: runs the article text decoder over standard input.
//
//   tidelark-cleantext [--lines]
//
// Without options the whole input is one text; with --lines every line is
// cleaned on its own and written with its line feed.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "feedpane/clean_text.h"

namespace {

void CleanAndWrite(std::string text) {
  // A zero byte ends the text, as it does on the device.
  std::vector<char> buf(text.begin(), text.end());
  buf.push_back('\0');
  feedpane::CleanText(buf.data());
  std::fwrite(buf.data(), 1, std::strlen(buf.data()), stdout);
}

}  // namespace

int main(int argc, char** argv) {
  bool lines = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--lines") == 0) {
      lines = true;
    } else {
      std::fprintf(stderr, "usage: tidelark-cleantext [--lines] < text\n");
      return 2;
    }
  }
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  std::string input;
  char chunk[65536];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, stdin)) > 0) input.append(chunk, got);
  if (!lines) {
    CleanAndWrite(input);
    return 0;
  }
  std::size_t start = 0;
  while (start < input.size()) {
    std::size_t end = input.find('\n', start);
    bool has_newline = end != std::string::npos;
    if (!has_newline) end = input.size();
    CleanAndWrite(input.substr(start, end - start));
    if (has_newline) std::fputc('\n', stdout);
    start = end + 1;
  }
  return 0;
}
