#include "BiffScan.h"

#include "OleFile.h"
#include "sheets/DateFormat.h"

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
    kNumber = 0x0203,
    kBoolErr = 0x0205,
    kString = 0x0207,
    kRk = 0x027E,
    kFormat = 0x041E,
    kBof = 0x0809,
};

// Days from 1900-01-01 (serial 1) to 1904-01-01 (serial 0 of the 1904 system), as the spreadsheet
// counts them.
constexpr double k1904Offset = 1462;

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

void appendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
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
        appendUtf8(c, out);
    }
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
                if (body.size() >= 6)
                    m_book.sheets.push_back({le32(body, 0), static_cast<std::uint8_t>(body[5]), {}});
                break;
            case kXf:
                if (body.size() >= 4) m_xfFormats.push_back(le16(body, 2));
                break;
            case kFormat:
                if (body.size() >= 3)
                    m_customFormats[le16(body, 0)] = sheets::isDateTimeFormatCode(formatCode(body));
                break;
            default:
                break;
            }
        }
        return true;
    }

    // The format code's characters as far as the date rule needs them: those above ASCII only
    // stand for themselves, so they become '?'.
    std::string formatCode(std::string_view body) const {
        std::string code;
        if (m_book.version == 5) {
            const std::size_t count = static_cast<unsigned char>(body[2]);
            for (std::size_t i = 3; i < 3 + count && i < body.size(); ++i)
                code += static_cast<unsigned char>(body[i]) < 0x80 ? body[i] : '?';
            return code;
        }
        if (body.size() < 5) return code;
        const std::size_t count = le16(body, 2);
        const bool wide = body[4] & 1;
        for (std::size_t i = 0, at = 5; i < count && at + (wide ? 1 : 0) < body.size();
             ++i, at += wide ? 2 : 1) {
            const unsigned unit = wide ? le16(body, at) : static_cast<unsigned char>(body[at]);
            code += unit < 0x80 ? static_cast<char>(unit) : '?';
        }
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
        return sheets::CellValue::ofDateTime(m_book.date1904 ? value + k1904Offset : value);
    }

    void readSheets() {
        std::unordered_map<std::uint32_t, std::size_t> sheetAt;
        for (std::size_t i = 0; i < m_book.sheets.size(); ++i)
            sheetAt.emplace(m_book.sheets[i].offset, i);
        BiffSheet* sheet = nullptr;
        int depth = 0; // embedded charts nest their own BOF..EOF inside a sheet
        Record record;
        while (m_records.next(record)) {
            if (record.type == kBof) {
                if (depth++ == 0) {
                    m_pendingText.reset();
                    const auto found = sheetAt.find(static_cast<std::uint32_t>(record.offset));
                    sheet = found == sheetAt.end() ? nullptr : &m_book.sheets[found->second];
                }
                continue;
            }
            if (record.type == kEof) {
                if (depth > 0 && --depth == 0) sheet = nullptr;
                continue;
            }
            if (sheet && depth == 1 && sheet->type == 0) readCell(record, *sheet);
        }
    }

    void add(BiffSheet& sheet, std::string_view body, int columnOffset, sheets::CellValue value) {
        sheet.cells.push_back({le16(body, 0) + 1, le16(body, 2) + 1 + columnOffset, value, {}});
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
        case kFormula:
            if (body.size() >= 20) readFormula(body, sheet);
            break;
        case kRString:
            // A text with formatting runs, which FreeXL skips; BIFF5 writes it in the code page.
            if (m_book.version == 5 && body.size() >= 8) {
                auto bytes = body.substr(8, le16(body, 6));
                auto text = codePageToUtf8(bytes, m_book.codePage);
                add(sheet, body, 0, sheets::CellValue::ofText({}));
                sheet.cells.back().text = text ? *text : std::string(bytes);
            }
            break;
        case kString:
            if (m_pendingText && body.size() >= 2) {
                auto& cell = sheet.cells[*m_pendingText];
                cell.text = stringResult(body);
                if (cell.text.empty()) cell.value = sheets::CellValue::empty();
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
        case 0:
            add(sheet, body, 0, sheets::CellValue::ofText({}));
            m_pendingText = sheet.cells.size() - 1;
            break;
        case 1:
            add(sheet, body, 0, sheets::CellValue::ofBoolean(body[8] != 0));
            break;
        case 2:
            add(sheet, body, 0, sheets::CellValue::ofError(errorLiteral(static_cast<std::uint8_t>(body[8]))));
            break;
        default: // 3, the empty text, reads as an empty cell, as the engine reads it
            break;
        }
    }

    // A STRING record and the CONTINUE records after it. In BIFF8 the characters are one or two bytes
    // wide, and each CONTINUE starts with its own width flag.
    std::string stringResult(std::string_view body) {
        const std::size_t count = le16(body, 0);
        if (m_book.version == 5) {
            auto bytes = body.substr(2, count);
            auto text = codePageToUtf8(bytes, m_book.codePage);
            return text ? *text : std::string(bytes);
        }
        if (body.size() < 3) return {};
        std::size_t at = 3;
        const auto options = static_cast<unsigned char>(body[2]);
        if (options & 0x08) at += 2; // rich-text run count
        if (options & 0x04) at += 4; // phonetic data size
        std::u16string units;
        bool wide = options & 0x01;
        while (true) {
            for (; units.size() < count && at + (wide ? 1 : 0) < body.size(); at += wide ? 2 : 1)
                units += static_cast<char16_t>(wide ? le16(body, at) : static_cast<unsigned char>(body[at]));
            Record next;
            if (units.size() >= count || m_records.peekType() != kContinue || !m_records.next(next) ||
                next.body.empty())
                break;
            body = next.body;
            wide = body[0] & 0x01;
            at = 1;
        }
        return utf16ToUtf8(units);
    }

    RecordReader m_records;
    BiffWorkbook m_book;
    std::vector<std::uint16_t> m_xfFormats;
    std::unordered_map<std::uint16_t, bool> m_customFormats;
    std::optional<std::size_t> m_pendingText;
};

} // namespace

BiffWorkbook scanBiff(std::string_view stream) {
    return Scanner(stream).run();
}

} // namespace orders
