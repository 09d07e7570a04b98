// libFuzzer entry point: the recently used list, from any records or any configuration file.
#include <cstddef>
#include <cstdint>

#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return tarnwick::fuzz::FuzzMruLoad(data, size);
}
