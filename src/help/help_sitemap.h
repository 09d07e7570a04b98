// The navigation files of a compiled help file as the help window lists them: the sitemap
// entries of the contents (.hhc) and the keyword index (.hhk), and the title of a topic page.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// One topic an entry leads to: its "Local" path as written, and the "Name" given just before it
// in the same entry after the entry's own name (a topic title), if any.
struct TSitemapTopic {
    std::string Title;
    std::string Local;
};

// One <OBJECT type="text/sitemap"> of a sitemap, in file order.
struct TSitemapEntry {
    int Depth = 0;     // 0 in the outermost list, 1 in a list inside it, and so on
    std::string Name;  // the first "Name" parameter: the heading or keyword
    std::vector<TSitemapTopic> Topics;
};

// Reads a sitemap's entries. Tolerant as help readers are: tag and parameter names in any
// letter case, quoted or bare values, comments skipped, a missing </UL> or </OBJECT> closed by
// what follows. Values keep their bytes except for the entities &amp; &lt; &gt; &quot; &apos;
// and numeric references below 256, which are decoded (Windows-1252 text stays as it is).
std::vector<TSitemapEntry> ReadSitemap(std::string_view bytes);

// The text of a page's <title> element with runs of blanks made one space and the ends trimmed,
// entities decoded as above; empty when there is none.
std::string ReadPageTitle(std::string_view page);

// Decodes the entities named above; anything else, "R&D" included, stays as written.
std::string DecodeEntities(std::string_view text);

}  // namespace tarnwick
