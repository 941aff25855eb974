#pragma once

// Splits a formula (as stored in the file: no leading '=', English function names, ',' between
// arguments) into tokens. Knows string literals, quoted sheet names with doubled quotes, function
// names that look like cells (LOG10( ATAN2(), structured table references, error literals,
// whole-row and whole-column ranges, external-workbook prefixes ([1]Sheet!A1). Concatenating the
// texts of all tokens always gives the formula back exactly.

#include "formula/ReferenceSyntax.h"

#include <string_view>
#include <vector>

namespace xlsx {

enum class TokenKind {
    Reference, // A1, $A$1:B2, A:A, 3:10, Sheet1!A1, 'My sheet'!A1:B2, Ark1:Ark3!A1, [1]Sheet1!A1
    Function,  // a name directly followed by '(' (the '(' is a token of its own)
    Name,      // a defined name, TRUE/FALSE, or anything identifier-like that is not a reference
    Number,
    String,     // "text" with doubled quotes inside
    Error,      // #REF!, #N/A, #DIV/0! ...
    Structured, // Table1[Column], Table1[[#This Row],[Col]], [@Col]
    Operator,   // + - * / ^ & = < > <= >= <> % : @ and the space intersection operator
    Separator,  // , ; ( ) { }
    Whitespace,
    Other, // anything not understood; left exactly as written
};

struct Token {
    TokenKind kind;
    std::string_view text;
};

std::vector<Token> tokenizeFormula(std::string_view formula);

// A Reference token as the tokenizer read it, split into its sheet prefix and area (what
// parseReference gives for its text). Kept as offsets, so that it stays true of a copy of the text.
struct FormulaReference {
    std::size_t begin = 0, size = 0; // the whole token
    std::size_t prefixSize = 0;      // its sheet prefix with the '!'; 0 when unqualified
    Area area;

    std::string_view text(std::string_view formula) const { return formula.substr(begin, size); }
    std::string_view prefix(std::string_view formula) const { return formula.substr(begin, prefixSize); }
};

void findReferences(std::string_view formula, std::vector<FormulaReference>& out);

} // namespace xlsx
