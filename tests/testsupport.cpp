#include "testsupport.h"

#include "core/environment.h"
#include "core/formats.h"
#include "data/connection.h"
#include "data/database.h"
#include "data/file/schema.h"
#include "data/file/signature.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTest>

#include <unistd.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace quillory::test {

namespace {
QString describe(const ShownBox& box) {
    if (box.saving)
        return QStringLiteral("save dialog \"%1\" offering \"%2\" titled \"%3\"")
            .arg(box.text, box.suggested, box.title);
    const QString kind = box.isFileDialog ? QStringLiteral("file dialog")
                         : box.isInput    ? QStringLiteral("input box")
                                          : QStringLiteral("message box");
    return QStringLiteral("%1 \"%2\" titled \"%3\"").arg(kind, box.text, box.title);
}
} // namespace

ScriptedPrompt::ScriptedPrompt() {
    Prompt::install(this);
}

ScriptedPrompt::~ScriptedPrompt() {
    Prompt::install(nullptr);
}

void ScriptedPrompt::expectMessage(const QString& text, const QString& title, Answer answer,
                                   Buttons buttons, Icon icon) {
    Expected e;
    e.box = {false, false, text, title, buttons, icon, false, false, {}};
    e.answer = answer;
    m_expected.enqueue(e);
}

void ScriptedPrompt::expectMessageTitled(const QString& title, Answer answer) {
    Expected e;
    e.box.title = title;
    e.anyText = true;
    e.answer = answer;
    m_expected.enqueue(e);
}

void ScriptedPrompt::expectInput(const QString& prompt, const QString& title,
                                 std::optional<QString> answer, bool masked) {
    Expected e;
    e.box = {true, false, prompt, title, Buttons::OkCancel, Icon::None, masked, false, {}};
    e.inputAnswer = std::move(answer);
    m_expected.enqueue(e);
}

void ScriptedPrompt::expectOpenFile(const QString& title, const QString& filters,
                                    std::optional<QString> answer) {
    Expected e;
    e.box = {false, true, filters, title, Buttons::OkCancel, Icon::None, false, false, {}};
    e.inputAnswer = std::move(answer);
    m_expected.enqueue(e);
}

void ScriptedPrompt::expectSaveFile(const QString& title, const QString& filters,
                                    const QString& suggested, std::optional<QString> answer) {
    Expected e;
    e.box = {false, true, filters, title, Buttons::OkCancel, Icon::None, false, true, suggested};
    e.inputAnswer = std::move(answer);
    m_expected.enqueue(e);
}

void ScriptedPrompt::whileShown(std::function<void()> action) {
    if (!m_expected.isEmpty())
        m_expected.last().whileShown = std::move(action);
}

bool ScriptedPrompt::verifyAllShown() {
    if (m_expected.isEmpty())
        return true;
    QTest::qFail(qPrintable(QStringLiteral("Expected %1, which never appeared")
                                .arg(describe(m_expected.head().box))),
                 __FILE__, __LINE__);
    m_expected.clear();
    return false;
}

void ScriptedPrompt::clear() {
    m_expected.clear();
    m_shown.clear();
}

Prompt::Answer ScriptedPrompt::message(const QString& text, Buttons buttons, Icon icon,
                                       const QString& title) {
    const ShownBox box{false, false, text, title, buttons, icon, false, false, {}};
    m_shown.append(box);
    if (m_expected.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("Unexpected ") + describe(box)), __FILE__, __LINE__);
        return buttons == Buttons::Ok ? Ok : (buttons == Buttons::YesNo ? No : Cancel);
    }
    const Expected e = m_expected.dequeue();
    if (e.whileShown)
        e.whileShown();
    const bool same =
        !e.box.isInput && !e.box.isFileDialog && e.box.title == title &&
        (e.anyText || (e.box.text == text && e.box.buttons == buttons && e.box.icon == icon));
    if (!same) {
        QTest::qFail(qPrintable(QStringLiteral("Expected %1 (buttons %2, icon %3) but got %4 "
                                               "(buttons %5, icon %6)")
                                    .arg(describe(e.box))
                                    .arg(int(e.box.buttons))
                                    .arg(int(e.box.icon))
                                    .arg(describe(box))
                                    .arg(int(buttons))
                                    .arg(int(icon))),
                     __FILE__, __LINE__);
    }
    return e.answer;
}

std::optional<QString> ScriptedPrompt::input(const QString& prompt, const QString& title,
                                             const QString&, bool masked) {
    const ShownBox box{true,       false,  prompt, title, Buttons::OkCancel,
                       Icon::None, masked, false,  {}};
    m_shown.append(box);
    if (m_expected.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("Unexpected ") + describe(box)), __FILE__, __LINE__);
        return std::nullopt;
    }
    const Expected e = m_expected.dequeue();
    if (!e.box.isInput || e.box.text != prompt || e.box.title != title || e.box.masked != masked)
        QTest::qFail(qPrintable(QStringLiteral("Expected %1 (masked %2) but got %3 (masked %4)")
                                    .arg(describe(e.box))
                                    .arg(e.box.masked)
                                    .arg(describe(box))
                                    .arg(masked)),
                     __FILE__, __LINE__);
    return e.inputAnswer;
}

std::optional<QString> ScriptedPrompt::openFile(const QString& title, const QString& filters) {
    const ShownBox box{false,      true,  filters, title, Buttons::OkCancel,
                       Icon::None, false, false,   {}};
    m_shown.append(box);
    if (m_expected.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("Unexpected ") + describe(box)), __FILE__, __LINE__);
        return std::nullopt;
    }
    const Expected e = m_expected.dequeue();
    if (!e.box.isFileDialog || e.box.saving || e.box.text != filters || e.box.title != title)
        QTest::qFail(
            qPrintable(
                QStringLiteral("Expected %1 but got %2").arg(describe(e.box), describe(box))),
            __FILE__, __LINE__);
    return e.inputAnswer;
}

std::optional<QString> ScriptedPrompt::saveFile(const QString& title, const QString& filters,
                                                const QString& suggested) {
    const ShownBox box{false,
                       true,
                       filters,
                       title,
                       Buttons::OkCancel,
                       Icon::None,
                       false,
                       true,
                       QFileInfo(suggested).fileName()};
    m_shown.append(box);
    if (m_expected.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("Unexpected ") + describe(box)), __FILE__, __LINE__);
        return std::nullopt;
    }
    const Expected e = m_expected.dequeue();
    if (e.whileShown)
        e.whileShown();
    if (!e.box.saving || e.box.text != filters || e.box.title != title ||
        e.box.suggested != box.suggested)
        QTest::qFail(
            qPrintable(
                QStringLiteral("Expected %1 but got %2").arg(describe(e.box), describe(box))),
            __FILE__, __LINE__);
    return e.inputAnswer;
}

TempProgram::TempProgram(Store store) : m_path(m_dir.path()), m_store(store) {
    environment::setProgramDirectory(m_path);
    environment::setClock([] { return fixedNow(); });
    if (store == Store::File) {
        Error error;
        if (!createDatabaseFile(databasePath(), &error))
            qFatal("Cannot create the test database: %s", qPrintable(error.description));
        return;
    }
    m_serverDatabase = testserver::createDatabase();
    if (m_serverDatabase.isEmpty())
        return;
    {
        // The program makes its own tables on an empty server database.
        Connection cn;
        if (!cn.open(location()))
            QTest::qFail(qPrintable(QStringLiteral("The program could not open the test "
                                                   "server's database: ") +
                                    cn.lastError().description),
                         __FILE__, __LINE__);
    }
    writeAll(file(QStringLiteral("NetworkPath.sfe")),
             (location() + QStringLiteral("\r\n")).toUtf8());
}

QString TempProgram::location() const {
    return m_store == Store::Server ? testserver::uriOf(m_serverDatabase) : databasePath();
}

TempProgram::TempProgram(bool withDatabase, const QString& folder)
    : m_path(folder.isEmpty() ? m_dir.path() : m_dir.filePath(folder)) {
    if (!folder.isEmpty() && !QDir().mkpath(m_path))
        qFatal("Cannot make the program directory %s", qPrintable(m_path));
    environment::setProgramDirectory(m_path);
    environment::setClock([] { return fixedNow(); });
    if (withDatabase) {
        Error error;
        if (!createDatabaseFile(databasePath(), &error))
            qFatal("Cannot create the test database: %s", qPrintable(error.description));
    }
}

TempProgram::~TempProgram() {
    environment::setProgramDirectory(QString());
    environment::setClock({});
    if (!m_serverDatabase.isEmpty())
        testserver::dropDatabase(m_serverDatabase);
}

UserFolders::UserFolders() {
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"}) {
        m_saved.append({name, qEnvironmentVariableIsSet(name)
                                  ? std::optional<QByteArray>(qgetenv(name))
                                  : std::nullopt});
    }
    qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_STATE_HOME", m_dir.filePath(QStringLiteral("state")).toLocal8Bit());
    environment::setInstalled(true);
}

UserFolders::~UserFolders() {
    environment::setInstalled(std::nullopt);
    for (const auto& [name, value] : m_saved) {
        if (value)
            qputenv(name.constData(), *value);
        else
            qunsetenv(name.constData());
    }
}

void TempProgram::sql(const QString& statement, const QVariantList& params) {
    scalar(statement, params);
}

void TempProgram::refuseWrites(const QString& name, const QString& when, const QString& table,
                               const QString& message) {
    if (m_store == Store::File) {
        sql(QStringLiteral("CREATE TRIGGER %1 %2 ON %3 BEGIN SELECT RAISE(ABORT, '%4'); END")
                .arg(name, when, table, message));
        return;
    }
    sql(QStringLiteral("CREATE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN RAISE "
                       "EXCEPTION '%2' USING ERRCODE = 'integrity_constraint_violation'; END$$")
            .arg(name, message));
    sql(QStringLiteral("CREATE TRIGGER %1 %2 ON %3 FOR EACH ROW EXECUTE FUNCTION %1()")
            .arg(name, when, table));
}

QVariant TempProgram::scalar(const QString& query, const QVariantList& params) {
    if (m_store == Store::Server)
        return scalarOnServer(location(), query, params);
    return scalarOn(databasePath(), query, params);
}

QVariant scalarOn(const QString& databasePath, const QString& query, const QVariantList& params) {
    const bool wasMarked = SetDatabaseSignature(databasePath, 2) == SignatureResult::Written;
    QVariant result;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("test-direct"));
        db.setDatabaseName(databasePath);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open())
            qFatal("Cannot open the test database");
        QSqlQuery q(db);
        q.prepare(query);
        for (const QVariant& p : params)
            q.addBindValue(toStorable(p));
        if (!q.exec())
            qFatal("Test statement failed: %s: %s", qPrintable(query),
                   qPrintable(q.lastError().text()));
        if (q.next())
            result = q.value(0);
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("test-direct"));
    if (wasMarked)
        SetDatabaseSignature(databasePath, 1);
    return result;
}

void damageTable(const QString& databasePath, const QString& table) {
    const qint64 root =
        scalarOn(databasePath, QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name=?"),
                 {table})
            .toLongLong();
    const qint64 pageSize = scalarOn(databasePath, QStringLiteral("PRAGMA page_size")).toLongLong();
    QFile file(databasePath);
    if (root < 2 || !file.open(QIODevice::ReadWrite) || !file.seek((root - 1) * pageSize) ||
        file.write(QByteArray(pageSize, char(0xA5))) != pageSize)
        qFatal("Cannot damage %s", qPrintable(table));
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray header(const QString& path) {
    return readAll(path).left(15);
}

QStringList useLocksOn(const QString& databasePath) {
    struct stat info = {};
    if (::stat(QFile::encodeName(databasePath).constData(), &info) != 0)
        return {};
    // The kernel names the file by its device, in hexadecimal, and its inode:
    // the inode alone may be another file's on another device.
    const QByteArray inode = QString::asprintf(" %02x:%02x:%llu ", major(info.st_dev),
                                               minor(info.st_dev), qulonglong(info.st_ino))
                                 .toLatin1();
    // A one-byte lock shows its first and its last byte.
    const QByteArray offset = QByteArray::number(signature::kUseLockOffset);
    const QByteArray range = ' ' + offset + ' ' + offset;
    QStringList locks;
    for (const QByteArray& line : readAll(QStringLiteral("/proc/locks")).split('\n')) {
        if (!line.contains(inode) || !line.endsWith(range))
            continue;
        const QString type =
            line.contains(" WRITE ") ? QStringLiteral("WRITE") : QStringLiteral("READ");
        locks.append(line.contains("->") ? QStringLiteral("-> ") + type : type);
    }
    return locks;
}

namespace {
QString runPoppler(const char* tool, const QStringList& args) {
    const QString program = QStandardPaths::findExecutable(QString::fromLatin1(tool));
    if (program.isEmpty())
        qFatal("%s (poppler-utils) is needed: run scripts/install-deps.sh", tool);
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}
} // namespace

QString pdfText(const QString& path) {
    return runPoppler("pdftotext", {QStringLiteral("-layout"), path, QStringLiteral("-")});
}

QStringList pdfLines(const QString& path) {
    QStringList out;
    for (const QString& line : pdfText(path).split(u'\n')) {
        const QString simple = line.simplified();
        if (!simple.isEmpty())
            out.append(simple);
    }
    return out;
}

int pdfPages(const QString& path) {
    const QString info = runPoppler("pdfinfo", {path});
    const qsizetype at = info.indexOf(QStringLiteral("Pages:"));
    return at < 0 ? -1 : info.mid(at + 6).section(u'\n', 0, 0).trimmed().toInt();
}

QStringList pdfFonts(const QString& path) {
    // pdffonts prints two lines of heading, then one line per font.
    return runPoppler("pdffonts", {path}).split(u'\n', Qt::SkipEmptyParts).mid(2);
}

void pinEnglishUs() {
    formats::setLocaleName(QStringLiteral("en_US"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

} // namespace quillory::test
