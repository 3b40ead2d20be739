// The article list of a channel: every object with a "Title" and a "Sort",
// newest first, each title on at most two lines.
#pragma once

#include <cstdint>

#include "context.h"

namespace feedpane {

enum LoadResult : std::int32_t {
  kLoadOk = 0,
  kLoadQueryFailed = 1,
  kLoadNoArticles = 200,
};

// Builds the list into a new context (freeing any previous one) and asks
// the host for its content size. Without articles there is no context.
LoadResult BuildArticleList(KorvelPluginServices* services);

// Colours an item read: grey, not bold.
void MarkItemRead(Element* item);

}  // namespace feedpane
