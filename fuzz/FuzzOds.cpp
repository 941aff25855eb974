// libFuzzer target: hostile .ods order workbooks through the opener a run uses.

#include "FuzzFolder.h"
#include "WorkbookHarness.h"
#include "ZipMutator.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::exerciseOrder(data, size, fuzz::workFolder(), ".ods");
    return 0;
}

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned int seed) {
    return fuzz::mutatePackage(data, size, maxSize, seed);
}
