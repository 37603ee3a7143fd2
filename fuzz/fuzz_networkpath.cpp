// The reader of NetworkPath.sfe, on any file content.
//
// What must hold:
// - the field is a piece of the text: it starts after the leading blanks
//   (inside the quote when there is one) and is never longer than the text;
// - no field holds a line break; an unquoted field holds no comma, a quoted
//   one no quote;
// - what the program writes it reads back: a path followed by CR LF, as the
//   program writes the file on its first start, and a quoted path (the way to
//   name a path that holds a comma) read back as the path itself.
#include "data/database.h"
#include "fuzzsupport.h"

using namespace quillory;
using fuzz::visible;

namespace {

qsizetype leadingBlanks(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    return i;
}

void checkField(const QByteArray& bytes) {
    const QString text = QString::fromUtf8(bytes);
    const QString field = readFirstField(bytes);
    const QString shown = visible(bytes) + QStringLiteral(" gives ") + visible(field);
    FUZZ_CHECK(field.size() <= text.size(), shown);
    FUZZ_CHECK(!field.contains(u'\r') && !field.contains(u'\n'), shown);
    const qsizetype start = leadingBlanks(text);
    if (start < text.size() && text[start] == u'"') {
        // Doubled quotes inside stand for one.
        FUZZ_CHECK(text.mid(start + 1)
                       .replace(QStringLiteral("\"\""), QStringLiteral("\""))
                       .startsWith(field),
                   shown);
    } else {
        FUZZ_CHECK(!field.contains(u','), shown);
        FUZZ_CHECK(text.mid(start).startsWith(field), shown);
    }
}

void checkWrittenPathsReadBack(const QString& text) {
    // Any text as a path, less what the file's form cannot hold: line
    // breaks, and leading blanks, which the reader skips.
    QString path = text;
    path.remove(u'\r').remove(u'\n').remove(u'"');
    path.remove(0, leadingBlanks(path));
    // Well within any path length the reader may allow.
    if (path.toUtf8().size() > 1024) {
        path.truncate(256);
        if (path.back().isHighSurrogate())
            path.chop(1);
    }

    QString unquoted = path;
    unquoted.remove(u',');
    unquoted.remove(0, leadingBlanks(unquoted));
    const QString read = readFirstField((unquoted + QStringLiteral("\r\n")).toUtf8());
    FUZZ_CHECK(read == unquoted,
               visible(unquoted) + QStringLiteral(" reads back as ") + visible(read));
    const QString quoted = readFirstField((u'"' + path + QStringLiteral("\",x\r\n")).toUtf8());
    FUZZ_CHECK(quoted == path,
               visible(path) + QStringLiteral(" quoted reads back as ") + visible(quoted));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    checkField(bytes);
    checkWrittenPathsReadBack(QString::fromUtf8(bytes));
    return 0;
}
