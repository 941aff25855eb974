#include "eval/Criteria.h"

#include "eval/Conversions.h"
#include "eval/NotComputable.h"
#include "eval/Utf8.h"

#include <vector>

namespace xlsx::eval {

bool hasWildcards(std::string_view pattern) {
    return pattern.find_first_of("*?~") != std::string_view::npos;
}

bool wildcardMatch(std::string_view pattern, std::string_view text) {
    auto p = codePoints(foldCase(pattern));
    auto t = codePoints(foldCase(text));
    // Tokens: literal code points and the two wildcards.
    struct Piece {
        char32_t c;
        bool any = false, one = false;
    };
    std::vector<Piece> pieces;
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (p[i] == U'~' && i + 1 < p.size() && (p[i + 1] == U'*' || p[i + 1] == U'?' || p[i + 1] == U'~'))
            pieces.push_back({p[++i]});
        else if (p[i] == U'*')
            pieces.push_back({0, true});
        else if (p[i] == U'?')
            pieces.push_back({0, false, true});
        else
            pieces.push_back({p[i]});
    }
    std::size_t pi = 0, ti = 0, star = std::string::npos, mark = 0;
    while (ti < t.size()) {
        if (pi < pieces.size() && !pieces[pi].any && (pieces[pi].one || pieces[pi].c == t[ti])) {
            ++pi;
            ++ti;
        } else if (pi < pieces.size() && pieces[pi].any) {
            star = pi++;
            mark = ti;
        } else if (star != std::string::npos) {
            pi = star + 1;
            ti = ++mark;
        } else {
            return false;
        }
    }
    while (pi < pieces.size() && pieces[pi].any)
        ++pi;
    return pi == pieces.size();
}

Criterion::Criterion(const Value& criterion, bool date1904) : m_date1904(date1904) {
    switch (criterion.kind) {
    case Value::Kind::Empty:
        // A criterion cell left empty counts as 0.
        m_kind = Kind::Number;
        return;
    case Value::Kind::Number:
        m_number = criterion.number;
        return;
    case Value::Kind::Boolean:
        m_kind = Kind::Boolean;
        m_number = criterion.number;
        return;
    case Value::Kind::Error:
        m_kind = Kind::Error;
        m_number = static_cast<double>(criterion.error);
        return;
    case Value::Kind::Text:
        break;
    }
    std::string_view text = criterion.text;
    if (text.starts_with("<=")) {
        m_compare = Compare::Le;
        text.remove_prefix(2);
    } else if (text.starts_with(">=")) {
        m_compare = Compare::Ge;
        text.remove_prefix(2);
    } else if (text.starts_with("<>")) {
        m_compare = Compare::Ne;
        text.remove_prefix(2);
    } else if (text.starts_with("<")) {
        m_compare = Compare::Lt;
        text.remove_prefix(1);
    } else if (text.starts_with(">")) {
        m_compare = Compare::Gt;
        text.remove_prefix(1);
    } else if (text.starts_with("=")) {
        m_compare = Compare::Eq;
        text.remove_prefix(1);
    } else if (text.empty()) {
        m_kind = Kind::EmptyOrBlankText;
        return;
    }
    if (text.empty()) {
        if (m_compare == Compare::Eq)
            m_kind = Kind::Empty;
        else if (m_compare == Compare::Ne)
            m_kind = Kind::NonEmpty;
        else
            m_kind = Kind::Text; // < or > alone: compares with "", matching nothing that is not text
        return;
    }
    if (auto number = parseNumberText(text, date1904)) {
        m_number = *number;
        return;
    }
    // The user's language decides how 12,5 or 1.1.2024 reads here.
    Value probe = Value::ofText(std::string(text));
    (void)toNumber(probe, date1904);
    if (equalFolded(text, "TRUE") || equalFolded(text, "FALSE")) {
        m_kind = Kind::Boolean;
        m_number = equalFolded(text, "TRUE") ? 1 : 0;
        return;
    }
    if (auto error = parseErrorLiteral(text)) {
        m_kind = Kind::Error;
        m_number = static_cast<double>(*error);
        return;
    }
    m_kind = Kind::Text;
    m_text = std::string(text);
    m_wildcards = (m_compare == Compare::Eq || m_compare == Compare::Ne) && hasWildcards(m_text);
}

bool Criterion::matches(const Value& cell) const {
    auto decide = [&](int order) {
        switch (m_compare) {
        case Compare::Eq:
            return order == 0;
        case Compare::Ne:
            return order != 0;
        case Compare::Lt:
            return order < 0;
        case Compare::Le:
            return order <= 0;
        case Compare::Gt:
            return order > 0;
        case Compare::Ge:
            return order >= 0;
        }
        return false;
    };
    switch (m_kind) {
    case Kind::Empty:
        return cell.isEmpty();
    case Kind::NonEmpty:
        return !cell.isEmpty();
    case Kind::EmptyOrBlankText:
        return cell.isEmpty() || (cell.isText() && cell.text.empty());
    case Kind::Number: {
        double number = 0;
        if (cell.isNumber()) {
            number = cell.number;
        } else if (cell.isText() && m_compare == Compare::Eq) {
            // A number stored as text matches an equal number.
            auto parsed = parseNumberText(cell.text, m_date1904);
            if (!parsed) return false;
            number = *parsed;
        } else {
            return m_compare == Compare::Ne;
        }
        if (approxEqual(number, m_number)) return decide(0);
        return decide(number < m_number ? -1 : 1);
    }
    case Kind::Boolean:
        if (!cell.isBoolean()) return m_compare == Compare::Ne;
        return decide(cell.number == m_number ? 0 : (cell.number < m_number ? -1 : 1));
    case Kind::Error:
        if (!cell.isError()) return m_compare == Compare::Ne;
        return decide(static_cast<double>(cell.error) == m_number ? 0 : 1) &&
               (m_compare == Compare::Eq || m_compare == Compare::Ne);
    case Kind::Text:
        if (!cell.isText()) return m_compare == Compare::Ne;
        if (m_wildcards) return decide(wildcardMatch(m_text, cell.text) ? 0 : 1);
        if (m_compare == Compare::Eq || m_compare == Compare::Ne)
            return decide(equalFolded(cell.text, m_text) ? 0 : 1);
        return decide(compareTexts(cell.text, m_text));
    }
    return false;
}

} // namespace xlsx::eval
