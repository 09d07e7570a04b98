// libFuzzer entry point: the project scanner, any bytes as a project file.
#include <cstddef>
#include <cstdint>

#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return tarnwick::fuzz::FuzzHhpScanner(data, size);
}
