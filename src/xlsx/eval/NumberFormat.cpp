#include "eval/NumberFormat.h"

#include "eval/DateSerial.h"
#include "eval/NotComputable.h"
#include "sheets/AsciiCase.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

namespace xlsx::eval {

namespace {

constexpr std::array<std::string_view, 12> kMonths = {"January",   "February", "March",    "April",
                                                      "May",       "June",     "July",     "August",
                                                      "September", "October",  "November", "December"};
constexpr std::array<std::string_view, 7> kDays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                   "Thursday", "Friday", "Saturday"};

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

enum class TokenType { Literal, Digit, Point, Comma, Percent, Exponent, Date, AmPm, Elapsed, Text };

struct FormatToken {
    TokenType type;
    std::string text; // Literal: the text; Digit: "0" "#" "?"; Date: the code ("yyyy", "mm", "ss.00")
};

bool equalsFolded(std::string_view text, std::size_t pos, std::string_view word) {
    if (text.size() - pos < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (sheets::toLowerAscii(text[pos + i]) != sheets::toLowerAscii(word[i])) return false;
    return true;
}

std::vector<FormatToken> tokenize(std::string_view section) {
    std::vector<FormatToken> tokens;
    auto literal = [&](std::string text) {
        if (!tokens.empty() && tokens.back().type == TokenType::Literal)
            tokens.back().text += text;
        else
            tokens.push_back({TokenType::Literal, std::move(text)});
    };
    for (std::size_t i = 0; i < section.size();) {
        char c = section[i];
        char l = sheets::toLowerAscii(c);
        if (c == '"') {
            auto close = section.find('"', i + 1);
            if (close == std::string_view::npos) close = section.size();
            literal(std::string(section.substr(i + 1, close - i - 1)));
            i = close + 1;
        } else if (c == '\\' && i + 1 < section.size()) {
            literal(std::string(1, section[i + 1]));
            i += 2;
        } else if (c == '_' && i + 1 < section.size()) {
            literal(" "); // room for the next character
            i += 2;
        } else if (c == '*' && i + 1 < section.size()) {
            i += 2; // fill to the column width: nothing in a text
        } else if (c == '[') {
            auto close = section.find(']', i);
            if (close == std::string_view::npos)
                throw NotComputable("tallformatet «" + std::string(section) + "»");
            std::string inner(section.substr(i + 1, close - i - 1));
            std::string folded;
            for (char ch : inner)
                folded += sheets::toLowerAscii(ch);
            if (!folded.empty() && (folded[0] == 'h' || folded[0] == 'm' || folded[0] == 's') &&
                folded.find_first_not_of(folded[0]) == std::string::npos) {
                tokens.push_back({TokenType::Elapsed, folded});
            } else if (inner.starts_with("$")) {
                auto dash = inner.find('-');
                literal(inner.substr(1, dash == std::string::npos ? std::string::npos : dash - 1));
            } else if (folded == "red" || folded == "black" || folded == "blue" || folded == "green" ||
                       folded == "white" || folded == "yellow" || folded == "cyan" || folded == "magenta" ||
                       folded.starts_with("color")) {
                // colours change nothing in a text
            } else {
                throw NotComputable("tallformatet «" + std::string(section) + "»");
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
        } else if ((l == 'e') && i + 1 < section.size() && (section[i + 1] == '+' || section[i + 1] == '-')) {
            tokens.push_back({TokenType::Exponent, std::string(section.substr(i, 2))});
            i += 2;
        } else if (equalsFolded(section, i, "am/pm")) {
            tokens.push_back({TokenType::AmPm, "AM/PM"});
            i += 5;
        } else if (equalsFolded(section, i, "a/p")) {
            tokens.push_back({TokenType::AmPm, std::string(section.substr(i, 3))});
            i += 3;
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
            literal(std::string(1, c));
            ++i;
        }
    }
    // m and mm after hours or before seconds are minutes.
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        auto& t = tokens[k];
        if (t.type != TokenType::Date || t.text[0] != 'm' || t.text.size() > 2) continue;
        bool minutes = false;
        for (std::size_t p = k; p-- > 0;) {
            if (tokens[p].type == TokenType::Literal) continue;
            minutes = (tokens[p].type == TokenType::Date && tokens[p].text[0] == 'h') ||
                      (tokens[p].type == TokenType::Elapsed && tokens[p].text[0] == 'h');
            break;
        }
        for (std::size_t n = k + 1; !minutes && n < tokens.size(); ++n) {
            if (tokens[n].type == TokenType::Literal) continue;
            minutes = (tokens[n].type == TokenType::Date && tokens[n].text[0] == 's') ||
                      (tokens[n].type == TokenType::Elapsed && tokens[n].text[0] == 's');
            break;
        }
        if (minutes) t.text = t.text.size() == 1 ? "n" : "nn";
    }
    return tokens;
}

bool isDateSection(const std::vector<FormatToken>& tokens) {
    for (const auto& t : tokens)
        if (t.type == TokenType::Date || t.type == TokenType::AmPm || t.type == TokenType::Elapsed)
            return true;
    return false;
}

std::string twoDigits(long long n) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02lld", n);
    return buffer;
}

Got<std::string> formatDate(double value, const std::vector<FormatToken>& tokens, bool date1904) {
    if (value < 0) return ErrorCode::Value;
    int fractionDigits = 0;
    bool ampm = false;
    for (const auto& t : tokens) {
        if (t.type == TokenType::Date && t.text[0] == 's' && t.text.find('.') != std::string::npos)
            fractionDigits = std::max(fractionDigits, static_cast<int>(t.text.size() - t.text.find('.') - 1));
        if (t.type == TokenType::AmPm) ampm = true;
    }
    fractionDigits = std::min(fractionDigits, 3);
    // The time is rounded to what is shown; a day that rounds up to midnight is the next day.
    double unitsPerSecond = std::pow(10.0, fractionDigits);
    double totalUnits = std::round(round15(value * 86400.0 * unitsPerSecond));
    double units = std::fmod(totalUnits, 86400.0 * unitsPerSecond);
    double days = (totalUnits - units) / (86400.0 * unitsPerSecond);
    // Whether a time this close to midnight shows the next day is not settled; it is not guessed.
    bool showsDate = false;
    for (const auto& t : tokens)
        showsDate = showsDate ||
                    (t.type == TokenType::Date && (t.text[0] == 'y' || t.text[0] == 'd' || t.text[0] == 'm'));
    if (showsDate && days > std::floor(value))
        throw NotComputable("en dato vist med et klokkeslett rett før midnatt");
    auto date = dateOf(days, date1904);
    if (!date) return ErrorCode::Value;
    auto secondsOfDay = static_cast<long long>(units / unitsPerSecond);
    long long fraction = static_cast<long long>(units - static_cast<double>(secondsOfDay) * unitsPerSecond);
    long long hour = secondsOfDay / 3600, minute = secondsOfDay / 60 % 60, second = secondsOfDay % 60;
    double totalSeconds = totalUnits / unitsPerSecond;
    std::string out;
    for (const auto& t : tokens) {
        switch (t.type) {
        case TokenType::Literal:
            out += t.text;
            break;
        case TokenType::Elapsed: {
            double whole = t.text[0] == 'h'   ? std::floor(totalSeconds / 3600)
                           : t.text[0] == 'm' ? std::floor(totalSeconds / 60)
                                              : std::floor(totalSeconds);
            char buffer[48];
            std::snprintf(buffer, sizeof buffer, "%0*.0f", static_cast<int>(t.text.size()), whole);
            out += buffer;
            break;
        }
        case TokenType::AmPm:
            if (t.text == "AM/PM")
                out += hour < 12 ? "AM" : "PM";
            else
                out += hour < 12 ? t.text.substr(0, 1) : t.text.substr(2, 1);
            break;
        case TokenType::Date: {
            const std::string& code = t.text;
            switch (code[0]) {
            case 'y':
                out += code.size() <= 2 ? twoDigits(date->year % 100) : std::to_string(date->year);
                break;
            case 'm':
                if (code.size() == 1)
                    out += std::to_string(date->month);
                else if (code.size() == 2)
                    out += twoDigits(date->month);
                else if (code.size() == 3)
                    out += kMonths[static_cast<std::size_t>(date->month - 1)].substr(0, 3);
                else if (code.size() == 5)
                    out += kMonths[static_cast<std::size_t>(date->month - 1)].substr(0, 1);
                else
                    out += kMonths[static_cast<std::size_t>(date->month - 1)];
                break;
            case 'd':
                if (code.size() == 1)
                    out += std::to_string(date->day);
                else if (code.size() == 2)
                    out += twoDigits(date->day);
                else if (code.size() == 3)
                    out += kDays[static_cast<std::size_t>(weekdayOf(days, date1904))].substr(0, 3);
                else
                    out += kDays[static_cast<std::size_t>(weekdayOf(days, date1904))];
                break;
            case 'h': {
                long long shown = ampm ? (hour % 12 == 0 ? 12 : hour % 12) : hour;
                out += code.size() == 1 ? std::to_string(shown) : twoDigits(shown);
                break;
            }
            case 'n':
                out += code.size() == 1 ? std::to_string(minute) : twoDigits(minute);
                break;
            case 's': {
                auto point = code.find('.');
                auto width = point == std::string::npos ? code.size() : point;
                out += width == 1 ? std::to_string(second) : twoDigits(second);
                if (point != std::string::npos) {
                    auto shown = static_cast<int>(code.size() - point - 1);
                    char buffer[16];
                    std::snprintf(buffer, sizeof buffer, "%0*lld", fractionDigits, fraction);
                    out += '.';
                    out += std::string(buffer).substr(
                        0, static_cast<std::size_t>(std::min(shown, fractionDigits)));
                }
                break;
            }
            default:
                break;
            }
            break;
        }
        default:
            out += t.text;
            break;
        }
    }
    return out;
}

// Digits of |value| rounded to `decimals` places, without sign: integer and fraction parts.
std::pair<std::string, std::string> fixedDigits(double value, int decimals) {
    double scale = std::pow(10.0, decimals);
    double rounded = std::round(round15(std::fabs(value) * scale)) / scale;
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, rounded);
    std::string text(buffer);
    auto point = text.find('.');
    if (point == std::string::npos) return {text, ""};
    return {text.substr(0, point), text.substr(point + 1)};
}

std::string formatNumeric(double value, const std::vector<FormatToken>& tokens, bool withSign) {
    // Where the parts of the code are.
    std::size_t point = tokens.size(), exponent = tokens.size();
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        if (tokens[k].type == TokenType::Point && point == tokens.size()) point = k;
        if (tokens[k].type == TokenType::Exponent && exponent == tokens.size()) exponent = k;
    }
    std::size_t mantissaEnd = std::min(exponent, tokens.size());
    int integerDigits = 0, fractionDigits = 0, exponentDigits = 0, percents = 0, scaling = 0;
    bool grouping = false;
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        const auto& t = tokens[k];
        if (t.type == TokenType::Percent) ++percents;
        if (t.type != TokenType::Digit) continue;
        if (k > exponent)
            ++exponentDigits;
        else if (k > point)
            ++fractionDigits;
        else
            ++integerDigits;
    }
    // Commas between integer placeholders group thousands; commas right after the last integer
    // placeholder divide by 1000 each.
    for (std::size_t k = 0; k < std::min(point, mantissaEnd); ++k) {
        if (tokens[k].type != TokenType::Comma) continue;
        bool digitBefore = false, digitAfter = false;
        for (std::size_t p = 0; p < k; ++p)
            digitBefore = digitBefore || tokens[p].type == TokenType::Digit;
        for (std::size_t n = k + 1; n < std::min(point, mantissaEnd); ++n)
            digitAfter = digitAfter || tokens[n].type == TokenType::Digit;
        if (digitBefore && digitAfter)
            grouping = true;
        else if (digitBefore)
            ++scaling;
    }
    double x = std::fabs(value) * std::pow(100.0, percents) / std::pow(1000.0, scaling);

    std::string intPart, fracPart, expText;
    if (exponent < tokens.size()) {
        int shift = 0;
        if (x != 0) {
            shift = static_cast<int>(std::floor(std::log10(x)));
            // The exponent is a multiple of the integer placeholders' count when there are several.
            int step = std::max(1, integerDigits);
            if (integerDigits > 1)
                shift = static_cast<int>(std::floor(static_cast<double>(shift) / step)) * step;
            else
                shift -= std::max(0, integerDigits - 1);
        }
        double mantissa = x / std::pow(10.0, shift);
        auto digits = fixedDigits(mantissa, fractionDigits);
        if (digits.first.size() > static_cast<std::size_t>(std::max(1, integerDigits)) &&
            integerDigits <= 1) {
            ++shift;
            digits = fixedDigits(x / std::pow(10.0, shift), fractionDigits);
        }
        intPart = digits.first;
        fracPart = digits.second;
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%0*d", std::clamp(exponentDigits, 1, 8),
                      std::abs(shift) % 100000);
        expText = std::string(shift < 0 ? "-" : (tokens[exponent].text[1] == '+' ? "+" : "")) + buffer;
        if (tokens[exponent].text[0] == 'e')
            expText = "e" + expText;
        else
            expText = "E" + expText;
    } else {
        auto digits = fixedDigits(x, fractionDigits);
        intPart = digits.first;
        fracPart = digits.second;
    }
    if (intPart == "0") intPart.clear();
    bool negative =
        withSign && value < 0 && (!intPart.empty() || fracPart.find_first_not_of('0') != std::string::npos);
    // Integer placeholders take digits from the right; the first one takes whatever is left over.
    std::size_t integerEnd = std::min(point, mantissaEnd);
    std::vector<std::string> intFill(tokens.size());
    std::vector<std::size_t> integerPlaces;
    for (std::size_t k = 0; k < integerEnd; ++k)
        if (tokens[k].type == TokenType::Digit) integerPlaces.push_back(k);
    std::size_t remaining = intPart.size();
    for (std::size_t j = integerPlaces.size(); j-- > 0;) {
        std::size_t k = integerPlaces[j];
        if (j == 0) {
            intFill[k] = remaining > 0 ? intPart.substr(0, remaining)
                                       : (tokens[k].text == "0" ? "0" : (tokens[k].text == "?" ? " " : ""));
        } else if (remaining > 0) {
            intFill[k] = intPart.substr(--remaining, 1);
        } else {
            intFill[k] = tokens[k].text == "0" ? "0" : (tokens[k].text == "?" ? " " : "");
        }
    }
    // Without literals among them the placeholders make one run of digits, grouped by thousands.
    bool literalsInside = false;
    for (std::size_t k = integerPlaces.empty() ? 0 : integerPlaces.front();
         !integerPlaces.empty() && k < integerPlaces.back(); ++k)
        literalsInside = literalsInside || tokens[k].type == TokenType::Literal;
    if (!integerPlaces.empty() && !literalsInside) {
        std::string run;
        for (auto k : integerPlaces) {
            run += intFill[k];
            intFill[k].clear();
        }
        if (grouping) {
            std::string grouped;
            std::size_t digitsLeft = 0;
            for (char ch : run)
                digitsLeft += ch >= '0' && ch <= '9';
            for (char ch : run) {
                bool digit = ch >= '0' && ch <= '9';
                if (digit && !grouped.empty() && grouped.back() >= '0' && grouped.back() <= '9' &&
                    digitsLeft % 3 == 0)
                    grouped += ',';
                grouped += ch;
                digitsLeft -= digit;
            }
            run = grouped;
        }
        intFill[integerPlaces.front()] = run;
    }
    // Fraction placeholders take digits from the left; # drops trailing zeros, ? shows a blank.
    std::vector<std::string> fracFill(tokens.size());
    {
        std::size_t index = 0;
        std::vector<std::size_t> positions;
        for (std::size_t k = point + 1; k < mantissaEnd; ++k)
            if (tokens[k].type == TokenType::Digit) positions.push_back(k);
        std::size_t significant = fracPart.find_last_not_of('0');
        significant = significant == std::string::npos ? 0 : significant + 1;
        for (auto k : positions) {
            char digit = index < fracPart.size() ? fracPart[index] : '0';
            bool shown = index < significant;
            if (shown || tokens[k].text == "0")
                fracFill[k] = std::string(1, digit);
            else if (tokens[k].text == "?")
                fracFill[k] = " ";
            ++index;
        }
    }
    std::string out;
    if (negative) out += '-';
    bool exponentDone = false;
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        const auto& t = tokens[k];
        switch (t.type) {
        case TokenType::Digit:
            if (k > exponent) {
                if (!exponentDone) out += expText;
                exponentDone = true;
            } else {
                out += k > point ? fracFill[k] : intFill[k];
            }
            break;
        case TokenType::Point:
            if (k == point) out += '.';
            break;
        case TokenType::Comma:
        case TokenType::Exponent:
            break;
        case TokenType::Percent:
            out += '%';
            break;
        case TokenType::Text:
            break;
        default:
            out += t.text;
            break;
        }
    }
    return out;
}

bool sectionIsGeneral(std::string_view section) {
    std::string folded;
    for (char c : section)
        folded += sheets::toLowerAscii(c);
    return folded == "general";
}

} // namespace

Got<std::string> formatNumber(double value, std::string_view code, bool date1904) {
    auto sections = splitSections(code);
    std::size_t index = 0;
    bool signless = false;
    if (value < 0 && sections.size() >= 2) {
        index = 1;
        signless = true;
    } else if (value == 0 && sections.size() >= 3) {
        index = 2;
    }
    const std::string& section = sections[index];
    if (sectionIsGeneral(section)) return numberText(signless ? -value : value);
    auto tokens = tokenize(section);
    if (isDateSection(tokens)) return formatDate(signless ? -value : value, tokens, date1904);
    bool digits = false;
    for (const auto& t : tokens)
        digits = digits || t.type == TokenType::Digit;
    if (!digits) {
        // Only literals, and perhaps @ standing for the number in the General format; without @ a
        // negative number in a one-section code keeps its minus.
        bool general = false;
        for (const auto& t : tokens)
            general = general || t.type == TokenType::Text;
        std::string out = value < 0 && !signless && !general ? "-" : "";
        for (const auto& t : tokens)
            if (t.type == TokenType::Literal)
                out += t.text;
            else if (t.type == TokenType::Text)
                out += numberText(signless ? -value : value);
        return out;
    }
    return formatNumeric(value, tokens, !signless);
}

std::string formatText(const std::string& text, std::string_view code) {
    auto sections = splitSections(code);
    if (sections.size() < 4 && sections.front().find('@') == std::string::npos) return text;
    const std::string& section = sections.size() >= 4 ? sections[3] : sections.front();
    std::string out;
    for (const auto& t : tokenize(section))
        out += t.type == TokenType::Text ? text : t.text;
    return out;
}

} // namespace xlsx::eval
