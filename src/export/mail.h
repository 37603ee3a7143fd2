#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <optional>

// Handing a document to the user's mail program: the PDF goes into a folder
// of its own that only the user may enter, and xdg-email (from xdg-utils)
// opens a new message with it attached.
namespace quillory::mail {

// The address a message goes to: the stored address, trimmed, when it is
// one plain address (one @, no blank, no control character, none of
// " ( ) , : ; < > [ \ ], not beginning with "-", which xdg-email would take
// for an option). Otherwise the empty text: the message gets no address and
// the user fills one in.
QString recipient(const QString& stored);

// xdg-email's arguments: --utf8 (the program hands over UTF-8 whatever the
// locale), the subject, the attachment, then the address when there is one.
QStringList arguments(const QString& subject, const QString& attachment, const QString& address);

// Writes an attachment into a new folder "quillory-mail-XXXXXX" in the
// temporary folder ($TMPDIR, else /tmp), which only the user may enter,
// as the file `fileName`, which only the user may read. The folder stays
// after the hand-off, because a mail program may read the file only when
// the message is sent, and nobody tells when that is; folders that earlier
// hand-offs left there more than a day ago are removed first. Gives the
// file's path, or nothing with `error` saying why.
std::optional<QString> writeAttachment(const QByteArray& bytes, const QString& fileName,
                                       QString* error);

// One hand-off to the mail program, under way. When the mail program cannot
// be started (xdg-email missing, failing to run, or ending with an error),
// the user is told so and offered to save the PDF instead; then the
// attachment's folder is removed.
class HandOff : public QObject {
    Q_OBJECT

public:
    // Writes the attachment "<subject>.pdf" and runs xdg-email on it. The
    // hand-off belongs to `owner` and deletes itself once it has finished.
    static HandOff* start(QObject* owner, const QByteArray& pdf, const QString& subject,
                          const QString& address);

signals:
    // The mail program has taken the message (true), or could not be
    // started, the user has been told and has saved the PDF if he chose to
    // (false). Always sent after start() has returned.
    void finished(bool handedOver);

private:
    HandOff(QObject* owner, const QByteArray& pdf, const QString& subject);
    void run(const QString& address);
    void failed(const QString& reason);
    void done(bool handedOver);

    QByteArray m_pdf;
    QString m_subject;
    QString m_folder;
    QProcess* m_process = nullptr;
    bool m_done = false;
};

} // namespace quillory::mail
