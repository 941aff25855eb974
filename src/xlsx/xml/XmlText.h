#pragma once

// Escaping and unescaping of text as workbook parts hold it: XML entities and character references,
// and the _xHHHH_ escapes spreadsheet files use for characters XML 1.0 cannot carry.

#include "sheets/Utf8.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace xlsx {

// Appends UTF-8 `text` as element content: & < > escaped, CR as a character reference (a parser turns
// a raw CR into LF), characters XML 1.0 cannot hold as _xHHHH_, the underscore of a literal
// "_xHHHH_" as _x005F_ so that it reads back unchanged, malformed UTF-8 as U+FFFD.
void appendEscapedText(std::string& out, std::string_view text);

// True when raw element content must go through appendDecodedText to become its text (entities,
// character references, CDATA, comments, CR, _xHHHH_ escapes). Plain content is its own text.
bool needsDecoding(std::string_view raw);

// Appends raw element content decoded: entities and character references resolved, CDATA kept as
// text, comments and processing instructions left out, CR LF and lone CR read as LF, and with
// `ooxmlEscapes` _xHHHH_ decoded too. Returns false for malformed content (an unknown entity, an
// unterminated section, a stray '<').
bool appendDecodedText(std::string& out, std::string_view raw, bool ooxmlEscapes);

// Decodes the _xHHHH_ escapes of `text` from `from` on, in place: UTF-16 surrogate pairs are joined,
// a lone surrogate becomes U+FFFD.
void decodeOoxmlEscapes(std::string& text, std::size_t from = 0);

// Appends code point `cp` as UTF-8.
using sheets::appendUtf8;

} // namespace xlsx
