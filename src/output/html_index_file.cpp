// The .hhk format as Tarnwick writes it. Every line ends in CR LF except the very last one; the
// text is single-byte, no byte-order mark. For the words "Ampersand" (in a.htm) and "Help" (in
// a.htm and b.htm) the file reads, with <CRLF> for the two bytes and <TAB> for 0x09:
//
//   <!DOCTYPE HTML PUBLIC "-//IETF//DTD HTML//EN"><CRLF>              head, 272 bytes
//   <HTML><CRLF>
//   <HEAD><CRLF>
//   <meta name="GENERATOR" content="Microsoft&reg; HTML Help Workshop 4.1"><CRLF>
//   <!-- Sitemap 1.0 --><CRLF>
//   </HEAD><BODY><CRLF>
//   <OBJECT type="text/site properties"><CRLF>
//      <param name="FrameName" value="right"><CRLF>
//   </OBJECT><CRLF>
//   <UL><CRLF>
//      <LI> <OBJECT type="text/sitemap"><CRLF>                       one block per word and
//   <TAB>   <param name="Name" value="Ampersand"><CRLF>                topic: 122 bytes plus
//   <TAB>   <param name="Local" value="a.htm"><CRLF>                   the word and the topic
//   <TAB>   </OBJECT><CRLF>
//      <LI> <OBJECT type="text/sitemap"><CRLF>
//   <TAB>   <param name="Name" value="Help"><CRLF>
//   <TAB>   <param name="Local" value="a.htm"><CRLF>
//   <TAB>   </OBJECT><CRLF>
//      <LI> <OBJECT type="text/sitemap"><CRLF>                       a word in two topics is
//   <TAB>   <param name="Name" value="Help"><CRLF>                     two blocks, never a
//   <TAB>   <param name="Local" value="b.htm"><CRLF>                   nested list
//   <TAB>   </OBJECT><CRLF>
//   </UL><CRLF>                                                      tail, 21 bytes, no line
//   </BODY></HTML>                                                   end after </HTML>
//
// Words and topics go in unchanged: help compilers read the value attribute up to the closing
// quote, and the files this writes have always been read that way.
#include "output/html_index_file.h"

#include <cstring>

namespace tarnwick {
namespace {

constexpr std::string_view kHeader =
    "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">\r\n"
    "<HTML>\r\n"
    "<HEAD>\r\n"
    "<meta name=\"GENERATOR\" content=\"Microsoft&reg; HTML Help Workshop 4.1\">\r\n"
    "<!-- Sitemap 1.0 -->\r\n"
    "</HEAD><BODY>\r\n"
    "<OBJECT type=\"text/site properties\">\r\n"
    "   <param name=\"FrameName\" value=\"right\">\r\n"
    "</OBJECT>\r\n"
    "<UL>\r\n";

// The entry template, cut at its two placeholders (word, then topic).
constexpr std::string_view kEntryBeforeWord =
    "   <LI> <OBJECT type=\"text/sitemap\">\r\n"
    "\t   <param name=\"Name\" value=\"";
constexpr std::string_view kEntryBeforeTopic =
    "\">\r\n"
    "\t   <param name=\"Local\" value=\"";
constexpr std::string_view kEntryAfterTopic =
    "\">\r\n"
    "\t   </OBJECT>\r\n";

constexpr std::string_view kFooter =
    "</UL>\r\n"
    "</BODY></HTML>";

static_assert(kHeader.size() == THtmlIndexFile::kHeaderSize);
static_assert(kEntryBeforeWord.size() + kEntryBeforeTopic.size() + kEntryAfterTopic.size() ==
              THtmlIndexFile::kEntryFixedSize);
static_assert(kFooter.size() == THtmlIndexFile::kFooterSize);

}  // namespace

THtmlIndexFile::THtmlIndexFile(const std::string& path, TFileSystem& system)
    : file_(path, TFileWriter::Options{.KeepBackup = true}, system) {}

void THtmlIndexFile::WriteHeader() {
    file_.Write(kHeader);
}

void THtmlIndexFile::WriteEntry(std::string_view word, std::string_view topic) {
    // A big index has millions of blocks: each is put together in the writer's buffer at once.
    const size_t size = kEntryFixedSize + word.size() + topic.size();
    if (size > TFileWriter::kBufferSize) {
        file_.Write(kEntryBeforeWord);
        file_.Write(word);
        file_.Write(kEntryBeforeTopic);
        file_.Write(topic);
        file_.Write(kEntryAfterTopic);
        return;
    }
    // The fixed pieces are copied with sizes known here, which the compiler turns into moves.
    char* p = file_.Room(size);
    std::memcpy(p, kEntryBeforeWord.data(), kEntryBeforeWord.size());
    p += kEntryBeforeWord.size();
    std::memcpy(p, word.data(), word.size());
    p += word.size();
    std::memcpy(p, kEntryBeforeTopic.data(), kEntryBeforeTopic.size());
    p += kEntryBeforeTopic.size();
    std::memcpy(p, topic.data(), topic.size());
    p += topic.size();
    std::memcpy(p, kEntryAfterTopic.data(), kEntryAfterTopic.size());
}

void THtmlIndexFile::Reserve(std::uint64_t size) {
    file_.Reserve(size);
}

void THtmlIndexFile::WriteFooter() {
    file_.Write(kFooter);
}

void THtmlIndexFile::Close() {
    file_.Close();
}

}  // namespace tarnwick
