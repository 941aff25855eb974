#include "BiffScan.h"

#include "containers/OleReader.h"
#include "sheets/DateFormat.h"
#include "sheets/DateSerial.h"
#include "sheets/Utf8.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <unordered_map>

namespace orders {

namespace {

enum RecordType : std::uint16_t {
    kFormula = 0x0006,
    kEof = 0x000A,
    kDateMode = 0x0022,
    kFilePass = 0x002F,
    kContinue = 0x003C,
    kWindow1 = 0x003D,
    kCodePage = 0x0042,
    kBoundSheet = 0x0085,
    kMulRk = 0x00BD,
    kRString = 0x00D6,
    kXf = 0x00E0,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kNumber = 0x0203,
    kLabel = 0x0204,
    kBoolErr = 0x0205,
    kString = 0x0207,
    kRk = 0x027E,
    kFormat = 0x041E,
    kBof = 0x0809,
};

std::uint16_t le16(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      static_cast<unsigned char>(bytes[at + 1]) << 8);
}

std::uint32_t le32(std::string_view bytes, std::size_t at) {
    return std::uint32_t{le16(bytes, at)} | std::uint32_t{le16(bytes, at + 2)} << 16;
}

double f64(std::string_view bytes, std::size_t at) {
    double value;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

// An RK number: a 30-bit integer or the top 30 bits of a double, either possibly divided by 100.
double rkValue(std::uint32_t rk) {
    double value;
    if (rk & 2) {
        value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        const std::uint64_t bits = std::uint64_t{rk & 0xFFFFFFFCu} << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 1) ? value / 100 : value;
}

std::string_view errorLiteral(std::uint8_t code) {
    switch (code) {
    case 0x00:
        return "#NULL!";
    case 0x07:
        return "#DIV/0!";
    case 0x0F:
        return "#VALUE!";
    case 0x17:
        return "#REF!";
    case 0x1D:
        return "#NAME?";
    case 0x24:
        return "#NUM!";
    default:
        return "#N/A"; // 0x2A, and codes no version defines
    }
}

std::string utf16ToUtf8(const std::u16string& units) {
    std::string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        else if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;
        sheets::appendUtf8(out, c);
    }
    return out;
}

// A BIFF5 text in the workbook's code page; bytes the code page does not have are taken as Latin-1,
// so that what reaches the sheet is always UTF-8.
std::string legacyText(std::string_view bytes, int codePage) {
    if (auto text = containers::codePageToUtf8(bytes, codePage)) return std::move(*text);
    std::string out;
    for (unsigned char c : bytes)
        sheets::appendUtf8(out, c);
    return out;
}

struct Record {
    std::uint16_t type = 0;
    std::string_view body;
    std::size_t offset = 0;
};

class RecordReader {
public:
    explicit RecordReader(std::string_view stream) : m_stream(stream) {}

    bool next(Record& record) {
        if (m_at + 4 > m_stream.size()) return false;
        const std::size_t size = le16(m_stream, m_at + 2);
        if (m_at + 4 + size > m_stream.size()) return false;
        record = {le16(m_stream, m_at), m_stream.substr(m_at + 4, size), m_at};
        m_at += 4 + size;
        return true;
    }
    std::optional<std::uint16_t> peekType() const {
        if (m_at + 4 > m_stream.size()) return std::nullopt;
        return le16(m_stream, m_at);
    }

private:
    std::string_view m_stream;
    std::size_t m_at = 0;
};

// The body of a record and of the CONTINUE records after it, read on across their boundaries, except
// for the characters of a text: where they go on in the next record, that record starts with their
// width again (one or two bytes a character), which may differ from the width before.
class Continued {
public:
    explicit Continued(std::string_view body) : m_parts{body} {}
    Continued(std::string_view body, RecordReader& records) : m_parts{body} {
        Record next;
        while (records.peekType() == kContinue && records.next(next))
            m_parts.push_back(next.body);
    }

    bool atEnd() {
        settle();
        return m_part == m_parts.size();
    }
    bool skip(std::size_t size) {
        while (size > 0) {
            if (atEnd()) return false;
            const std::size_t step = std::min(size, m_parts[m_part].size() - m_at);
            m_at += step;
            size -= step;
        }
        return true;
    }
    // Little-endian, of `size` bytes (1, 2 or 4).
    std::optional<std::uint32_t> unsignedInt(int size) {
        std::uint32_t value = 0;
        for (int i = 0; i < size; ++i) {
            if (atEnd()) return std::nullopt;
            value |= std::uint32_t{static_cast<unsigned char>(m_parts[m_part][m_at++])} << (8 * i);
        }
        return value;
    }

    // A BIFF8 text: its character count (in `countSize` bytes), option flags, the counts of formatting
    // runs and of phonetic bytes when flagged, the characters, then the runs and the phonetic block,
    // which are skipped. Nullopt when the bytes end before its characters do.
    std::optional<std::string> text(int countSize) {
        const auto count = unsignedInt(countSize);
        const auto flags = unsignedInt(1);
        if (!count || !flags) return std::nullopt;
        std::optional<std::uint32_t> runs = 0;
        std::optional<std::uint32_t> phonetic = 0;
        if (*flags & 0x08) runs = unsignedInt(2);
        if (*flags & 0x04) phonetic = unsignedInt(4);
        std::u16string units;
        if (!runs || !phonetic || !characters(*count, *flags & 0x01, units)) return std::nullopt;
        if (skip(4 * std::size_t{*runs})) skip(*phonetic);
        return utf16ToUtf8(units);
    }

private:
    void settle() {
        while (m_part < m_parts.size() && m_at == m_parts[m_part].size()) {
            ++m_part;
            m_at = 0;
        }
    }

    bool characters(std::size_t count, bool wide, std::u16string& units) {
        while (units.size() < count) {
            if (m_part == m_parts.size()) return false;
            const auto part = m_parts[m_part];
            if (m_at == part.size()) {
                if (++m_part == m_parts.size()) return false;
                wide = !m_parts[m_part].empty() && (m_parts[m_part][0] & 0x01);
                m_at = m_parts[m_part].empty() ? 0 : 1;
                continue;
            }
            if (wide) {
                if (m_at + 2 > part.size()) return false; // a character cut in two: not a text
                units += static_cast<char16_t>(le16(part, m_at));
                m_at += 2;
            } else {
                units += static_cast<char16_t>(static_cast<unsigned char>(part[m_at++]));
            }
        }
        return true;
    }

    std::vector<std::string_view> m_parts;
    std::size_t m_part = 0;
    std::size_t m_at = 0;
};

class Scanner {
public:
    explicit Scanner(std::string_view stream) : m_records(stream) {}

    BiffWorkbook run() {
        Record record;
        if (!m_records.next(record) || record.type != kBof || record.body.size() < 4) return m_book;
        const auto version = le16(record.body, 0);
        if (le16(record.body, 2) != 0x0005 || (version != 0x0500 && version != 0x0600)) return m_book;
        m_book.version = version == 0x0600 ? 8 : 5;
        if (!readGlobals()) return m_book;
        readSheets();
        if (m_book.sheets.empty()) m_book.damage = "arbeidsboken har ingen ark";
        for (const auto& sheet : m_book.sheets)
            if (m_book.damage.empty() && sheet.type == 0 && !sheet.complete)
                m_book.damage = "arket «" + sheet.name + "» slutter for tidlig";
        return m_book;
    }

private:
    // False when the rest of the stream is not to be read.
    bool readGlobals() {
        Record record;
        while (m_records.next(record) && record.type != kEof) {
            const auto body = record.body;
            switch (record.type) {
            case kFilePass:
                m_book.encrypted = true;
                return false;
            case kDateMode:
                if (body.size() >= 2) m_book.date1904 = le16(body, 0) == 1;
                break;
            case kCodePage:
                if (body.size() >= 2) m_book.codePage = le16(body, 0);
                break;
            case kWindow1:
                if (body.size() >= 12) m_book.activeTab = le16(body, 10);
                break;
            case kBoundSheet:
                if (body.size() >= 7)
                    m_book.sheets.push_back(
                        {sheetName(body), le32(body, 0), static_cast<std::uint8_t>(body[5]), false, {}});
                break;
            case kXf:
                if (body.size() >= 4) m_xfFormats.push_back(le16(body, 2));
                break;
            case kFormat:
                if (body.size() >= 3)
                    m_customFormats[le16(body, 0)] = sheets::isDateTimeFormatCode(formatCode(body));
                break;
            case kSst:
                if (m_sharedTexts == 0 && m_book.version == 8) readSharedTexts(body);
                break;
            default:
                break;
            }
        }
        return true;
    }

    std::string sheetName(std::string_view body) const {
        if (m_book.version == 5)
            return legacyText(body.substr(7, static_cast<unsigned char>(body[6])), m_book.codePage);
        return Continued(body.substr(6)).text(1).value_or("");
    }

    // The shared texts, in order; their declared counts are not trusted, the bytes are.
    void readSharedTexts(std::string_view body) {
        Continued texts(body, m_records);
        if (!texts.skip(8)) return;
        while (!texts.atEnd()) {
            auto text = texts.text(2);
            if (!text) break;
            m_book.texts.push_back(std::move(*text));
        }
        m_sharedTexts = m_book.texts.size();
    }

    // The format code's characters as far as the date rule needs them: those above ASCII only
    // stand for themselves, so they become '?'.
    std::string formatCode(std::string_view body) const {
        std::string code = m_book.version == 5
                               ? std::string(body.substr(3, static_cast<unsigned char>(body[2])))
                               : Continued(body.substr(2)).text(2).value_or("");
        for (char& c : code)
            if (static_cast<unsigned char>(c) >= 0x80) c = '?';
        return code;
    }

    bool isDate(std::uint16_t xf) const {
        if (xf >= m_xfFormats.size()) return false;
        const auto format = m_xfFormats[xf];
        const auto custom = m_customFormats.find(format);
        return custom != m_customFormats.end() ? custom->second : sheets::isBuiltInDateTimeFormat(format);
    }

    sheets::CellValue number(double value, std::uint16_t xf) const {
        if (!isDate(xf)) return sheets::CellValue::ofNumber(value);
        return sheets::CellValue::ofDateTime(sheets::toDate1900(value, m_book.date1904));
    }

    void readSheets() {
        std::unordered_map<std::uint32_t, std::size_t> sheetAt;
        for (std::size_t i = 0; i < m_book.sheets.size(); ++i)
            sheetAt.emplace(m_book.sheets[i].offset, i);
        std::vector<bool> begun(m_book.sheets.size());
        std::size_t nextUnbegun = 0;
        BiffSheet* sheet = nullptr;
        int depth = 0; // embedded charts nest their own BOF..EOF inside a sheet
        Record record;
        while (m_records.next(record)) {
            if (record.type == kBof) {
                if (depth++ == 0) {
                    m_pendingText.reset();
                    // A writer that got the offsets wrong still writes the sheets in their order.
                    const auto found = sheetAt.find(static_cast<std::uint32_t>(record.offset));
                    while (nextUnbegun < begun.size() && begun[nextUnbegun])
                        ++nextUnbegun;
                    const std::size_t index = found != sheetAt.end() ? found->second : nextUnbegun;
                    sheet = index < begun.size() && !begun[index] ? &m_book.sheets[index] : nullptr;
                    if (sheet) begun[index] = true;
                }
                continue;
            }
            if (record.type == kEof) {
                if (depth > 0 && --depth == 0 && sheet) {
                    sheet->complete = true;
                    sheet = nullptr;
                }
                continue;
            }
            if (sheet && depth == 1 && sheet->type == 0) readCell(record, *sheet);
        }
    }

    void add(BiffSheet& sheet, std::string_view body, int columnOffset, sheets::CellValue value,
             std::uint32_t text = 0) {
        sheet.cells.push_back({le16(body, 0) + 1, le16(body, 2) + 1 + columnOffset, value, text});
    }

    // A text cell; the empty text reads as an empty cell, as the engine reads it.
    void addText(BiffSheet& sheet, std::string_view body, std::string text) {
        if (text.empty()) return;
        m_book.texts.push_back(std::move(text));
        add(sheet, body, 0, sheets::CellValue::ofText({}),
            static_cast<std::uint32_t>(m_book.texts.size() - 1));
    }

    // A LABEL or RSTRING: BIFF5 writes it in the code page, BIFF8 as a text of its own.
    std::string cellText(std::string_view body) {
        if (m_book.version == 5) return legacyText(body.substr(8, le16(body, 6)), m_book.codePage);
        return Continued(body.substr(6), m_records).text(2).value_or("");
    }

    void readCell(const Record& record, BiffSheet& sheet) {
        const auto body = record.body;
        switch (record.type) {
        case kNumber:
            if (body.size() >= 14) add(sheet, body, 0, number(f64(body, 6), le16(body, 4)));
            break;
        case kRk:
            if (body.size() >= 10) add(sheet, body, 0, number(rkValue(le32(body, 6)), le16(body, 4)));
            break;
        case kMulRk:
            for (std::size_t at = 4, i = 0; at + 6 + 2 <= body.size(); at += 6, ++i)
                add(sheet, body, static_cast<int>(i), number(rkValue(le32(body, at + 2)), le16(body, at)));
            break;
        case kBoolErr:
            if (body.size() >= 8) add(sheet, body, 0, boolOrError(body[6], body[7]));
            break;
        case kLabelSst:
            if (body.size() >= 10) {
                const auto index = le32(body, 6);
                if (index >= m_sharedTexts) {
                    if (m_book.damage.empty())
                        m_book.damage = "arket «" + sheet.name + "» viser til en tekst som ikke finnes";
                } else if (!m_book.texts[index].empty()) {
                    add(sheet, body, 0, sheets::CellValue::ofText({}), index);
                }
            }
            break;
        case kLabel:
        case kRString:
            if (body.size() >= 8) addText(sheet, body, cellText(body));
            break;
        case kFormula:
            if (body.size() >= 20) readFormula(body, sheet);
            break;
        case kString:
            if (m_pendingText && body.size() >= 2) {
                auto& cell = sheet.cells[*m_pendingText];
                auto text = stringResult(body);
                if (!text.empty()) {
                    m_book.texts.push_back(std::move(text));
                    cell.value = sheets::CellValue::ofText({});
                    cell.text = static_cast<std::uint32_t>(m_book.texts.size() - 1);
                }
                m_pendingText.reset();
            }
            break;
        default:
            break;
        }
    }

    static sheets::CellValue boolOrError(char value, char isError) {
        if (isError) return sheets::CellValue::ofError(errorLiteral(static_cast<std::uint8_t>(value)));
        return sheets::CellValue::ofBoolean(value != 0);
    }

    // The stored result: a double, or when its top two bytes are FFFF a type byte (0 text, in the
    // STRING record that follows; 1 boolean; 2 error; 3 empty text) with the value in byte 2.
    void readFormula(std::string_view body, BiffSheet& sheet) {
        if (le16(body, 12) != 0xFFFF) {
            add(sheet, body, 0, number(f64(body, 6), le16(body, 4)));
            return;
        }
        switch (body[6]) {
        case 0: // empty until its STRING record comes
            add(sheet, body, 0, sheets::CellValue::empty());
            m_pendingText = sheet.cells.size() - 1;
            break;
        case 1:
            add(sheet, body, 0, sheets::CellValue::ofBoolean(body[8] != 0));
            break;
        case 2:
            add(sheet, body, 0, sheets::CellValue::ofError(errorLiteral(static_cast<std::uint8_t>(body[8]))));
            break;
        default: // 3, the empty text, reads as an empty cell, as the engine reads it
            add(sheet, body, 0, sheets::CellValue::empty());
            break;
        }
    }

    // A STRING record and the CONTINUE records after it.
    std::string stringResult(std::string_view body) {
        if (m_book.version == 5) return legacyText(body.substr(2, le16(body, 0)), m_book.codePage);
        return Continued(body, m_records).text(2).value_or("");
    }

    RecordReader m_records;
    BiffWorkbook m_book;
    std::size_t m_sharedTexts = 0; // the first texts, the shared ones, that cells name by index
    std::vector<std::uint16_t> m_xfFormats;
    std::unordered_map<std::uint16_t, bool> m_customFormats;
    std::optional<std::size_t> m_pendingText;
};

} // namespace

BiffWorkbook scanBiff(std::string_view stream) {
    return Scanner(stream).run();
}

} // namespace orders
