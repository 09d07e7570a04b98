// The .hhk as the output tests expect it, written out by hand from the format: the head, the
// tail and the block of one word and topic.
#pragma once

#include <string>

namespace tarnwick::testing {

inline const std::string kIndexHead =
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

inline const std::string kIndexTail = "</UL>\r\n</BODY></HTML>";

inline std::string IndexBlock(const std::string& word, const std::string& topic) {
    return "   <LI> <OBJECT type=\"text/sitemap\">\r\n"
           "\t   <param name=\"Name\" value=\"" +
           word +
           "\">\r\n"
           "\t   <param name=\"Local\" value=\"" +
           topic +
           "\">\r\n"
           "\t   </OBJECT>\r\n";
}

}  // namespace tarnwick::testing
