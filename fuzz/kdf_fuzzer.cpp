// libFuzzer entry point: the container, any bytes as its file, then reads, writes, deletes and a
// close.
#include <cstddef>
#include <cstdint>

#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return tarnwick::fuzz::FuzzKdf(data, size);
}
