// Reading contents and index sitemaps as help authors and their tools write them, and page titles.
#include "help/help_sitemap.h"

#include <gtest/gtest.h>

#include "common/temp_folder.h"

namespace tarnwick {
namespace {

TEST(SitemapTest, ContentsNestingGivesDepths) {
    const std::string hhc =
        "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">\r\n<HTML><BODY>\r\n"
        "<OBJECT type=\"text/site properties\"><param name=\"ImageType\" value=\"Folder\">"
        "</OBJECT>\r\n"
        "<UL>\r\n"
        "  <LI> <OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Welcome\">"
        "<param name=\"Local\" value=\"html\\welcome.htm\"></OBJECT>\r\n"
        "  <LI> <OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Working\"></OBJECT>\r\n"
        "  <UL>\r\n"
        "    <LI> <OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Main\">"
        "<param name=\"Local\" value=\"html/main.htm#menus\"></OBJECT>\r\n"
        "    <UL><LI> <OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Deep\">"
        "<param name=\"Local\" value=\"deep.htm\"></OBJECT></UL>\r\n"
        "  </UL>\r\n"
        "  <LI> <OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Last\">"
        "<param name=\"Local\" value=\"last.htm\"></OBJECT>\r\n"
        "</UL></BODY></HTML>";
    const auto entries = ReadSitemap(hhc);
    ASSERT_EQ(entries.size(), 5u);  // the site properties object is no entry
    const std::pair<const char*, int> expected[] = {
        {"Welcome", 0}, {"Working", 0}, {"Main", 1}, {"Deep", 2}, {"Last", 0}};
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].Name, expected[i].first);
        EXPECT_EQ(entries[i].Depth, expected[i].second) << entries[i].Name;
    }
    EXPECT_TRUE(entries[1].Topics.empty());  // a heading
    EXPECT_EQ(entries[0].Topics.at(0).Local, "html\\welcome.htm");
    EXPECT_EQ(entries[2].Topics.at(0).Local, "html/main.htm#menus");
}

TEST(SitemapTest, IndexEntriesWithSeveralTopicsAndTitles) {
    // Tarnwick's own writer: one topic per entry, verbatim values, tabs before the params.
    const std::string tarnwick =
        "<UL>\r\n   <LI> <OBJECT type=\"text/sitemap\">\r\n\t   <param name=\"Name\" "
        "value=\"R&D\">\r\n\t   <param name=\"Local\" value=\"a.htm\">\r\n\t   </OBJECT>\r\n"
        "</UL>\r\n</BODY></HTML>";
    const auto own = ReadSitemap(tarnwick);
    ASSERT_EQ(own.size(), 1u);
    EXPECT_EQ(own[0].Name, "R&D");  // not an entity: kept as written
    ASSERT_EQ(own[0].Topics.size(), 1u);
    EXPECT_EQ(own[0].Topics[0].Title, "");

    // Another tool's style: topic titles as further Name params, several Locals in one entry.
    const std::string other =
        "<ul><li><object type=\"text/sitemap\">"
        "<param name=\"Name\" value=\"printing\">"
        "<param name=\"Name\" value=\"Printing a page\"><param name=\"Local\" value=\"p.htm\">"
        "<param name=\"Local\" value=\"q.htm\">"
        "</object></ul>";
    const auto entries = ReadSitemap(other);
    ASSERT_EQ(entries.size(), 1u);
    ASSERT_EQ(entries[0].Topics.size(), 2u);
    EXPECT_EQ(entries[0].Topics[0].Title, "Printing a page");
    EXPECT_EQ(entries[0].Topics[0].Local, "p.htm");
    EXPECT_EQ(entries[0].Topics[1].Title, "");  // a title belongs to the next Local only
    EXPECT_EQ(entries[0].Topics[1].Local, "q.htm");
}

TEST(SitemapTest, ToleratesWhatHandWrittenFilesHold) {
    const std::string messy =
        "<!-- <OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"commented\"> -->"
        "<Ul><Li><Object Type=\"TEXT/SITEMAP\"><PARAM NAME=name VALUE='Bare &amp; quoted'>"
        "<param name=\"local\" value=\"x.htm\">"
        // no </OBJECT>: the next object closes this one
        "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"caf&#233; &eacute; "
        "&#x2014; &bogus; &#0;\"><param value=\"no name\"><param name=\"Local\" value=\"y.htm\">"
        "</OBJECT></uL></ul></UL>"
        "<OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"after the lists\">"
        "<param name=\"Local\" value=\"z.htm";  // cut off in the middle of a value
    const auto entries = ReadSitemap(messy);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].Name, "Bare & quoted");
    EXPECT_EQ(entries[0].Topics.at(0).Local, "x.htm");
    EXPECT_EQ(entries[1].Name, "caf\xE9 \xE9 \x97 &bogus; &#0;");  // Windows-1252 bytes
    EXPECT_EQ(entries[1].Topics.size(), 1u);
    EXPECT_EQ(entries[2].Name, "after the lists");
    EXPECT_EQ(entries[2].Depth, 0);  // extra </UL>s do not go below the outer level
    EXPECT_EQ(entries[2].Topics.at(0).Local, "z.htm");
}

TEST(SitemapTest, TheHelpsOwnNavigationFilesRead) {
    const std::string help = std::string(TARNWICK_SOURCE_DIR) + "/help/";
    const auto contents = ReadSitemap(testing::Slurp(help + "Tarnwick.hhc"));
    ASSERT_GE(contents.size(), 10u);
    EXPECT_EQ(contents.front().Name, "Welcome to Tarnwick");
    const auto index = ReadSitemap(testing::Slurp(help + "Tarnwick_fallback.hhk"));
    ASSERT_GE(index.size(), 20u);
    for (const TSitemapEntry& entry : index) {
        EXPECT_EQ(entry.Topics.size(), 1u) << entry.Name;
    }
}

TEST(PageTitleTest, TitleTextIsTidied) {
    struct Case {
        const char* page;
        const char* title;
    };
    const Case cases[] = {
        {"<html><head><title>The main window</title></head>", "The main window"},
        {"<HTML><TITLE>\r\n  Alias &amp;\tmap\r\n files </TITLE>", "Alias & map files"},
        {"<title lang=\"en\">Caf&eacute;</title>", "Caf\xE9"},
        {"<html><body>No title here</body></html>", ""},
        {"<title></title>", ""},
        {"<title>Unclosed", "Unclosed"},
        {"<titles>not it</titles><title>It</title>", "It"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReadPageTitle(c.page), c.title) << c.page;
    }
}

}  // namespace
}  // namespace tarnwick
