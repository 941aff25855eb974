#pragma once

// The journal's lines as text: fields between ';', quoted where they must be, CRLF at the end.

#include "stock/Journal.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace stock::journalcsv {

// The header line, CRLF included.
std::string headerLine();
// One entry's line, CRLF included.
std::string entryLine(const JournalEntry& entry);

struct Record {
    int line = 0;     // the file's line number where it starts, from 1
    int lastLine = 0; // where it ends: later than line when a quoted field holds a line break
    std::vector<std::string> fields;
    bool complete = true; // false: the text ended inside quotes
    bool blank() const { return complete && fields.size() == 1 && fields.front().empty(); }
};
// The record starting at `at` on line `line` of a journal's text (its byte-order mark taken off);
// moves `at` past the line break that ends it and `line` to the line after it. Line breaks inside
// quotes belong to the field.
Record nextRecord(std::string_view text, std::size_t& at, int& line);
// Where the line after the one `at` is on starts.
std::size_t nextLine(std::string_view text, std::size_t at);

bool isHeader(const Record& record);
// The entry a record holds; nullopt when it does not hold one (wrong field count, a number that is
// not one, an outcome the journal does not write).
std::optional<JournalEntry> parseEntry(const Record& record);

} // namespace stock::journalcsv
