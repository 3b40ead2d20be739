// The article view: an article's parts laid out in one column, and paging
// between the articles of the list.
#pragma once

#include "context.h"

namespace feedpane {

// Shows the article of list item `index`: its title, the channel's name,
// its pictures, author, date, text and link; marks it read in the store and
// in the list. An article that cannot be read shows empty.
void OpenArticle(KorvelPluginServices* services, Context* context, int index);

// Back to the list at the position it was left at.
void ShowList(KorvelPluginServices* services, Context* context);

// The next article of the list, or the list after the last one.
void ShowNextArticle(KorvelPluginServices* services, Context* context);

// Hands the article's link to the browser; false when it has none.
bool OpenArticleLink(const Context& context);

// Starts the browser on `url` (8-bit text in the device's code page).
bool OpenLink(const std::string& url);

// The text of the link element: language-pack string 258.
constexpr int kLinkTextId = 258;

}  // namespace feedpane
