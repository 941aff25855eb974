#include "eval/NumberFormat.h"

#include "eval/NotComputable.h"

namespace xlsx::eval {

namespace {

using Kind = FormatSection::Kind;

// A section of literals only, or one whose "@" or "General" stands for the number as General shows it.
std::string writeLiterals(double value, const FormatSection& section, bool withSign) {
    bool general = false;
    for (const auto& t : section.tokens)
        general = general || t.type == TokenType::Text;
    // Without a place for the number a negative one keeps only its minus.
    std::string out = withSign && value < 0 && !general ? "-" : "";
    for (const auto& t : section.tokens)
        if (t.type == TokenType::Literal)
            out += t.text;
        else if (t.type == TokenType::Text)
            out += numberText(value);
    return out;
}

} // namespace

NumberFormat::NumberFormat(std::string_view code) : m_code(code), m_sections(parseFormatCode(code)) {}

Got<std::string> NumberFormat::format(double value, bool date1904) const {
    // The sections for numbers: a text section (the fourth, or a lone "@" section) takes none.
    std::size_t numeric = m_sections.size();
    if (numeric == 4) numeric = 3;
    bool conditional = m_sections.front().condition || (numeric > 1 && m_sections[1].condition);
    std::size_t index = 0;
    bool signless = false;
    if (conditional) {
        // The first section whose condition holds; a section without one takes what is left.
        index = numeric - 1;
        for (std::size_t i = 0; i < numeric; ++i) {
            const auto& condition = m_sections[i].condition;
            if (!condition || condition->holds(value)) {
                index = i;
                break;
            }
        }
        // Whether a section chosen by conditions shows a minus sign is not settled; it is not guessed.
        if (value < 0)
            throw NotComputable("tallformatet «" + m_code + "» med betingelser brukt på et negativt tall");
    } else if (value < 0 && numeric >= 2) {
        index = 1;
        signless = true;
    } else if (value == 0 && numeric >= 3) {
        index = 2;
    }
    const FormatSection& section = m_sections[index];
    double shown = signless ? -value : value;
    switch (section.kind) {
    case Kind::General:
        return numberText(shown);
    case Kind::DateTime:
        return writeDateTime(shown, section, date1904);
    case Kind::Number:
        return writeNumber(value, section, !signless);
    case Kind::Text:
        // A section for texts shows a number as General does, without its literals.
        return numberText(shown);
    case Kind::Literal:
        break;
    }
    return writeLiterals(shown, section, !signless);
}

std::string NumberFormat::format(const std::string& text) const {
    const FormatSection* section = nullptr;
    if (m_sections.size() >= 4)
        section = &m_sections[3];
    else if (m_sections.front().kind == Kind::Text)
        section = &m_sections.front();
    if (!section) return text;
    std::string out;
    for (const auto& t : section->tokens)
        out += t.type == TokenType::Text && t.text == "@" ? text : t.text;
    return out;
}

Got<std::string> formatNumber(double value, std::string_view code, bool date1904) {
    return NumberFormat(code).format(value, date1904);
}

std::string formatText(const std::string& text, std::string_view code) {
    return NumberFormat(code).format(text);
}

} // namespace xlsx::eval
