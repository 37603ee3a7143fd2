#include "export/savefile.h"

#include "errors/prompt.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace quillory::savefile {

namespace {

// The folder the last file was saved in, for as long as the program runs.
QString& lastFolder() {
    static QString folder;
    return folder;
}

QString startFolder() {
    if (!lastFolder().isEmpty())
        return lastFolder();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return documents.isEmpty() ? QDir::homePath() : documents;
}

QString suffixOf(Kind kind) {
    return kind == Kind::Pdf ? QStringLiteral(".pdf") : QStringLiteral(".csv");
}

QString filtersOf(Kind kind) {
    return kind == Kind::Pdf ? QStringLiteral("PDF files (*.pdf)")
                             : QStringLiteral("CSV files (*.csv)");
}

void reportFailure(const QString& path, const QString& title, const QString& reason) {
    showMessage(QStringLiteral("The file could not be saved:\r\n") +
                    QDir::toNativeSeparators(path) + QStringLiteral("\r\n\r\n") + reason,
                Prompt::Buttons::Ok, Prompt::Icon::Exclamation, title);
}

} // namespace

std::optional<QString> choose(const QString& title, Kind kind, const QString& name) {
    const std::optional<QString> chosen =
        askSaveFile(title, filtersOf(kind), QDir(startFolder()).filePath(name));
    if (!chosen || chosen->isEmpty())
        return std::nullopt;
    QString path = *chosen;
    const QString suffix = suffixOf(kind);
    if (!path.endsWith(suffix, Qt::CaseInsensitive)) {
        // The dialog asked about the name as typed, not about this one.
        path += suffix;
        if (QFileInfo::exists(path) &&
            showMessage(QFileInfo(path).fileName() +
                            QStringLiteral(" already exists.\r\nDo you want to replace it?"),
                        Prompt::Buttons::YesNo, Prompt::Icon::Exclamation, title) != Prompt::Yes)
            return std::nullopt;
    }
    return path;
}

Outcome write(const QString& path, const QString& title, const Fill& fill) {
    Outcome outcome = Outcome::Failed;
    QString reason;
    {
        // Uncommitted, the temporary file is removed when this goes.
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            outcome = fill(file);
            if (outcome == Outcome::Saved && !file.commit())
                outcome = Outcome::Failed;
        }
        if (outcome == Outcome::Failed)
            reason = file.errorString();
    }
    if (outcome == Outcome::Failed)
        reportFailure(path, title, reason);
    else if (outcome == Outcome::Saved)
        lastFolder() = QFileInfo(path).absolutePath();
    return outcome;
}

Outcome write(const QString& path, const QString& title, const QByteArray& bytes) {
    return write(path, title, [&bytes](QIODevice& device) {
        return device.write(bytes) == bytes.size() ? Outcome::Saved : Outcome::Failed;
    });
}

Outcome saveBytes(const QString& title, Kind kind, const QString& name, const QByteArray& bytes) {
    const std::optional<QString> path = choose(title, kind, name);
    if (!path)
        return Outcome::Abandoned;
    return write(*path, title, bytes);
}

} // namespace quillory::savefile
