// A topic page's charset and its conversion into the project's code page, before the page is
// parsed. A page tells its charset by a byte-order mark, or by a meta element among its first
// 1,024 bytes (`<meta charset=...>`, or `charset=` inside the content of an http-equiv
// Content-Type meta, as doxygen and Sphinx write them), read the way browsers read it. Charset
// labels mean what browsers take them to mean, so "iso-8859-1" and "us-ascii" are Windows-1252.
// A page that declares nothing, or a charset the program cannot convert, is read as it is: in
// the project's code page.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "support/code_page.h"

struct UConverter;

namespace tarnwick {

// The name of the charset the page declares by its byte-order mark or its first 1,024 bytes
// ("UTF-8", "windows-1252", "Shift_JIS", "ISO-8859-2" ...), whether or not it can be
// converted, or empty when it declares none that the program knows.
std::string_view DeclaredCharset(std::string_view page);

// Converts pages into one project's code page. One per parser thread: it keeps its buffer and
// its converters from page to page, and is not safe to share between threads.
class TPageConverter {
public:
    // `project` must outlive the converter (TCodePage::For gives code pages that live for ever).
    explicit TPageConverter(const TCodePage& project);
    ~TPageConverter();
    TPageConverter(const TPageConverter&) = delete;
    TPageConverter& operator=(const TPageConverter&) = delete;

    // The page in the project's code page. A page in that code page already, one without a
    // declaration or with one the program cannot convert, and one of plain ASCII (no byte from
    // 0x80 up) come back as `raw` itself, or after a UTF-8 byte-order mark as the rest of
    // `raw`: nothing is copied. Otherwise each character becomes its bytes in the code page,
    // and a character the code page lacks, or a malformed byte sequence, one space; the
    // byte-order mark is dropped. The result then lies in the converter's own buffer and stays
    // valid until the next call.
    std::string_view Convert(std::string_view raw);

    // Gives the memory back when a page was much larger than the usual ones, so that one huge
    // page does not keep its converted copy for the rest of the run.
    void Shrink(size_t keep) {
        if (buffer_.capacity() > keep) {
            std::string().swap(buffer_);
        }
        if (scratch_.capacity() > keep) {
            std::string().swap(scratch_);
        }
    }

private:
    std::string_view FromUtf8(std::string_view text, size_t asciiPrefix);
    std::string_view FromSingleByte(std::string_view text, size_t asciiPrefix, size_t charset);
    std::string_view FromOther(std::string_view text, size_t asciiPrefix, size_t charset);
    // Appends the bytes' characters, read by `converter` from its initial state.
    void AppendThroughIcu(UConverter* converter, const char* source, const char* sourceEnd);
    UConverter* ConverterFor(size_t charset);

    // A character's bytes in the project's code page as one value: up to 0xFF one byte, else
    // a lead byte (high) and a trail byte (low); a space for a character the code page lacks.
    std::uint16_t EntryFor(char32_t codePoint);
    // Tables of such values: for each byte from 0x80 up of a single-byte charset, and for each
    // character of two UTF-8 bytes (U+0080 to U+07FF).
    using TByteTable = std::array<std::uint16_t, 0x80>;
    using TTwoByteTable = std::array<std::uint16_t, 0x800 - 0x80>;

    const TCodePage& project_;
    std::string buffer_;
    // ICU's converter for each charset, opened on first use; a charset whose converter could
    // not be opened keeps a marker so that it is not tried again.
    std::vector<UConverter*> converters_;
    std::vector<bool> unavailable_;
    std::vector<std::unique_ptr<TByteTable>> byteTables_;
    std::unique_ptr<TTwoByteTable> twoByteTable_;
    std::string scratch_;
};

}  // namespace tarnwick
