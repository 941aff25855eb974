// libFuzzer target: hostile .xls order workbooks (OLE compound files) through the opener a run uses.

#include "FuzzFolder.h"
#include "WorkbookHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::exerciseOrder(data, size, fuzz::workFolder(), ".xls");
    return 0;
}
