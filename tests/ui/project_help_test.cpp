// A help project's own compiled help in the project help window: the example projects built with
// tarnwick-cli (index, alias and map files) and compiled with chmcmd, then every alias opened by
// its context ID, and pages in their own charsets shown as their authors wrote them.
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QtTest>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/scripted_mesg.h"
#include "common/temp_folder.h"
#include "help/html_help.h"
#include "pipeline/hhp_scanner.h"
#include "platform/os.h"
#include "support/code_page.h"
#include "support/utils.h"
#include "ui/help.h"
#include "ui/help_viewer.h"

using namespace tarnwick;
using tarnwick::testing::ScriptedMesg;
using tarnwick::testing::Slurp;
using tarnwick::testing::TempFolder;
namespace fs = std::filesystem;

namespace {

bool HaveChmcmd() {
    return !QStandardPaths::findExecutable(QStringLiteral("chmcmd")).isEmpty();
}

// Runs a program in `folder`; its exit code (-1 when it did not run or end) and its output.
std::pair<int, std::string> RunIn(const fs::path& folder, const QString& program,
                                  const QStringList& arguments) {
    QProcess process;
    process.setWorkingDirectory(QString::fromStdString(folder.string()));
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool ended = process.waitForFinished(120000);
    const QByteArray output = process.readAll();
    return {ended && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            output.toStdString()};
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        lines.emplace_back(TrimBlanks(std::string_view(text).substr(start, end - start)));
        start = end + 1;
    }
    return lines;
}

// The file a project names by a path relative to its folder, as it is spelled on disk, relative
// again and with "/"; the path as given when no file matches.
std::string OnDisk(const fs::path& folder, const std::string& name) {
    const std::string prefix = folder.string() + "/";
    const std::string found = ResolvePathIgnoringCase(prefix + ToOpenPath(name));
    return found.empty() ? ToOpenPath(name) : found.substr(prefix.size());
}

// The lines of a project's section ("[ALIAS]"), with the lines of the files it includes in
// place of their "#include" lines.
std::vector<std::string> SectionLines(const fs::path& hhp, const std::string& header) {
    std::vector<std::string> lines;
    bool inSection = false;
    for (const std::string& line : SplitLines(Slurp(hhp))) {
        if (!line.empty() && line.front() == '[') {
            inSection = line == header;
        } else if (inSection && line.starts_with("#include")) {
            const std::string name(TrimBlanks(std::string_view(line).substr(8)));
            for (const std::string& included :
                 SplitLines(Slurp(hhp.parent_path() / ToOpenPath(name)))) {
                lines.push_back(included);
            }
        } else if (inSection) {
            lines.push_back(line);
        }
    }
    return lines;
}

// Every alias of a project whose context is defined in its map and whose topic is a file that
// no earlier alias names: context ID and the object path of the topic ("/html/intro.htm", as
// spelled on disk).
std::map<std::uint32_t, std::string> ExpectedContexts(const fs::path& hhp) {
    std::map<std::string, std::uint32_t> ids;
    for (const std::string& line : SectionLines(hhp, "[MAP]")) {
        char name[256];
        char number[64];
        if (std::sscanf(line.c_str(), "#define %255s %63s", name, number) == 2 &&
            std::isdigit(static_cast<unsigned char>(number[0]))) {
            ids[name] = static_cast<std::uint32_t>(std::stoul(number, nullptr, 0));
        }
    }
    std::map<std::uint32_t, std::string> expected;
    std::set<std::string> topics;
    for (const std::string& line : SectionLines(hhp, "[ALIAS]")) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos || line.front() == ';' || line.front() == '#') {
            continue;
        }
        const auto id = ids.find(std::string(TrimBlanks(line.substr(0, equals))));
        // What follows a ";" is the author's comment.
        const std::string named(TrimBlanks(line.substr(equals + 1, line.find(';') - equals - 1)));
        const std::string topic = "/" + OnDisk(hhp.parent_path(), named);
        // An alias of a file that is not there opens nothing; chmcmd stores one context ID per
        // topic, so the first alias of a topic is the one kept.
        if (id != ids.end() && FileExists(hhp.parent_path().string() + topic) &&
            topics.insert(topic).second) {
            expected.emplace(id->second, topic);
        }
    }
    return expected;
}

}  // namespace

class ProjectHelpTest : public QObject {
    Q_OBJECT
private:
    // Copies the project's folder, builds it with tarnwick-cli's `build` options and compiles
    // it; returns the copy's project file, whose compiled help then lies beside it. Empty, the
    // test failed, when a step did not work.
    fs::path BuildAndCompile(const QString& source, const QString& project, QStringList build) {
        const fs::path folder = copy_->Path() / "project";
        fs::copy(source.toStdString(), folder, fs::copy_options::recursive);
        const fs::path hhp = folder / project.toStdString();
        const auto [built, buildOutput] =
            RunIn(folder, QStringLiteral(TARNWICK_OUTPUT_DIR "/tarnwick-cli"),
                  build << QString::fromStdString(hhp.string()));
        if (built != 0) {
            QTest::qFail(buildOutput.c_str(), __FILE__, __LINE__);
            return {};
        }
        expected_ = ExpectedContexts(hhp);
        return hhp;
    }

    // Opens the project's compiled help as Help › View Compiled Help does.
    static TfrmHelp* View(const fs::path& hhp) {
        const ScriptedMesg mesg;
        const THhpScanResult scan = THhpScanner().Scan(hhp.string());
        if (!ViewProjectHelp(nullptr, hhp.string(), TCodePage::For(scan.CodePage)) ||
            !mesg.shown.empty()) {
            return nullptr;
        }
        return ProjectHelpWindow();
    }

    std::unique_ptr<TempFolder> copy_;
    std::map<std::uint32_t, std::string> expected_;

private slots:
    void init() {
        if (!HaveChmcmd()) {
            QSKIP("chmcmd (fp-utils) is not installed");
        }
        copy_ = std::make_unique<TempFolder>();
    }
    void cleanup() {
        delete ProjectHelpWindow();
        QCOMPARE(CHtmlHelp::LiveCount(), 0);  // the window took its file along
        copy_.reset();
    }

    // One row per project: where it is, its project file, and the build that writes its index
    // and, where it has none of its own, its alias and map files, then compiles it.
    void everyAliasOpensByItsContextId_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("project");
        QTest::addColumn<QStringList>("build");
        const QString examples = QStringLiteral(TARNWICK_SOURCE_DIR "/examples/");
        const QStringList mapAlias = {"-b", "-t", "--map", "alias", "--compile"};
        QTest::newRow("garden") << examples + "garden"
                                << "Garden.hhp" << mapAlias;
        QTest::newRow("garden-ru") << examples + "garden-ru"
                                   << "Sad.hhp" << mapAlias;
        // Its own alias and map files, written on Windows.
        QTest::newRow("dscaler") << QStringLiteral(TARNWICK_CORPUS_DIR "/dscaler") << "DScaler.hhp"
                                 << QStringList{"-b", "-t", "--compile"};
    }
    void everyAliasOpensByItsContextId() {
        QFETCH(QString, source);
        QFETCH(QString, project);
        QFETCH(QStringList, build);
        const fs::path hhp = BuildAndCompile(source, project, build);
        QVERIFY(!hhp.empty());
        QVERIFY(!expected_.empty());
        TfrmHelp* window = View(hhp);
        QVERIFY(window && window->isVisible());
        QVERIFY(window->tvContents->topLevelItemCount() > 0);
        QVERIFY(!window->Keywords().empty());

        for (const auto& [id, topic] : expected_) {
            // chmcmd leaves context ID 0 out of the file: nothing can open that alias by its ID.
            if (id == 0 && window->Help().ContextMap().count(0) == 0) {
                continue;
            }
            const QString row = QStringLiteral("%1 -> %2").arg(id).arg(topic.c_str());
            QVERIFY2(window->ShowContext(static_cast<int>(id)), qPrintable(row));
            QVERIFY2(window->CurrentTopic() == topic,
                     qPrintable(row + " shows " + QString::fromStdString(window->CurrentTopic())));
        }
    }

    // The Russian example's pages in Windows-1251 with and without saying so, UTF-8 with a
    // byte-order mark or a meta element, and KOI8-R: each shows its own title; its contents,
    // window title and keywords are Windows-1251, and the index filter takes Cyrillic.
    void pagesShowInTheCharsetTheyAreWrittenIn() {
        const fs::path hhp =
            BuildAndCompile(QStringLiteral(TARNWICK_SOURCE_DIR "/examples/garden-ru"),
                            QStringLiteral("Sad.hhp"), {"-b", "-t", "--compile"});
        QVERIFY(!hhp.empty());
        TfrmHelp* window = View(hhp);
        QVERIFY(window);
        const std::pair<const char*, const char*> pages[] = {
            {"html/intro.htm", "Планировщик сада"}, {"html/roses.htm", "Розы"},
            {"html/watering.htm", "Полив"},         {"html/soil.htm", "Почва"},
            {"html/calendar.htm", "Календарь"},
        };
        for (const auto& [page, title] : pages) {
            QVERIFY(window->ShowTopic(page));
            QCOMPARE(window->Browser->documentTitle(), QString::fromUtf8(title));
        }
        QCOMPARE(window->tvContents->topLevelItem(0)->text(0), QStringLiteral("Введение"));
        QVERIFY(window->windowTitle().startsWith(QStringLiteral("Планировщик сада")));

        window->ebxIndexFilter->setText(QStringLiteral("роз"));  // typed, as an input method would
        const std::vector<QString> visible = window->VisibleKeywords();
        QVERIFY(!visible.empty());
        for (const QString& keyword : visible) {
            QVERIFY2(keyword.startsWith(QStringLiteral("роз"), Qt::CaseInsensitive),
                     qPrintable(keyword));
        }
    }
};

QTEST_MAIN(ProjectHelpTest)
#include "project_help_test.moc"
