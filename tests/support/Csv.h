#pragma once

// The CSV files LibreOffice writes for the tests (tests/support/libreoffice_csv.py), read back.

#include <string>
#include <vector>

namespace testsupport {

std::vector<std::string> splitCsvLine(const std::string& line);

// Two cell texts alike: equal, or numbers equal to 9 significant digits (LibreOffice and the
// application may round the last bits of a sum differently).
bool sameValue(const std::string& a, const std::string& b);

// Two CSV texts with the same cells as sameValue compares them; the first difference in `where`.
bool sameCsv(const std::string& a, const std::string& b, std::string* where = nullptr);

} // namespace testsupport
