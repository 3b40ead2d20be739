// Any bytes: CleanText must stay inside the text and never make it longer;
// the reader's cleaning never leaves two empty lines in a row, and a title
// never grows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <string>

#include "feedpane/clean_text.h"
#include "feedpane/display_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<char> buf(data, data + size);
  buf.push_back('\0');
  std::size_t before = std::strlen(buf.data());
  feedpane::CleanText(buf.data());
  if (std::strlen(buf.data()) > before) std::abort();
  std::string article(reinterpret_cast<const char*>(data), size), title = article;
  feedpane::CleanArticleText(&article);
  feedpane::CleanTitle(&title);
  if (title.size() > size || article.find("\r\n\r\n\r\n") != std::string::npos) std::abort();
  return 0;
}
