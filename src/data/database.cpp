#include "data/database.h"

#include "data/environment.h"
#include "errors/handleerror.h"
#include "errors/prompt.h"

#include <QFile>
#include <QSaveFile>

namespace quillory {

namespace {

const QString kNetworkPathFile = QStringLiteral("NetworkPath.sfe");
const QString kDefaultDatabase = QStringLiteral("records.mdb");

} // namespace

QString readFirstField(const QByteArray& bytes) {
    const QString text = QString::fromUtf8(bytes);
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    if (i < text.size() && text[i] == u'"') {
        const qsizetype close = text.indexOf(u'"', i + 1);
        return close < 0 ? text.mid(i + 1).section(u'\n', 0, 0).remove(u'\r')
                         : text.mid(i + 1, close - i - 1);
    }
    qsizetype end = i;
    while (end < text.size() && text[end] != u',' && text[end] != u'\r' && text[end] != u'\n')
        ++end;
    return text.mid(i, end - i);
}

Database::~Database() {
    CloseDatabase();
}

bool Database::OpenDatabase() {
    const auto failed = [](const Error& error) {
        HandleError(error);
        showMessage(QStringLiteral("An error was encountered while initializing the database."));
        return false;
    };
    rsMain.close();
    cnMain.close();
    m_useLock.release();

    const QString networkPath = environment::programFile(kNetworkPathFile);
    QFile sfe(networkPath);
    if (!sfe.exists()) {
        strDataPath.clear();
        m_path = environment::programFile(kDefaultDatabase);
        // Written whole under another name and then renamed, so that a copy
        // starting at the same moment never reads it half written.
        QSaveFile created(networkPath);
        if (!created.open(QIODevice::WriteOnly) ||
            created.write((m_path + QStringLiteral("\r\n")).toUtf8()) < 0 || !created.commit())
            return failed(
                {errnum::PermissionDenied, QStringLiteral("Permission denied: ") + networkPath});
    } else {
        if (!sfe.open(QIODevice::ReadOnly))
            return failed(
                {errnum::PermissionDenied, QStringLiteral("Permission denied: ") + networkPath});
        strDataPath = readFirstField(sfe.readAll());
        sfe.close();
        m_path = strDataPath;
    }

    if (!QFile::exists(m_path))
        return failed({errnum::FileNotFound, QStringLiteral("File not found: ") + m_path});
    if (!m_useLock.acquire(m_path))
        return failed({errnum::PermissionDenied, QStringLiteral("Permission denied: ") + m_path});
    SetDatabaseSignature(m_path, 2);
    if (!cnMain.open(m_path)) {
        const Error error = cnMain.lastError();
        m_useLock.release();
        return failed(error);
    }
    if (!rsMain.open(QStringLiteral("Select * From tblcustomer WHERE id=000"), cnMain)) {
        const Error error = rsMain.lastError();
        cnMain.close();
        m_useLock.release();
        return failed(error);
    }
    return true;
}

bool Database::RefreshRecordset(Recordset& rs, const QString& sql, const QVariantList& params) {
    if (rs.open(sql, cnMain, params))
        return true;
    reportRefreshFailure(rs.lastError());
    return false;
}

void Database::reportRefreshFailure(const Error& error) {
    HandleError(error);
    showMessage(QStringLiteral("Error refreshing data.  \r\nA problem was encountered while "
                               "accessing the database."),
                Prompt::Buttons::Ok, Prompt::Icon::None, QStringLiteral("Data Access Error"));
}

void Database::CloseDatabase() {
    rsMain.close();
    cnMain.close();
    if (!m_useLock.isHeld())
        return;
    if (m_useLock.releaseAndTryLast())
        SetDatabaseSignature(m_path, 1);
    m_useLock.release();
}

} // namespace quillory
