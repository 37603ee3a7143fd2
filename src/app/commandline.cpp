#include "app/commandline.h"

#include "help/version.h"

#include <QCommandLineParser>

namespace quillory {

CommandLine parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    const QCommandLineOption database(QStringLiteral("database"), QString(),
                                      QStringLiteral("PATH|URI"));
    parser.addOptions({help, version, database});

    CommandLine line;
    if (!parser.parse(arguments)) {
        line.action = CommandLine::Action::Refuse;
        line.error = parser.errorText();
        return line;
    }
    if (!parser.positionalArguments().isEmpty()) {
        line.action = CommandLine::Action::Refuse;
        line.error = QStringLiteral("Unexpected argument '%1'.")
                         .arg(parser.positionalArguments().constFirst());
        return line;
    }
    // --help wins over --version, as with most programs.
    if (parser.isSet(help))
        line.action = CommandLine::Action::Help;
    else if (parser.isSet(version))
        line.action = CommandLine::Action::Version;
    if (parser.isSet(database))
        line.database = parser.value(database);
    return line;
}

QString usageText() {
    return QStringLiteral(
        "Usage: quillory [--database PATH|URI]\n"
        "       quillory --help | --version\n"
        "\n"
        "Quillory keeps the customers of a small service business, the projects done\n"
        "for them, their invoices and the payments received.\n"
        "\n"
        "Options:\n"
        "  --database PATH|URI  Use this database for this run only, in place of the one\n"
        "                       NetworkPath.sfe names; NetworkPath.sfe is left as it is.\n"
        "                       A relative path is taken from the current folder.\n"
        "  -h, --help           Print this text and end.\n"
        "  -v, --version        Print the program's version and end.\n"
        "\n"
        "An installed copy keeps NetworkPath.sfe in $XDG_CONFIG_HOME/quillory, its\n"
        "database records.mdb in $XDG_DATA_HOME/quillory and its error log ErrLog.err in\n"
        "$XDG_STATE_HOME/quillory; a copy in a folder its user can write keeps them\n"
        "beside itself. See quillory(1).\n"
        "\n"
        "Exit status: 0 when the program ended normally, 1 when the database could not\n"
        "be opened, 2 when there is no graphical session to show the window in, 64 when\n"
        "the command line was not understood.\n");
}

QString versionText() {
    return QStringLiteral("quillory %1.%2.%3\n")
        .arg(QUILLORY_VERSION_MAJOR)
        .arg(QUILLORY_VERSION_MINOR)
        .arg(QUILLORY_VERSION_PATCH);
}

} // namespace quillory
