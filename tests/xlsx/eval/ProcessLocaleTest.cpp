// The formula suite (every generated case of the LibreOffice comparison) computed twice: in the C
// locale and with a locale in force whose decimal point is a comma. Nothing the evaluator computes
// may follow the process locale: numbers as text, texts as numbers, TEXT and FIXED formats.

#include "EvalTestSupport.h"
#include "support/CommaLocale.h"
#include "support/Python.h"
#include "support/TestPaths.h"

#include <clocale>
#include <cstdio>
#include <gtest/gtest.h>

namespace evaltest {
namespace {

struct Outcome {
    xlsx::eval::EvalResult result;
    std::string formula;
};

std::vector<Outcome> computeAll(GridSource& grid) {
    const int sheet = grid.sheetIndex("Cases");
    xlsx::eval::Evaluator evaluator(grid);
    evaluator.setNow(45322.5); // TODAY() and NOW() alike in both runs
    std::vector<Outcome> outcomes;
    for (std::uint32_t row = 1; row <= grid.extent(sheet).rows; ++row)
        outcomes.push_back({evaluator.value(sheet, row, 1), std::string(grid.cell(sheet, row, 2).text)});
    return outcomes;
}

TEST(ProcessLocale, TheFormulaSuiteGivesTheSameResultsUnderACommaLocale) {
    auto dump = testsupport::runPythonScript("dump_cells.py",
                                             {testsupport::fixture("formulas/functions.xlsx").string()});
    ASSERT_EQ(dump.exitCode, 0) << dump.err;
    // Read before the locale changes; each run gets a grid of its own, as computing stores results.
    GridSource first = GridSource::fromDump(dump.out), second = GridSource::fromDump(dump.out);
    auto inC = computeAll(first);
    ASSERT_GT(inC.size(), 10000u);

    testsupport::CommaLocale locale;
    if (!locale.active()) GTEST_SKIP() << "no locale with a comma decimal point can be had here";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    ASSERT_STREQ(probe, "1,5"); // the locale is in force
    auto inComma = computeAll(second);

    ASSERT_EQ(inComma.size(), inC.size());
    int differences = 0, texts = 0;
    for (std::size_t i = 0; i < inC.size(); ++i) {
        const auto& a = inC[i].result;
        const auto& b = inComma[i].result;
        bool same = a.computed == b.computed && a.problem == b.problem && a.value == b.value;
        texts += a.computed && a.value.isText() && a.value.text.find('.') != std::string::npos;
        if (!same && ++differences <= 20)
            ADD_FAILURE() << inC[i].formula << ": " << shown(a) << " in C, " << shown(b) << " under "
                          << locale.name();
    }
    EXPECT_EQ(differences, 0);
    // The suite does hold texts with a decimal point, which a locale-bound formatter would change.
    EXPECT_GT(texts, 100);
}

} // namespace
} // namespace evaltest
