// libFuzzer target: hostile .xlsx packages through the engine's public contract.

#include "FuzzFolder.h"
#include "WorkbookHarness.h"
#include "ZipMutator.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::exerciseXlsx(data, size, fuzz::workFolder());
    return 0;
}

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned int seed) {
    return fuzz::mutatePackage(data, size, maxSize, seed);
}
