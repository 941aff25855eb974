#pragma once

// Mutation inside the package: most byte flips in a zip file only break its checksums, so the
// fuzzer would hardly ever reach the XML. This opens the zip, lets libFuzzer mutate one entry's
// uncompressed bytes (or its name), and packs it again with correct checksums.

#include <cstddef>
#include <cstdint>

namespace fuzz {

// Mutates the package in data[0, size) in place; returns the new size (at most maxSize), or 0 when
// the input is no readable zip or the result would not fit.
std::size_t mutateEntry(std::uint8_t* data, std::size_t size, std::size_t maxSize, unsigned seed);

// The custom mutator of the package targets: mostly mutateEntry, one mutation in four (and whatever
// mutateEntry cannot do) on the raw bytes, so the zip layer itself is fuzzed as well.
std::size_t mutatePackage(std::uint8_t* data, std::size_t size, std::size_t maxSize, unsigned seed);

} // namespace fuzz
