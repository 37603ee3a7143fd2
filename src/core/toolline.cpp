#include "core/toolline.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace quillory {

ToolLine readToolLine(const char* tool, const char* usage, qsizetype count, const QString& tooFew,
                      const QString& tooMany) {
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    parser.addOption(help);
    const bool understood = parser.parse(QCoreApplication::arguments());
    if (understood && parser.isSet(help)) {
        std::fputs(usage, stdout);
        return {{}, 0};
    }
    const QStringList arguments = parser.positionalArguments();
    if (understood && arguments.size() == count)
        return {arguments, std::nullopt};
    const QString why = !understood                ? parser.errorText()
                        : arguments.size() < count ? tooFew
                                                   : tooMany;
    std::fprintf(stderr, "%s: %s\n\n%s", tool, qPrintable(why), usage);
    return {{}, kExitUsage};
}

} // namespace quillory
