// A second writer for the process tests: opens the database of a program
// directory as the program does, adds customers one after another and closes
// it again. Run twice at once, it shows whether two copies of the program can
// hand out the same customer id.
//
//   test_addcustomers_helper <program directory> <tag> <count>
//
// Each customer is named "First" and "<tag><n>" (n from 1 to count); the id it
// was given is printed on stdout as "<id> <tag><n>". Any box the program would
// have shown is printed on stderr instead, and makes the exit code non-zero.
#include "core/environment.h"
#include "customers/customerstore.h"
#include "data/database.h"
#include "errors/prompt.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

#include <cstdio>

using namespace quillory;

namespace {

// Nobody is there to answer: every box is a failure of the run.
class ReportingPrompt : public Prompt {
public:
    Answer message(const QString& text, Buttons, Icon, const QString& title) override {
        std::fprintf(stderr, "Message box \"%s\": %s\n", qPrintable(title), qPrintable(text));
        m_failed = true;
        return Ok;
    }
    std::optional<QString> input(const QString& prompt, const QString& title, const QString&,
                                 bool) override {
        std::fprintf(stderr, "Input box \"%s\": %s\n", qPrintable(title), qPrintable(prompt));
        m_failed = true;
        return std::nullopt;
    }
    std::optional<QString> openFile(const QString& title, const QString&) override {
        std::fprintf(stderr, "File dialog \"%s\"\n", qPrintable(title));
        m_failed = true;
        return std::nullopt;
    }
    bool failed() const { return m_failed; }

private:
    bool m_failed = false;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    bool countOk = false;
    const int count = args.size() == 4 ? args.at(3).toInt(&countOk) : 0;
    if (!countOk || count < 0) {
        std::fprintf(stderr, "usage: %s <program directory> <tag> <count>\n", argv[0]);
        return 2;
    }
    const QString tag = args.at(2);

    ReportingPrompt prompt;
    Prompt::install(&prompt);
    environment::setProgramDirectory(args.at(1));

    int exitCode = 0;
    {
        Database db;
        if (!db.OpenDatabase()) {
            Prompt::install(nullptr);
            return 3;
        }
        QTextStream out(stdout);
        for (int n = 1; n <= count; ++n) {
            const QString lname = tag + QString::number(n);
            const std::optional<int> id = customerstore::insertCustomer(
                db, {QStringLiteral("First"), lname, QStringLiteral("1 Main Street"),
                     QStringLiteral("Halifax"), QStringLiteral("NS"), QStringLiteral("CA"),
                     QStringLiteral("B3H 1A1"), QStringLiteral("first@example.com"),
                     QStringLiteral("NA"), QStringLiteral("NA"), QStringLiteral("NA"),
                     QStringLiteral("NA"), QStringLiteral("NA")});
            if (!id) {
                exitCode = 4;
                break;
            }
            out << *id << ' ' << lname << '\n';
        }
        out.flush();
        db.CloseDatabase();
    }
    Prompt::install(nullptr);
    if (exitCode == 0 && prompt.failed())
        exitCode = 5;
    return exitCode;
}
