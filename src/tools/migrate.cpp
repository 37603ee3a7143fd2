// quillory-migrate: moves every row of one database into another, empty one:
// an office's records.mdb to its database server, or a server's data back
// into a file. The work is data/migration's; this is its command line.
#include "core/toolline.h"
#include "data/migration/migration.h"
#include "errors/prompt.h"

#include <QCoreApplication>

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

const char* const kUsage =
    "Usage: quillory-migrate [--] FROM TO\n"
    "       quillory-migrate --help\n"
    "\n"
    "Copies every row of the Quillory database FROM into the database TO, in one\n"
    "transaction, and keeps the copy only when the row counts and the sums of\n"
    "money, hours, rates and texts agree on both sides. Each of FROM and TO is a\n"
    "database file (records.mdb) or a database server's URI\n"
    "(postgresql://host/database). A missing TO file is made; a server database\n"
    "without tables is given the program's. TO must hold no rows, and no copy of\n"
    "the program may use either database meanwhile.\n"
    "\n"
    "The user and password of a server come from the URI or libpq's usual places\n"
    "(~/.pgpass, PGUSER, PGPASSWORD); a password the server asks for besides is\n"
    "read from the terminal.\n"
    "\n"
    "Options:\n"
    "  -h, --help  Print this text and end.\n"
    "  --          Take what follows as FROM and TO, even when they start with '-'.\n"
    "\n"
    "Exit status: 0 when every row was copied and checked, 1 when nothing was\n"
    "copied (the reason is printed), 64 when the command line was not understood.\n";

// The program's boxes on a terminal: a message is printed, a password is read
// without showing it. No window is needed.
class TerminalPrompt : public quillory::Prompt {
public:
    Answer message(const QString& text, Buttons buttons, Icon, const QString& title) override {
        std::fprintf(
            stderr, "quillory-migrate: %s: %s\n", qPrintable(title),
            qPrintable(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" "))));
        return buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel ? No : Ok;
    }
    std::optional<QString> input(const QString& prompt, const QString&, const QString&,
                                 bool masked) override {
        FILE* tty = std::fopen("/dev/tty", "r+");
        if (!tty)
            return std::nullopt;
        std::fprintf(tty, "%s ", qPrintable(prompt));
        std::fflush(tty);
        termios saved = {};
        const bool hide = masked && tcgetattr(fileno(tty), &saved) == 0;
        if (hide) {
            termios quiet = saved;
            quiet.c_lflag &= ~tcflag_t(ECHO);
            tcsetattr(fileno(tty), TCSAFLUSH, &quiet);
        }
        std::string line;
        int c;
        while ((c = std::fgetc(tty)) != EOF && c != '\n')
            line.push_back(static_cast<char>(c));
        if (hide) {
            tcsetattr(fileno(tty), TCSAFLUSH, &saved);
            std::fputc('\n', tty);
        }
        std::fclose(tty);
        if (c == EOF && line.empty())
            return std::nullopt;
        return QString::fromStdString(line);
    }
    std::optional<QString> openFile(const QString&, const QString&) override {
        return std::nullopt;
    }
};

// Prints a table's progress at its start, at every tenth and at its end.
class ProgressLines {
public:
    void operator()(const quillory::migration::Progress& progress) {
        const qint64 tenth = progress.total > 0 ? progress.copied * 10 / progress.total : 10;
        if (progress.table == m_table && tenth == m_tenth && progress.copied != progress.total)
            return;
        if (progress.table == m_table && progress.copied == m_copied)
            return;
        m_table = progress.table;
        m_tenth = tenth;
        m_copied = progress.copied;
        std::printf("%s: %lld of %lld rows\n", qPrintable(progress.table),
                    static_cast<long long>(progress.copied),
                    static_cast<long long>(progress.total));
        std::fflush(stdout);
    }

private:
    QString m_table;
    qint64 m_tenth = -1;
    qint64 m_copied = -1;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const quillory::ToolLine line = quillory::readToolLine(
        "quillory-migrate", kUsage, 2, QStringLiteral("FROM and TO are both needed."),
        QStringLiteral("Only FROM and TO are taken."));
    if (line.exitNow)
        return *line.exitNow;

    TerminalPrompt prompt;
    quillory::Prompt::install(&prompt);
    ProgressLines progress;
    const quillory::migration::Result result = quillory::migration::migrate(
        line.arguments.at(0), line.arguments.at(1),
        [&progress](const quillory::migration::Progress& p) { progress(p); });
    quillory::Prompt::install(nullptr);
    if (!result.ok) {
        std::fprintf(stderr, "quillory-migrate: nothing was copied: %s\n",
                     qPrintable(result.error.description));
        return 1;
    }
    std::printf("Copied %lld rows. Both sides hold:\n", static_cast<long long>(result.rows));
    for (const quillory::migration::TableFigures& table : result.target) {
        QStringList sums;
        for (const auto& [name, value] : table.sums)
            sums.append(name + u' ' + quillory::migration::shownValue(name, value));
        std::printf("  %s: %lld rows; %s\n", qPrintable(table.table),
                    static_cast<long long>(table.rows),
                    qPrintable(sums.join(QStringLiteral(", "))));
    }
    return 0;
}
