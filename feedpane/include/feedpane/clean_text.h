// Article titles and texts arrive as 8-bit text that may still carry HTML
// tags and entities. CleanText rewrites such a text in place for display.
#pragma once

namespace feedpane {

// Removes tags, turns "br" into one and "p"/"h1".."h6" into two line breaks
// (CR LF each, at most two in a row, none before the first text), decodes
// named and numeric entities into single Windows-1252 characters and cuts
// trailing spaces and line breaks. The result is never longer than the input.
// A null text is left alone.
void CleanText(char* text);

}  // namespace feedpane
