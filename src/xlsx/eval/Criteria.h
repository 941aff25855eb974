#pragma once

// The criteria of COUNTIF, SUMIF and their kin as the application reads them: a number or boolean
// matches equal cells; a text may start with =, <>, <, <=, >, >= and may hold the wildcards * and ?
// (~ escapes them); "" matches empty cells, "=" only empty cells, "<>" every cell that is not empty.

#include "eval/FormulaValue.h"

#include <string>

namespace xlsx::eval {

class Criterion {
public:
    // Throws NotComputable where the criterion's number would be read by the user's language.
    Criterion(const Value& criterion, bool date1904);

    bool matches(const Value& cell) const;

private:
    enum class Compare { Eq, Ne, Lt, Le, Gt, Ge };
    enum class Kind { Number, Text, Boolean, Error, Empty, NonEmpty, EmptyOrBlankText };

    Compare m_compare = Compare::Eq;
    Kind m_kind = Kind::Number;
    double m_number = 0;
    std::string m_text; // folded
    bool m_wildcards = false;
    bool m_date1904 = false;
};

// Whether `text` matches `pattern` with * (any run), ? (one character) and ~ (takes the next one as
// it is), without regard to case. Both are compared whole.
bool wildcardMatch(std::string_view pattern, std::string_view text);
bool hasWildcards(std::string_view pattern);

} // namespace xlsx::eval
