#include "JournalCsv.h"

#include "sheets/StrToReal.h"

#include <array>
#include <charconv>

namespace stock::journalcsv {

namespace {

constexpr char kSeparator = ';';
constexpr std::string_view kLineEnd = "\r\n";

constexpr std::array<std::string_view, 22> kHeader = {"Tidspunkt",
                                                      "Bruker",
                                                      "Maskin",
                                                      "Kjøring",
                                                      "Bestillingsfil",
                                                      "Ark",
                                                      "Rad",
                                                      "Produkt",
                                                      "Grade",
                                                      "H",
                                                      "B",
                                                      "T",
                                                      "Overflate",
                                                      "Meter",
                                                      "Antall",
                                                      "Prosjekt",
                                                      "Lagerark",
                                                      "Lagerrad",
                                                      "Utfall",
                                                      "Advarsel",
                                                      "Beholdning før",
                                                      "Beholdning etter"};

constexpr std::array<std::pair<LineOutcome::Kind, std::string_view>, 4> kKinds = {{
    {LineOutcome::Kind::Found, "funnet"},
    {LineOutcome::Kind::Created, "ny linje"},
    {LineOutcome::Kind::CreatedInInsertedRow, "ny linje, rad satt inn"},
    {LineOutcome::Kind::NotBooked, "ikke bokført"},
}};

bool opensFormula(std::string_view text) {
    const auto first = text.find_first_not_of('\'');
    return first != std::string_view::npos &&
           std::string_view("=+-@").find(text[first]) != std::string_view::npos;
}

// A spreadsheet application opening the journal takes a field that starts with = + - or @ for a
// formula; order texts are typed by anyone, so such a text (not a number) gets an apostrophe before
// it. Texts already starting with apostrophes get one more, so reading takes exactly one off.
std::string guarded(std::string_view text) {
    if (opensFormula(text) && !sheets::isNumberText(text)) return "'" + std::string(text);
    return std::string(text);
}

std::string unguarded(std::string field) {
    if (!field.empty() && field.front() == '\'' && opensFormula(field)) field.erase(0, 1);
    return field;
}

void appendField(std::string& line, std::string_view text) {
    const std::string field = guarded(text);
    if (field.find_first_of(";\"\r\n") == std::string::npos) {
        line += field;
        return;
    }
    line += '"';
    for (char c : field) {
        if (c == '"') line += '"';
        line += c;
    }
    line += '"';
}

template <std::size_t N> std::string joined(const std::array<std::string_view, N>& fields) {
    std::string line;
    for (std::size_t i = 0; i < N; ++i) {
        if (i) line += kSeparator;
        appendField(line, fields[i]);
    }
    line += kLineEnd;
    return line;
}

std::optional<int> positive(std::string_view text) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1) return std::nullopt;
    return value;
}

} // namespace

std::string headerLine() {
    return joined(kHeader);
}

std::string entryLine(const JournalEntry& e) {
    const LineOutcome& l = e.line;
    const OrderLine& o = l.order;
    std::string_view kind;
    for (const auto& [k, text] : kKinds)
        if (k == l.kind) kind = text;
    const std::string run = std::to_string(e.run);
    const std::string row = std::to_string(o.Row);
    const std::string stockRow = l.stockRow > 0 ? std::to_string(l.stockRow) : "";
    return joined(std::array<std::string_view, kHeader.size()>{
        e.time,       e.user,   e.host, run,        e.orderFile,      e.orderSheet,   row, o.Produkt,
        o.Grade,      o.H,      o.B,    o.T,        o.Overflate,      o.Meter,        o.A, o.Prosjekt,
        l.stockSheet, stockRow, kind,   l.warnings, l.quantityBefore, l.quantityAfter});
}

Record nextRecord(std::string_view text, std::size_t& i, int& line) {
    Record record;
    record.line = line;
    std::string field;
    for (;;) {
        if (i < text.size() && text[i] == '"') {
            ++i;
            for (;;) {
                if (i >= text.size()) {
                    record.complete = false;
                    break;
                }
                const char c = text[i++];
                if (c == '"') {
                    if (i < text.size() && text[i] == '"') {
                        field += '"';
                        ++i;
                        continue;
                    }
                    break;
                }
                if (c == '\n' || (c == '\r' && (i >= text.size() || text[i] != '\n'))) ++line;
                field += c;
            }
        }
        // Unquoted text, or what follows a closing quote, up to the field's end.
        while (i < text.size() && text[i] != kSeparator && text[i] != '\r' && text[i] != '\n')
            field += text[i++];
        record.fields.push_back(unguarded(std::move(field)));
        field.clear();
        if (i < text.size() && text[i] == kSeparator) {
            ++i;
            continue;
        }
        record.lastLine = line;
        if (i < text.size() && text[i] == '\r') ++i;
        if (i < text.size() && text[i] == '\n') ++i;
        ++line;
        return record;
    }
}

std::size_t nextLine(std::string_view text, std::size_t at) {
    const auto end = text.find_first_of("\r\n", at);
    if (end == std::string_view::npos) return text.size();
    return end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
}

bool isHeader(const Record& record) {
    if (record.fields.size() != kHeader.size()) return false;
    for (std::size_t i = 0; i < kHeader.size(); ++i)
        if (record.fields[i] != kHeader[i]) return false;
    return true;
}

std::optional<JournalEntry> parseEntry(const Record& record) {
    const auto& f = record.fields;
    if (!record.complete || f.size() != kHeader.size() || f[0].empty()) return std::nullopt;
    JournalEntry e;
    const auto run = positive(f[3]);
    const auto row = positive(f[6]);
    const auto stockRow = f[17].empty() ? std::optional<int>(0) : positive(f[17]);
    if (!run || !row || !stockRow) return std::nullopt;
    bool known = false;
    for (const auto& [kind, text] : kKinds) {
        if (f[18] == text) {
            e.line.kind = kind;
            known = true;
        }
    }
    if (!known) return std::nullopt;
    e.time = f[0];
    e.user = f[1];
    e.host = f[2];
    e.run = *run;
    e.orderFile = f[4];
    e.orderSheet = f[5];
    OrderLine& o = e.line.order;
    o.Row = *row;
    o.Produkt = f[7];
    o.Grade = f[8];
    o.H = f[9];
    o.B = f[10];
    o.T = f[11];
    o.Overflate = f[12];
    o.Meter = f[13];
    o.A = f[14];
    o.Prosjekt = f[15];
    e.line.stockSheet = f[16];
    e.line.stockRow = *stockRow;
    e.line.warnings = f[19];
    e.line.quantityBefore = f[20];
    e.line.quantityAfter = f[21];
    return e;
}

} // namespace stock::journalcsv
