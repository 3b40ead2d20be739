// Item titles and descriptions pulled out of the sample feeds by a plain
// scan: enough to feed real article text to the decoder, not a feed parser.
#pragma once

#include <string>
#include <vector>

#include "platform/os.h"

namespace feedpane {
namespace testing {

inline void CollectElements(const std::string& doc, const std::string& tag, std::vector<std::string>* out) {
  const std::string open = "<" + tag;
  const std::string close = "</" + tag + ">";
  std::size_t pos = 0;
  while ((pos = doc.find(open, pos)) != std::string::npos) {
    std::size_t after = pos + open.size();
    if (after >= doc.size() || (doc[after] != '>' && doc[after] != ' ')) {
      pos = after;
      continue;
    }
    std::size_t start = doc.find('>', after);
    if (start == std::string::npos) break;
    ++start;
    std::size_t end = doc.find(close, start);
    if (end == std::string::npos) break;
    std::string body = doc.substr(start, end - start);
    std::size_t cdata = body.find("<![CDATA[");
    if (cdata != std::string::npos) {
      std::size_t cend = body.rfind("]]>");
      if (cend != std::string::npos && cend > cdata) body = body.substr(cdata + 9, cend - cdata - 9);
    }
    out->push_back(body);
    pos = end + close.size();
  }
}

// Every title, description, summary and content element of every feed file.
inline std::vector<std::string> FeedTexts(const std::string& feeds_dir, int* files) {
  std::vector<std::string> names;
  std::vector<std::string> texts;
  *files = 0;
  if (platform::os::ListDirectory(feeds_dir, &names) != 0) return texts;
  for (const std::string& name : names) {
    std::string doc;
    if (platform::os::ReadWholeFile(platform::os::JoinPath(feeds_dir, name), &doc) != 0) continue;
    ++*files;
    for (const char* tag : {"title", "description", "summary", "content", "content:encoded"}) {
      CollectElements(doc, tag, &texts);
    }
  }
  return texts;
}

}  // namespace testing
}  // namespace feedpane
