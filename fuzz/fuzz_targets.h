// The bodies of Tarnwick's fuzz targets: each takes any bytes, drives one reader of outside
// input with them and checks what must hold whatever the bytes are. The libFuzzer entry points
// (one executable per target) and the regression test that replays saved inputs both call
// these, so a crash found once stays found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::fuzz {

// A target's body: returns 0; a broken rule aborts the process with a message on stderr.
using TargetFn = int (*)(const std::uint8_t* data, std::size_t size);

// The project scanner on the bytes as a project file.
int FuzzHhpScanner(const std::uint8_t* data, std::size_t size);
// The topic parser: the first byte is the option byte (bit 0x80 also hands the parser a
// secondary exclude list), the rest is the page.
int FuzzHtmlParser(const std::uint8_t* data, std::size_t size);
// The exclude-list reader on the bytes as a list file, then a save and a reload.
int FuzzExcludeList(const std::uint8_t* data, std::size_t size);
// The container: byte 0 the number of operations (modulo 24), byte 1 the key type asked for at
// Open (modulo 16), then three bytes per operation, then the file's bytes. The file is opened,
// the operations run (reads, writes, deletes), it is closed, reopened and checked.
int FuzzKdf(const std::uint8_t* data, std::size_t size);
// The recently used list. Even first byte: the rest holds up to ten records (each a 16-bit
// little-endian length, then that many bytes) stored under keys 100 to 109 of a sound
// configuration, which is then loaded, saved and loaded again. Odd first byte: the rest is the
// configuration file itself, which the next start must read, or report once and replace.
int FuzzMruLoad(const std::uint8_t* data, std::size_t size);

struct TargetInfo {
    std::string_view Name;  // also the folder of its corpus and of its saved findings
    TargetFn Fn;
};
// Every target, by name.
const std::vector<TargetInfo>& Targets();

}  // namespace tarnwick::fuzz
