#include "eval/NumberFormatCode.h"

#include "eval/NotComputable.h"
#include "sheets/AsciiCase.h"

#include <algorithm>
#include <charconv>

namespace xlsx::eval {

namespace {

std::vector<std::string> splitSections(std::string_view code) {
    std::vector<std::string> sections(1);
    bool quoted = false;
    for (std::size_t i = 0; i < code.size(); ++i) {
        char c = code[i];
        if (c == '"') quoted = !quoted;
        if (!quoted && c == '\\' && i + 1 < code.size()) {
            sections.back() += c;
            sections.back() += code[++i];
            continue;
        }
        if (!quoted && c == ';') {
            sections.emplace_back();
            continue;
        }
        sections.back() += c;
    }
    return sections;
}

bool equalsFolded(std::string_view text, std::size_t pos, std::string_view word) {
    if (text.size() - pos < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (sheets::toLowerAscii(text[pos + i]) != sheets::toLowerAscii(word[i])) return false;
    return true;
}

std::string folded(std::string_view text) {
    std::string out;
    for (char c : text)
        out += sheets::toLowerAscii(c);
    return out;
}

[[noreturn]] void unknown(std::string_view section) {
    throw NotComputable("tallformatet «" + std::string(section) + "»");
}

std::optional<Condition> readCondition(std::string_view inner) {
    using Op = Condition::Op;
    static constexpr std::pair<std::string_view, Op> kOps[] = {
        {"<=", Op::LessEqual}, {">=", Op::GreaterEqual}, {"<>", Op::NotEqual},
        {"<", Op::Less},       {">", Op::Greater},       {"=", Op::Equal},
    };
    for (auto [text, op] : kOps) {
        if (!inner.starts_with(text)) continue;
        auto number = inner.substr(text.size());
        double bound = 0;
        auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), bound);
        if (ec != std::errc() || end != number.data() + number.size()) return std::nullopt;
        return Condition{op, bound};
    }
    return std::nullopt;
}

bool isColour(const std::string& name) {
    for (std::string_view colour : {"black", "blue", "cyan", "green", "magenta", "red", "white", "yellow"})
        if (name == colour) return true;
    return name.starts_with("color");
}

// m and mm after hours or before seconds are minutes.
void markMinutes(std::vector<FormatToken>& tokens) {
    auto isCode = [&](std::size_t k, char first) {
        return (tokens[k].type == TokenType::Date || tokens[k].type == TokenType::Elapsed) &&
               tokens[k].text[0] == first;
    };
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        auto& t = tokens[k];
        if (t.type != TokenType::Date || t.text[0] != 'm' || t.text.size() > 2) continue;
        bool minutes = false;
        for (std::size_t p = k; p-- > 0;) {
            if (tokens[p].type == TokenType::Literal) continue;
            minutes = isCode(p, 'h');
            break;
        }
        for (std::size_t n = k + 1; !minutes && n < tokens.size(); ++n) {
            if (tokens[n].type == TokenType::Literal) continue;
            minutes = isCode(n, 's');
            break;
        }
        if (minutes) t.text = t.text.size() == 1 ? "n" : "nn";
    }
}

FormatSection readSection(std::string_view section) {
    FormatSection out;
    auto& tokens = out.tokens;
    auto literal = [&](std::string_view text) {
        if (!tokens.empty() && tokens.back().type == TokenType::Literal)
            tokens.back().text += text;
        else
            tokens.push_back({TokenType::Literal, std::string(text)});
    };
    for (std::size_t i = 0; i < section.size();) {
        char c = section[i];
        char l = sheets::toLowerAscii(c);
        if (c == '"') {
            auto close = section.find('"', i + 1);
            if (close == std::string_view::npos) close = section.size();
            literal(section.substr(i + 1, close - i - 1));
            i = close + 1;
        } else if (c == '\\' && i + 1 < section.size()) {
            literal(section.substr(i + 1, 1));
            i += 2;
        } else if (c == '_' && i + 1 < section.size()) {
            literal(" "); // room for the next character
            i += 2;
        } else if (c == '*' && i + 1 < section.size()) {
            i += 2; // fill to the column width: nothing in a text
        } else if (c == '[') {
            auto close = section.find(']', i);
            if (close == std::string_view::npos) unknown(section);
            auto inner = section.substr(i + 1, close - i - 1);
            auto name = folded(inner);
            if (!name.empty() && (name[0] == 'h' || name[0] == 'm' || name[0] == 's') &&
                name.find_first_not_of(name[0]) == std::string::npos) {
                tokens.push_back({TokenType::Elapsed, name});
            } else if (inner.starts_with("$")) {
                // [$kr-414]: the currency text; the locale after the dash changes nothing here.
                auto dash = inner.find('-');
                literal(inner.substr(1, dash == std::string_view::npos ? std::string_view::npos : dash - 1));
            } else if (isColour(name)) {
                // colours change nothing in a text
            } else if (auto condition = readCondition(inner); condition && !out.condition) {
                out.condition = condition;
            } else {
                unknown(section);
            }
            i = close + 1;
        } else if (c == '0' || c == '#' || c == '?') {
            tokens.push_back({TokenType::Digit, std::string(1, c)});
            ++i;
        } else if (c == '.') {
            // ".00" after seconds belongs to them.
            if (!tokens.empty() && tokens.back().type == TokenType::Date && tokens.back().text[0] == 's' &&
                i + 1 < section.size() && section[i + 1] == '0') {
                std::size_t end = i + 1;
                while (end < section.size() && section[end] == '0')
                    ++end;
                tokens.back().text += std::string(section.substr(i, end - i));
                i = end;
            } else {
                tokens.push_back({TokenType::Point, "."});
                ++i;
            }
        } else if (c == ',') {
            tokens.push_back({TokenType::Comma, ","});
            ++i;
        } else if (c == '%') {
            tokens.push_back({TokenType::Percent, "%"});
            ++i;
        } else if (l == 'e' && i + 1 < section.size() && (section[i + 1] == '+' || section[i + 1] == '-')) {
            tokens.push_back({TokenType::Exponent, std::string(section.substr(i, 2))});
            i += 2;
        } else if (equalsFolded(section, i, "am/pm")) {
            tokens.push_back({TokenType::AmPm, "AM/PM"});
            i += 5;
        } else if (equalsFolded(section, i, "a/p")) {
            tokens.push_back({TokenType::AmPm, std::string(section.substr(i, 3))});
            i += 3;
        } else if (equalsFolded(section, i, "general")) {
            // General inside a longer code ("General\" m\""): the number as General shows it.
            tokens.push_back({TokenType::Text, "General"});
            i += 7;
        } else if (l == 'y' || l == 'm' || l == 'd' || l == 'h' || l == 's') {
            std::size_t end = i;
            while (end < section.size() && sheets::toLowerAscii(section[end]) == l)
                ++end;
            tokens.push_back({TokenType::Date, std::string(end - i, l)});
            i = end;
        } else if (c == '@') {
            tokens.push_back({TokenType::Text, "@"});
            ++i;
        } else if (c == '/' && !tokens.empty() && tokens.back().type == TokenType::Digit) {
            throw NotComputable("brøkformatet «" + std::string(section) + "»");
        } else {
            literal(std::string_view(&section[i], 1));
            ++i;
        }
    }
    markMinutes(tokens);
    if (tokens.size() == 1 && tokens[0].type == TokenType::Text && tokens[0].text == "General") {
        out.kind = FormatSection::Kind::General;
        return out;
    }
    bool digits = false, dates = false, text = false;
    for (const auto& t : tokens) {
        digits = digits || t.type == TokenType::Digit;
        dates =
            dates || t.type == TokenType::Date || t.type == TokenType::AmPm || t.type == TokenType::Elapsed;
        text = text || (t.type == TokenType::Text && t.text == "@");
    }
    out.kind = dates    ? FormatSection::Kind::DateTime
               : digits ? FormatSection::Kind::Number
               : text   ? FormatSection::Kind::Text
                        : FormatSection::Kind::Literal;
    return out;
}

NumberLayout layoutOf(const std::vector<FormatToken>& tokens) {
    NumberLayout layout;
    layout.point = layout.exponent = tokens.size();
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        if (tokens[k].type == TokenType::Point && layout.point == tokens.size()) layout.point = k;
        if (tokens[k].type == TokenType::Exponent && layout.exponent == tokens.size()) layout.exponent = k;
    }
    const std::size_t mantissaEnd = layout.exponent;
    const std::size_t integerEnd = std::min(layout.point, mantissaEnd);
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        if (tokens[k].type == TokenType::Percent) ++layout.percents;
        if (tokens[k].type != TokenType::Digit) continue;
        if (k > layout.exponent) {
            ++layout.exponentDigits;
        } else if (k > layout.point) {
            ++layout.fractionDigits;
            layout.fractionPlaces.push_back(k);
        } else {
            ++layout.integerDigits;
            layout.integerPlaces.push_back(k);
        }
    }
    // Commas between integer placeholders group thousands; commas after the last placeholder of the
    // number ("#,##0,", "0.0,,") divide by 1000 each.
    auto digitIn = [&](std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to; ++k)
            if (tokens[k].type == TokenType::Digit) return true;
        return false;
    };
    for (std::size_t k = 0; k < mantissaEnd; ++k) {
        if (tokens[k].type != TokenType::Comma || !digitIn(0, k)) continue;
        if (k < integerEnd && digitIn(k + 1, integerEnd))
            layout.grouping = true;
        else if (k < integerEnd || !digitIn(k + 1, mantissaEnd))
            ++layout.scaling;
    }
    if (!layout.integerPlaces.empty())
        for (std::size_t k = layout.integerPlaces.front(); k < layout.integerPlaces.back(); ++k)
            layout.literalsInside = layout.literalsInside || tokens[k].type == TokenType::Literal;
    return layout;
}

} // namespace

bool Condition::holds(double value) const {
    switch (op) {
    case Op::Less:
        return value < bound;
    case Op::LessEqual:
        return value <= bound;
    case Op::Greater:
        return value > bound;
    case Op::GreaterEqual:
        return value >= bound;
    case Op::Equal:
        return value == bound;
    case Op::NotEqual:
        return value != bound;
    }
    return false;
}

std::vector<FormatSection> parseFormatCode(std::string_view code) {
    std::vector<FormatSection> sections;
    for (const auto& text : splitSections(code)) {
        sections.push_back(readSection(text));
        if (sections.back().kind == FormatSection::Kind::Number)
            sections.back().layout = layoutOf(sections.back().tokens);
    }
    if (sections.size() > 4) unknown(code);
    return sections;
}

} // namespace xlsx::eval
