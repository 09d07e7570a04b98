// libFuzzer entry point: the topic parser, any option byte and any page.
#include <cstddef>
#include <cstdint>

#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return tarnwick::fuzz::FuzzHtmlParser(data, size);
}
