#pragma once

// Runs the tools we check our files with (Debian's python3 with openpyxl, LibreOffice) as real
// processes, so that tests see what those programs see.

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs argv[0] (searched in PATH) with the arguments; waits and collects both output streams.
ProcessResult runProcess(const std::vector<std::string>& argv);

// Runs a script from tests/support with Debian's python3 (which has openpyxl and xlsxwriter).
ProcessResult runPythonScript(const std::string& script, const std::vector<std::string>& args);

// openpyxl's view of a workbook, one line per non-empty cell: "Sheet!B12:n:6.5" (n number,
// s text, b boolean, d date/time, e error, f formula: its text). Throws when openpyxl fails.
std::string openpyxlDump(const std::filesystem::path& workbook, bool formulas = false);

// Whether Debian's python3 has `module`: some are only installed for the tests (scripts/setup --test),
// and a test that needs one skips, saying so, without it.
bool pythonCanImport(const std::string& module);

// LibreOffice where installed ("" otherwise); tests that need it say they were skipped.
std::string soffice();

} // namespace testsupport
