#pragma once

// The order workbooks in .xls and .ods that LibreOffice made from the .xlsx fixtures, beside them.

#include "support/TestPaths.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace orderstest {

inline std::filesystem::path orderFixture(const std::string& relative) {
    return testsupport::fixture("orders/" + relative);
}

// The booking cases whose order.xlsx was converted: cases/NAME.xls and cases/NAME.ods.
inline std::vector<std::string> convertedCases() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(orderFixture("cases")))
        if (entry.path().extension() == ".xls") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

inline std::filesystem::path caseOrder(const std::string& name) {
    return testsupport::fixture("stock/cases/" + name + "/order.xlsx");
}

} // namespace orderstest
