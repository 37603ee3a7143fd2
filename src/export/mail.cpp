#include "export/mail.h"

#include "core/environment.h"
#include "errors/prompt.h"
#include "export/savefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>

#include <unistd.h>

namespace quillory::mail {

namespace {

const QString kFolderPrefix = QStringLiteral("quillory-mail-");
constexpr qint64 kKeptSeconds = 24 * 60 * 60;
// xdg-email's status when it found no mail program to start.
constexpr int kNoMailProgram = 3;

bool fitsAnAddress(QChar c) {
    return c.unicode() > 0x20 && c.unicode() != 0x7f &&
           !(c.unicode() >= 0x80 && c.unicode() < 0xa0) && !c.isSpace() &&
           !QStringLiteral("\"(),:;<>[\\]").contains(c);
}

// Folders of this user's earlier hand-offs, kept a day for the mail program.
void removeOldFolders() {
    const QDateTime now = environment::now();
    const QFileInfoList folders =
        QDir(QDir::tempPath())
            .entryInfoList({kFolderPrefix + u'*'},
                           QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks | QDir::Hidden);
    for (const QFileInfo& folder : folders) {
        if (folder.ownerId() == ::getuid() && folder.lastModified().secsTo(now) > kKeptSeconds)
            QDir(folder.absoluteFilePath()).removeRecursively();
    }
}

} // namespace

QString recipient(const QString& stored) {
    const QString address = stored.trimmed();
    if (address.count(u'@') != 1 || address.startsWith(u'@') || address.endsWith(u'@') ||
        address.startsWith(u'-') || !std::all_of(address.cbegin(), address.cend(), fitsAnAddress))
        return {};
    return address;
}

QStringList arguments(const QString& subject, const QString& attachment, const QString& address) {
    QStringList args{QStringLiteral("--utf8"), QStringLiteral("--subject"), subject,
                     QStringLiteral("--attach"), attachment};
    if (!address.isEmpty())
        args.append(address);
    return args;
}

std::optional<QString> writeAttachment(const QByteArray& bytes, const QString& fileName,
                                       QString* error) {
    removeOldFolders();
    // Made for this user alone (0700); removed again unless all went well.
    QTemporaryDir folder(QDir::tempPath() + u'/' + kFolderPrefix + QStringLiteral("XXXXXX"));
    if (!folder.isValid()) {
        *error = folder.errorString();
        return std::nullopt;
    }
    QFile file(folder.filePath(fileName));
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                                   QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
                         file.write(bytes) == bytes.size() && file.flush();
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return std::nullopt;
    }
    folder.setAutoRemove(false);
    return file.fileName();
}

HandOff::HandOff(QObject* owner, const QByteArray& pdf, const QString& subject)
    : QObject(owner), m_pdf(pdf), m_subject(subject) {
    setObjectName(QStringLiteral("mailHandOff"));
}

HandOff* HandOff::start(QObject* owner, const QByteArray& pdf, const QString& subject,
                        const QString& address) {
    auto* handOff = new HandOff(owner, pdf, subject);
    handOff->run(address);
    return handOff;
}

void HandOff::run(const QString& address) {
    // Every outcome is told after start() has returned, from the event loop.
    const auto failLater = [this](const QString& reason) {
        QMetaObject::invokeMethod(
            this, [this, reason] { failed(reason); }, Qt::QueuedConnection);
    };
    QString error;
    const std::optional<QString> file =
        writeAttachment(m_pdf, m_subject + QStringLiteral(".pdf"), &error);
    if (!file) {
        failLater(QStringLiteral("the attachment could not be written (%1)").arg(error));
        return;
    }
    m_folder = QFileInfo(*file).absolutePath();
    const QString program = QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
    if (program.isEmpty()) {
        failLater(QStringLiteral("xdg-email, which comes with xdg-utils, was not found"));
        return;
    }
    m_process = new QProcess(this);
    // Nothing is read from it or written to it; the mail program it starts
    // may outlive it and must not write into a pipe nobody reads.
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setStandardOutputFile(QProcess::nullDevice());
    m_process->setStandardErrorFile(QProcess::nullDevice());
    connect(
        m_process, &QProcess::errorOccurred, this,
        [this](QProcess::ProcessError problem) {
            if (problem == QProcess::FailedToStart)
                failed(QStringLiteral("xdg-email could not be run"));
        },
        Qt::QueuedConnection);
    connect(
        m_process, &QProcess::finished, this,
        [this](int status, QProcess::ExitStatus how) {
            if (how == QProcess::CrashExit)
                failed(QStringLiteral("xdg-email stopped unexpectedly"));
            else if (status == kNoMailProgram)
                failed(QStringLiteral("no e-mail program is set up on this desktop"));
            else if (status != 0)
                failed(QStringLiteral("xdg-email ended with status %1").arg(status));
            else
                done(true);
        },
        Qt::QueuedConnection);
    m_process->start(program, arguments(m_subject, *file, address));
}

void HandOff::failed(const QString& reason) {
    if (m_done)
        return;
    m_done = true;
    if (!m_folder.isEmpty())
        QDir(m_folder).removeRecursively();
    if (showMessage(QStringLiteral("No e-mail program could be started: ") + reason +
                        QStringLiteral(".\r\n\r\nSave the invoice as a PDF file instead?"),
                    Prompt::Buttons::YesNo, Prompt::Icon::Exclamation,
                    QStringLiteral("E-mail Invoice")) == Prompt::Yes)
        savefile::saveBytes(QStringLiteral("Invoice as PDF"), savefile::Kind::Pdf,
                            m_subject + QStringLiteral(".pdf"), m_pdf);
    emit finished(false);
    deleteLater();
}

void HandOff::done(bool handedOver) {
    if (m_done)
        return;
    m_done = true;
    emit finished(handedOver);
    deleteLater();
}

} // namespace quillory::mail
