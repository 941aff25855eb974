#include "OpenpyxlView.h"

#include "support/Python.h"

#include <sstream>
#include <stdexcept>

namespace testsupport {

namespace {

std::string unescape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        char c = text[++i];
        if (c == 'n')
            out += '\n';
        else if (c == 'r')
            out += '\r';
        else if (c == 't')
            out += '\t';
        else if (c == 'x' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else
            out += c;
    }
    return out;
}

} // namespace

std::pair<int, int> parseRef(std::string_view ref) {
    int column = 0;
    size_t i = 0;
    for (; i < ref.size() && ref[i] >= 'A' && ref[i] <= 'Z'; ++i)
        column = column * 26 + (ref[i] - 'A' + 1);
    return {std::stoi(std::string(ref.substr(i))), column};
}

std::string cellRef(int row, int column) {
    std::string letters;
    for (int c = column; c > 0; c = (c - 1) / 26)
        letters.insert(letters.begin(), char('A' + (c - 1) % 26));
    return letters + std::to_string(row);
}

namespace {

std::vector<std::string> splitFields(const std::string& line, int count) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (int i = 0; i + 1 < count; ++i) {
        auto colon = line.find(':', start);
        if (colon == std::string::npos) break;
        fields.push_back(line.substr(start, colon - start));
        start = colon + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

} // namespace

BookView openpyxlView(const std::filesystem::path& book) {
    auto result = runPythonScript("dump_workbook.py", {book.string(), "--exact"});
    if (result.exitCode != 0)
        throw std::runtime_error("openpyxl failed on " + book.string() + ": " + result.err);
    BookView view;
    std::istringstream lines(result.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("#sheet:", 0) == 0) {
            auto f = splitFields(line, 6); // #sheet INDEX KIND MAXROW MAXCOL NAME
            view.sheets.push_back({f[2], std::stoi(f[3]), std::stoi(f[4]), f[5]});
        } else if (line.rfind("#active:", 0) == 0) {
            view.active = std::stoi(line.substr(8));
        } else {
            auto bang = line.find('!');
            auto f = splitFields(line.substr(bang + 1), 3); // REF KIND VALUE
            auto [row, column] = parseRef(f[0]);
            view.cells[{std::stoi(line.substr(0, bang)), row, column}] = {f[1][0], unescape(f[2])};
        }
    }
    return view;
}

} // namespace testsupport
