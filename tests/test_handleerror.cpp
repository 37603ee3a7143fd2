// The error dispatcher: which numbers stay silent, which show a box, which
// are written to ErrLog.err, and what the box and the log line say.
#include "app/application.h"
#include "core/environment.h"
#include "errors/error.h"
#include "errors/handleerror.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QTest>
#include <QWindow>

#include <memory>

using namespace quillory;

namespace {

using Buttons = Prompt::Buttons;
using Icon = Prompt::Icon;

const QString kCrLf = QStringLiteral("\r\n");

QString otherErrorText(const QString& numberText, const QString& description) {
    return QStringLiteral("An error has occurred.  Please contact the") + kCrLf +
           QStringLiteral("program vendor with the following information if this problem "
                          "persists.") +
           kCrLf + numberText + u':' + kCrLf + description;
}

// A prompt that notes whether the log existed while its box was up.
class LogWatchingPrompt : public test::ScriptedPrompt {
public:
    explicit LogWatchingPrompt(const QString& logPath) : m_logPath(logPath) {}
    bool logExistedWhileShown = false;

    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override {
        logExistedWhileShown = QFile::exists(m_logPath);
        return ScriptedPrompt::message(text, buttons, icon, title);
    }

private:
    QString m_logPath;
};

// Notes the title of each real box as it shows, then closes it with Escape
// once its own event loop runs.
class BoxWatcher : public QObject {
public:
    BoxWatcher() { qApp->installEventFilter(this); }
    ~BoxWatcher() override { qApp->removeEventFilter(this); }
    QStringList titles;

    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* box = qobject_cast<QDialog*>(watched);
        if (event->type() == QEvent::Show && box &&
            (qobject_cast<QMessageBox*>(box) || qobject_cast<QInputDialog*>(box))) {
            titles.append(box->windowHandle() ? box->windowHandle()->title()
                                              : QStringLiteral("(no window)"));
            QMetaObject::invokeMethod(
                box, [box] { QTest::keyClick(box, Qt::Key_Escape); }, Qt::QueuedConnection);
        }
        return false;
    }
};

} // namespace

class TestHandleError : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempProgram> m_program;
    std::unique_ptr<test::ScriptedPrompt> m_prompt;

    QString logPath() const { return m_program->file(QStringLiteral("ErrLog.err")); }
    QByteArray log() const {
        QFile file(logPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return file.readAll();
    }
    // A line as written at the test clock's time.
    static QString logLine(const QString& number, const QString& description) {
        return QStringLiteral("\"06-Dec-2026 9:05:07\",") + number + QStringLiteral(",\"") +
               description + QStringLiteral("\"\r\n");
    }

private slots:
    void initTestCase() { test::pinEnglishUs(); }

    void init() {
        m_program = std::make_unique<test::TempProgram>(false);
        m_prompt = std::make_unique<test::ScriptedPrompt>();
    }

    void cleanup() {
        if (m_prompt)
            m_prompt->verifyAllShown();
        m_prompt.reset();
        m_program.reset();
    }

    // --- Silent numbers -------------------------------------------------------------

    void noErrorShowsNothingAndWritesNothing() {
        HandleError(0, QStringLiteral("anything at all"));
        HandleError(Error::none());
        QVERIFY(m_prompt->shown().isEmpty());
        QVERIFY(!QFile::exists(logPath()));
    }

    void noCurrentRecordIsOnlyLogged() {
        HandleError(errnum::NoCurrentRecord, QStringLiteral("Either BOF or EOF is True."));
        QVERIFY(m_prompt->shown().isEmpty());
        QCOMPARE(QString::fromUtf8(log()),
                 logLine(QStringLiteral("3021"), QStringLiteral("Either BOF or EOF is True.")));
    }

    void closedObjectCancelledDialogAndFailedLoginStaySilentAndUnlogged_data() {
        QTest::addColumn<qint64>("number");
        QTest::newRow("operation on a closed object") << qint64(3704);
        QTest::newRow("dialog cancelled") << qint64(32755);
        QTest::newRow("authentication failed") << qint64(-2147217843);
    }
    void closedObjectCancelledDialogAndFailedLoginStaySilentAndUnlogged() {
        QFETCH(qint64, number);
        HandleError(number, QStringLiteral("description"));
        QVERIFY(m_prompt->shown().isEmpty());
        QVERIFY(!QFile::exists(logPath()));
    }

    // --- Numbers with their own box -----------------------------------------------

    void fileNotFoundShowsItsBoxWithNumberAndDescriptionAndIsNotLogged() {
        const QString description = QStringLiteral("File not found: /srv/data/records.mdb");
        m_prompt->expectMessage(QStringLiteral("File does not exist in the correct directory!") +
                                    kCrLf + QStringLiteral("Please verify that the file exists.") +
                                    kCrLf + QStringLiteral("53:") + kCrLf + description,
                                QStringLiteral("File not found"), Prompt::Ok, Buttons::Ok,
                                Icon::Exclamation);
        HandleError(errnum::FileNotFound, description);
        QVERIFY(m_prompt->verifyAllShown());
        QVERIFY(!QFile::exists(logPath()));
    }

    void noActiveWindowShowsTheMdiBoxAndIsNotLogged() {
        m_prompt->expectMessage(QStringLiteral("There are no active windows!"),
                                QStringLiteral("MDI ERROR"));
        HandleError(errnum::NoActiveWindow, QStringLiteral("Object variable not set"));
        QVERIFY(m_prompt->verifyAllShown());
        QVERIFY(!QFile::exists(logPath()));
    }

    void gridDataAccessShowsItsMessageUnderTheProgramTitleAndIsNotLogged() {
        m_prompt->expectMessage(
            QStringLiteral("A data access error has occured in the grid that you are using.  "
                           "Please repeat the task you just did.  If this error persists, "
                           "re-start your computer."),
            QStringLiteral("Quillory"));
        HandleError(errnum::GridDataAccess, QStringLiteral("grid"));
        QVERIFY(m_prompt->verifyAllShown());
        QVERIFY(!QFile::exists(logPath()));
    }

    void relatedRecordsShowAnInformationBoxAndAreLogged() {
        m_prompt->expectMessage(
            QStringLiteral("There are related records in another part of the database.") + kCrLf +
                QStringLiteral("Please consult the User Manual for instructions on deleting ") +
                kCrLf + QStringLiteral("an child related records."),
            QStringLiteral("Error deleting record"), Prompt::Ok, Buttons::Ok, Icon::Information);
        HandleError(errnum::ConstraintOrMultiStep, QStringLiteral("UNIQUE constraint failed"));
        QVERIFY(m_prompt->verifyAllShown());
        QCOMPARE(QString::fromUtf8(log()), logLine(QStringLiteral("-2147217887"),
                                                   QStringLiteral("UNIQUE constraint failed")));
    }

    // --- Any other number -----------------------------------------------------------

    void anUnknownNumberShowsTheErrorBoxThenWritesOneLine() {
        m_prompt->expectMessage(otherErrorText(QStringLiteral("5"), QStringLiteral("D")),
                                QStringLiteral("ERROR"), Prompt::Ok, Buttons::Ok,
                                Icon::Exclamation);
        HandleError(5, QStringLiteral("D"));
        QVERIFY(m_prompt->verifyAllShown());
        QVERIFY(m_prompt->shown().first().text.endsWith(QStringLiteral("\r\n5:\r\nD")));
        QCOMPARE(log(), QByteArray("\"06-Dec-2026 9:05:07\",5,\"D\"\r\n"));
    }

    void negativeEngineNumbersShowTheirDigitsInBoxAndLog() {
        m_prompt->expectMessage(
            otherErrorText(QStringLiteral("-2147467259"), QStringLiteral("disk I/O error")),
            QStringLiteral("ERROR"), Prompt::Ok, Buttons::Ok, Icon::Exclamation);
        HandleError(errnum::Unspecified, QStringLiteral("disk I/O error"));
        QCOMPARE(QString::fromUtf8(log()),
                 logLine(QStringLiteral("-2147467259"), QStringLiteral("disk I/O error")));
    }

    void theLogLineIsWrittenAfterTheBoxIsClosed() {
        m_prompt.reset();
        LogWatchingPrompt watcher(logPath());
        watcher.expectMessageTitled(QStringLiteral("ERROR"));
        HandleError(5, QStringLiteral("D"));
        QVERIFY(watcher.verifyAllShown());
        QVERIFY(!watcher.logExistedWhileShown);
        QVERIFY(QFile::exists(logPath()));
    }

    void aDescriptionWithQuotesCommasAndLineBreaksIsWrittenUnchanged() {
        const QString description =
            QString::fromUtf8("near \"SELEC\": syntax error, at 'x'\r\nsecond \u65e5\u672c");
        m_prompt->expectMessageTitled(QStringLiteral("ERROR"));
        HandleError(1, description);
        QCOMPARE(QString::fromUtf8(log()), logLine(QStringLiteral("1"), description));
    }

    void anEmptyDescriptionGivesEmptyQuotes() {
        HandleError(errnum::NoCurrentRecord, QString());
        QCOMPARE(log(), QByteArray("\"06-Dec-2026 9:05:07\",3021,\"\"\r\n"));
    }

    void eachLoggedErrorAppendsItsOwnLine() {
        {
            QFile existing(logPath());
            QVERIFY(existing.open(QIODevice::WriteOnly));
            existing.write("earlier line\r\n");
        }
        m_prompt->expectMessageTitled(QStringLiteral("ERROR"));
        HandleError(5, QStringLiteral("first"));
        HandleError(errnum::NoCurrentRecord, QStringLiteral("second"));
        HandleError(errnum::ObjectClosed, QStringLiteral("not logged"));
        QCOMPARE(QString::fromUtf8(log()),
                 QStringLiteral("earlier line\r\n") +
                     logLine(QStringLiteral("5"), QStringLiteral("first")) +
                     logLine(QStringLiteral("3021"), QStringLiteral("second")));
    }

    void theLogLineCarriesTheTimeOfTheError() {
        environment::setClock([] { return QDateTime(QDate(2027, 3, 1), QTime(17, 0, 9)); });
        HandleError(errnum::NoCurrentRecord, QStringLiteral("late"));
        QCOMPARE(log(), QByteArray("\"01-Mar-2027 17:00:09\",3021,\"late\"\r\n"));
        QCOMPARE(
            errorLogLine(QDateTime(QDate(2026, 1, 9), QTime(0, 1, 2)), -7, QStringLiteral("x")),
            QStringLiteral("\"09-Jan-2026 0:01:02\",-7,\"x\""));
    }

    // --- The real boxes ----------------------------------------------------------

    // The window manager shows a box's title with the application's display
    // name appended when one is set: none may be.
    void realBoxesShowExactlyTheTitleTheyAreGiven_data() {
        QTest::addColumn<bool>("input");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("shown");
        QTest::newRow("message box") << false << "Data Error"
                                     << "Data Error";
        QTest::newRow("message box without a title") << false << ""
                                                     << "Quillory";
        QTest::newRow("input box") << true << "Username:"
                                   << "Username:";
    }
    void realBoxesShowExactlyTheTitleTheyAreGiven() {
        QFETCH(bool, input);
        QFETCH(QString, title);
        QFETCH(QString, shown);
        setUpApplication();
        const QString name = QCoreApplication::applicationName();
        QCoreApplication::setApplicationName(QStringLiteral("probe"));
        const QString displayName = QGuiApplication::applicationDisplayName();
        QCoreApplication::setApplicationName(name);
        QVERIFY2(displayName == QStringLiteral("probe"),
                 "A display name is set, which platforms append to every title");

        BoxWatcher watcher;
        DialogPrompt dialogs;
        Prompt::install(&dialogs);
        if (input)
            QCOMPARE(askInput(QStringLiteral("Enter username:"), title), std::nullopt);
        else
            QCOMPARE(showMessage(QStringLiteral("Text"), Buttons::Ok, Icon::None, title),
                     Prompt::Ok);
        Prompt::install(m_prompt.get());
        QCOMPARE(watcher.titles, QStringList{shown});
    }

    // --- A log that cannot be written --------------------------------------------

    void anUnwritableLogStillShowsTheBoxAndLosesTheLineSilently() {
        // A directory in the log's place cannot be opened as a file, even by an
        // administrator.
        QVERIFY(QDir().mkpath(logPath()));
        m_prompt->expectMessage(otherErrorText(QStringLiteral("5"), QStringLiteral("D")),
                                QStringLiteral("ERROR"), Prompt::Ok, Buttons::Ok,
                                Icon::Exclamation);
        HandleError(5, QStringLiteral("D"));
        HandleError(errnum::NoCurrentRecord, QStringLiteral("lost too"));
        QVERIFY(m_prompt->verifyAllShown());
        QCOMPARE(m_prompt->shown().size(), 1);
        QVERIFY(QFileInfo(logPath()).isDir());
        QVERIFY(QDir(logPath()).isEmpty());
    }

    void aMissingProgramDirectoryLosesTheLineSilently() {
        environment::setProgramDirectory(m_program->file(QStringLiteral("no/such/dir")));
        m_prompt->expectMessageTitled(QStringLiteral("ERROR"));
        HandleError(5, QStringLiteral("D"));
        QVERIFY(m_prompt->verifyAllShown());
        QVERIFY(!QFile::exists(m_program->file(QStringLiteral("no"))));
    }
};

QTEST_MAIN(TestHandleError)
#include "test_handleerror.moc"
