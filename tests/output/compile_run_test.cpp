// The compile run's staging: what the copy of a project that chmcmd compiles holds, and how
// chmcmd's lines are sorted. The runs with chmcmd itself are in the command line's tests.
#include "output/compile_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "common/temp_folder.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

struct StagingCase {
    const char* Name;
    Files Project;  // the author's files; "p.hhp" is the project
    Files Staged;   // files the staging writes, with their bytes
    std::string CompiledName;
    int Notes;
    int Warnings;
};

std::vector<StagingCase> StagingCases() {
    return {
        {"entries spelled as on disk, missing ones left out",
         {{"p.hhp",
           "[OPTIONS]\r\nCompiled file=..\\Release\\Out.chm\r\nDefault topic=SUB\\Page.htm\r\n"
           "Index file=p.hhk\r\n\r\n[WINDOWS]\r\n"
           "main=\"T\",\"toc.HHC\",\"p.hhk\",\"sub\\page.htm\",\"Sub\\Gone.htm\",,,,,0x520\r\n"
           "\r\n[FILES]\r\nsub\\PAGE.htm\r\nmissing.htm\r\n..\\outside.htm\r\n"
           "sub/page.htm\r\n"},
          {"sub/page.htm", "<p>a</p>"},
          {"toc.hhc", ""},
          {"Out.chm", "old"}},
         {{"p.hhp",
           "[OPTIONS]\r\nCompiled file=Out.chm\r\nDefault topic=sub/page.htm\r\n"
           "\r\n[WINDOWS]\r\n"
           "main=\"T\",\"toc.hhc\",\"p.hhk\",\"sub/page.htm\",\"Sub\\Gone.htm\",,,,,0x520\r\n"
           "\r\n[FILES]\r\nsub/page.htm\r\nsub/page.htm\r\n"}},
         "Out.chm",
         // Compiled file, Default topic, toc.HHC, sub\PAGE.htm respelled; one "\" note.
         5,
         // missing.htm, ..\outside.htm; the index p.hhk, not built yet, left out.
         3},
        {"aliases and context IDs that have no partner left out",
         {{"p.hhp",
           "[OPTIONS]\nCompiled file=p.chm\n[FILES]\na.htm\nb.htm\n[ALIAS]\n#include ALIAS.h\n"
           "IDH_INLINE\t\t= B.htm ; inline\n[MAP]\n#include map.h\n#define IDH_LOOSE 9\n"},
          {"alias.h",
           "; aligned as the format writes it\r\nIDH_A    = a.htm\r\nIDH_NOMAP = a.htm\r\n"
           "IDH_SAME = A.HTM\r\nIDH_NOFILE=gone.htm\r\nIDH_CHM=p.chm::/html\\..\\b.htm\r\n"},
          {"map.h",
           "#ifndef MAP_H\r\n#define MAP_H\r\n#define IDH_A 0x10\r\n#define IDH_SAME 2\r\n"
           "#define IDH_NOFILE 3\r\n#define IDH_INLINE\t4 // popup\r\n#define IDH_UNUSED 5\r\n"
           "#define IDH_CHM 6\r\n#endif\r\n"},
          {"a.htm", ""},
          {"b.htm", ""}},
         {{"p.hhp",
           "[OPTIONS]\nCompiled file=p.chm\n[FILES]\na.htm\nb.htm\n[ALIAS]\n#include alias.h\n"
           "IDH_INLINE=b.htm ; inline\n[MAP]\n#include map.h\n"},
          // IDH_CHM's topic leads through a folder that does not exist: left out.
          {"alias.h", "; aligned as the format writes it\r\nIDH_A=a.htm\r\n"},
          {"map.h",
           "#ifndef MAP_H\r\n#define MAP_H\r\n#define IDH_A 0x10\r\n#define IDH_INLINE 4\r\n"
           "#endif\r\n"}},
         "p.chm",
         // Blanks in alias.h and [ALIAS]; B.htm respelled; IDH_INLINE's define made plain.
         4,
         // NOMAP; SAME; NOFILE and CHM; map.h's four; [MAP]'s IDH_LOOSE.
         5},
        {"quotes in an index's names written as entities",
         {{"p.hhp", "[OPTIONS]\r\nCompiled file=p.chm\r\nIndex file=P.HHK\r\n"},
          {"p.hhk",
           "<UL>\r\n\t<LI> <OBJECT type=\"text/sitemap\">\r\n"
           "\t   <param name=\"Name\" value=\"say \"hi\"\">\r\n"
           "\t   <param name=\"Local\" value=\"a.htm\">\r\n"}},
         {{"p.hhp", "[OPTIONS]\r\nCompiled file=p.chm\r\nIndex file=p.hhk\r\n"},
          {"p.hhk",
           "<UL>\r\n\t<LI> <OBJECT type=\"text/sitemap\">\r\n"
           "\t   <param name=\"Name\" value=\"say &quot;hi&quot;\">\r\n"
           "\t   <param name=\"Local\" value=\"a.htm\">\r\n"}},
         "p.chm",
         2,
         0},
        {"a compiled file is named when the project names none",
         {{"Help.hhp", "; no options\n[FILES]\nx.htm\n"}, {"x.htm", ""}},
         {{"Help.hhp", "[OPTIONS]\nCompiled file=Help.chm\n; no options\n[FILES]\nx.htm\n"}},
         "Help.chm",
         0,
         0},
    };
}

TEST(CompileStagingTest, StagedCopyIsWhatChmcmdCanCompile) {
    for (const StagingCase& c : StagingCases()) {
        SCOPED_TRACE(c.Name);
        testing::TempFolder project;
        testing::TempFolder staging;
        for (const auto& [name, bytes] : c.Project) {
            project.Write(name, bytes);
        }
        const std::string hhp = c.Project.count("p.hhp") ? "p.hhp" : "Help.hhp";
        const TStagedProject staged =
            StageProject(project.File(hhp), staging.Path().string(), StagingMode::Link);
        EXPECT_EQ(staged.ProjectName, hhp);
        EXPECT_EQ(staged.CompiledName, c.CompiledName);
        int notes = 0;
        int warnings = 0;
        std::string said;
        for (const TCompileLine& line : staged.Adjustments) {
            notes += line.Kind == CompileLineKind::Note;
            warnings += line.Kind == CompileLineKind::Warning;
            said += line.Text + "\n";
        }
        EXPECT_EQ(notes, c.Notes) << said;
        EXPECT_EQ(warnings, c.Warnings) << said;

        for (const auto& [name, bytes] : c.Staged) {
            EXPECT_FALSE(fs::is_symlink(staging.Path() / name)) << name;
            EXPECT_EQ(testing::Slurp(staging.Path() / name), bytes) << name;
        }
        for (const auto& [name, bytes] : c.Project) {
            // The author's files are as they were; the ones not rewritten are linked, except
            // an earlier compiled file, which chmcmd must not write through.
            EXPECT_EQ(testing::Slurp(project.Path() / name), bytes) << name;
            const fs::path there = staging.Path() / name;
            if (name == c.CompiledName) {
                EXPECT_FALSE(fs::exists(fs::symlink_status(there))) << name;
            } else if (!c.Staged.count(name) && name != "alias.h" && name != "map.h") {
                EXPECT_TRUE(fs::is_symlink(there)) << name;
            }
        }
    }
}

TEST(CompileStagingTest, ChmcmdLinesAreSortedByWhatTheyMeanForTheHelp) {
    const struct {
        const char* Printed;
        CompileLineKind Kind;
        const char* Shown;  // empty: as printed
    } cases[] = {
        {"Warning: Found file a.gif while scanning b.htm, but couldn't find it on disk",
         CompileLineKind::Warning, ""},
        // The help is whole; only the link lands at the top of its page.
        {"Error: Anchor a.htm#x undefined; first use b.htm", CompileLineKind::Warning,
         "Warning: Anchor a.htm#x undefined; first use b.htm"},
        {"Error: Html parsing a.htm, failed with a DOM error: EDOMError in X",
         CompileLineKind::Warning,
         "Warning: Html parsing a.htm, failed with a DOM error: EDOMError in X"},
        // A link with a line break in it: chmcmd's line ends there.
        {"Error: Anchor html/", CompileLineKind::Warning, "Warning: Anchor html/"},
        {"Error: something new", CompileLineKind::Error, ""},
        {"This HHP CHM project seems corrupt, please check it p.hhp (context \"A\" not found!)",
         CompileLineKind::Error,
         "Error: This HHP CHM project seems corrupt, please check it p.hhp (context \"A\" not "
         "found!)"},
        {"An unhandled exception occurred at $0000000000416AC9:", CompileLineKind::Error,
         "Error: An unhandled exception occurred at $0000000000416AC9:"},
        {"EFOpenError: Unable to open file \"x.png\"", CompileLineKind::Error,
         "Error: EFOpenError: Unable to open file \"x.png\""},
        {"Note: Index items:113", CompileLineKind::Note, ""},
        {"Writing CHM p.chm", CompileLineKind::Note, "Note: Writing CHM p.chm"},
        {"chmcmd, a CHM compiler. (c) 2010-2019 Free Pascal core.", CompileLineKind::Note,
         "Note: chmcmd, a CHM compiler. (c) 2010-2019 Free Pascal core."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Printed);
        const TCompileLine line = ClassifyCompilerLine(c.Printed);
        EXPECT_EQ(line.Kind, c.Kind);
        EXPECT_EQ(line.Text, *c.Shown ? c.Shown : c.Printed);
    }
    EXPECT_TRUE(ClassifyCompilerLine(" \t").Text.empty());
}

}  // namespace
}  // namespace tarnwick
