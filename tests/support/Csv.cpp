#include "support/Csv.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace testsupport {

std::vector<std::string> splitCsvLine(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

bool sameValue(const std::string& a, const std::string& b) {
    if (a == b) return true;
    char* endA = nullptr;
    char* endB = nullptr;
    double x = std::strtod(a.c_str(), &endA);
    double y = std::strtod(b.c_str(), &endB);
    if (*endA || *endB || a.empty() || b.empty()) return false;
    return std::fabs(x - y) <= 1e-9 * std::max(1.0, std::fabs(y));
}

bool sameCsv(const std::string& a, const std::string& b, std::string* where) {
    std::istringstream left(a), right(b);
    std::string lineA, lineB;
    for (int row = 1;; ++row) {
        bool moreA = static_cast<bool>(std::getline(left, lineA));
        bool moreB = static_cast<bool>(std::getline(right, lineB));
        if (!moreA && !moreB) return true;
        auto fieldsA = moreA ? splitCsvLine(lineA) : std::vector<std::string>{};
        auto fieldsB = moreB ? splitCsvLine(lineB) : std::vector<std::string>{};
        bool same = fieldsA.size() == fieldsB.size() &&
                    std::equal(fieldsA.begin(), fieldsA.end(), fieldsB.begin(), sameValue);
        if (!same) {
            if (where) *where = "row " + std::to_string(row) + ": " + lineA + " | " + lineB;
            return false;
        }
    }
}

} // namespace testsupport
