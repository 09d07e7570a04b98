// libFuzzer entry point: the exclude-list reader, any bytes as a list file.
#include <cstddef>
#include <cstdint>

#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return tarnwick::fuzz::FuzzExcludeList(data, size);
}
