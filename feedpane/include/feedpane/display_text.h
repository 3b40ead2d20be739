// Texts as the reader shows them. CleanText does the decoding the server's
// texts need; these two finish the job for the screen: the Latin-1 letters
// CleanText leaves as written ("&eacute;"), character references in hex or
// beyond its table, and white space the way a page reads it.
#pragma once

#include <string>

namespace feedpane {

// Article text: HTML text (one with tags such as p, br, div or a closing
// tag) has its raw line ends read as spaces first, as a browser does; then
// CleanText; then leftover references; then white space: no space at the
// start or end of a line, runs of spaces as one, line breaks as CR LF, at
// most one empty line between paragraphs, nothing at the start or the end.
void CleanArticleText(std::string* text);

// A title: as an article text, but on one line: every run of white space,
// line breaks included, becomes one space.
void CleanTitle(std::string* text);

// The references CleanText leaves: "&name;" for the Latin-1 letters,
// "&#NNN;" and "&#xHH;" for any character, each as its Windows-1252
// character ("?" where there is none). Others stay as written.
void DecodeLeftoverReferences(std::string* text);

}  // namespace feedpane
