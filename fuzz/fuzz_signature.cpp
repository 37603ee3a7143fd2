// The database header swap (SetDatabaseSignature), on any file head. The
// first byte says whether the file exists, the second is the mode (as a
// signed byte, so that modes other than 1 and 2 come up too); the rest is the
// file's content.
//
// What must hold:
// - the swap writes only over the other's text: the marker only over
//   SQLite's header text and the other way round, and leaves every other
//   file as it was, with the result saying which case it met;
// - it changes no byte outside the first 15 and never the file's length;
// - swapping back gives the file it started from;
// - a missing file stays missing, and on a file it can write no box is shown.
#include "data/file/signature.h"
#include "fuzzsupport.h"

#include <QFile>
#include <QTemporaryDir>

using namespace quillory;
using fuzz::visible;

namespace {

QString resultName(SignatureResult result) {
    switch (result) {
    case SignatureResult::Written:
        return QStringLiteral("Written");
    case SignatureResult::AlreadyThere:
        return QStringLiteral("AlreadyThere");
    case SignatureResult::Foreign:
        return QStringLiteral("Foreign");
    case SignatureResult::Missing:
        return QStringLiteral("Missing");
    case SignatureResult::Failed:
        return QStringLiteral("Failed");
    case SignatureResult::NoMode:
        return QStringLiteral("NoMode");
    }
    return QStringLiteral("?");
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fuzz::fail("the file can be read back", path);
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        fuzz::fail("the file can be written", path);
}

// What the swap should have done, reasoned from the file's head alone.
SignatureResult expectedResult(const QByteArray& head, int mode, bool exists) {
    if (mode != 1 && mode != 2)
        return SignatureResult::NoMode;
    if (!exists)
        return SignatureResult::Missing;
    const QByteArray& wanted = mode == 1 ? signature::kMarker : signature::kPlain;
    const QByteArray& other = mode == 1 ? signature::kPlain : signature::kMarker;
    const QByteArray present = head.mid(signature::kOffset, wanted.size());
    if (present == wanted)
        return SignatureResult::AlreadyThere;
    return present == other ? SignatureResult::Written : SignatureResult::Foreign;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    if (!dir.isValid())
        fuzz::fail("a temporary directory", dir.errorString());
    const QString path = dir.filePath(QStringLiteral("records.mdb"));
    fuzz::SilentPrompt prompt;

    fuzz::Input input(data, size);
    const bool exists = (input.byte() & 1) == 0;
    const int mode = static_cast<std::int8_t>(input.byte());
    const QByteArray before = input.rest();
    QFile::remove(path);
    if (exists)
        writeFile(path, before);

    const SignatureResult result = SetDatabaseSignature(path, mode);
    const SignatureResult expected = expectedResult(before, mode, exists);
    const QString shown = QStringLiteral("mode %1 on %2: %3, expected %4")
                              .arg(mode)
                              .arg(exists ? visible(before.left(40)) : QStringLiteral("no file"))
                              .arg(resultName(result), resultName(expected));
    FUZZ_CHECK(result == expected, shown);
    FUZZ_CHECK(prompt.shown == 0, shown + QStringLiteral(", showing ") + prompt.lastText);
    if (!exists) {
        FUZZ_CHECK(!QFile::exists(path), shown + QStringLiteral(", creating the file"));
        return 0;
    }

    const QByteArray after = readFile(path);
    FUZZ_CHECK(after.size() == before.size(), shown + QStringLiteral(", changing the length"));
    const qsizetype end = signature::kOffset + signature::kMarker.size();
    FUZZ_CHECK(after.first(std::min(signature::kOffset, after.size())) ==
                       before.first(std::min(signature::kOffset, before.size())) &&
                   after.mid(end) == before.mid(end),
               shown + QStringLiteral(", writing outside the header"));
    if (result != SignatureResult::Written) {
        FUZZ_CHECK(after == before, shown + QStringLiteral(", yet writing"));
        return 0;
    }
    const QByteArray& wanted = mode == 1 ? signature::kMarker : signature::kPlain;
    FUZZ_CHECK(after.mid(signature::kOffset, wanted.size()) == wanted,
               shown + QStringLiteral(", leaving ") + visible(after.left(end)));

    // And back.
    const SignatureResult back = SetDatabaseSignature(path, 3 - mode);
    FUZZ_CHECK(back == SignatureResult::Written && readFile(path) == before,
               shown + QStringLiteral(", not swapped back: ") + resultName(back));
    return 0;
}
