#pragma once

#include "data/database.h"
#include "errors/prompt.h"

#include <QDateTime>
#include <QQueue>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <optional>

namespace quillory::test {

// A box the program showed, as the user would see it.
struct ShownBox {
    bool isInput = false;
    bool isFileDialog = false;
    QString text; // the message, the input box's prompt, or the dialog's filters
    QString title;
    Prompt::Buttons buttons = Prompt::Buttons::Ok;
    Prompt::Icon icon = Prompt::Icon::None;
    bool masked = false;
    // A file-save dialog, and the name it offered (without its folder).
    bool saving = false;
    QString suggested;
};

// The prompt tests install. Each box the program shows must have been
// expected, in order; the expectation answers it. A box nobody expected fails
// the running test (and is answered Cancel / OK). verifyAllShown() fails the
// test when an expected box never came.
class ScriptedPrompt : public Prompt {
public:
    ScriptedPrompt();
    ~ScriptedPrompt() override;

    // Expects a message box with exactly this text and title (and buttons and
    // icon), and answers it.
    void expectMessage(const QString& text, const QString& title, Answer answer = Ok,
                       Buttons buttons = Buttons::Ok, Icon icon = Icon::None);
    // Expects a message box with this title whatever its text.
    void expectMessageTitled(const QString& title, Answer answer = Ok);
    // Expects an input box with this prompt and title; nothing answers Cancel.
    void expectInput(const QString& prompt, const QString& title, std::optional<QString> answer,
                     bool masked = false);

    // Expects a file-open dialog with this title and these filters, and
    // answers it with a path; nothing answers Cancel.
    void expectOpenFile(const QString& title, const QString& filters,
                        std::optional<QString> answer);
    // Expects a file-save dialog with this title and these filters offering
    // the file name `suggested` (in whatever folder), and answers it with a
    // path; nothing answers Cancel.
    void expectSaveFile(const QString& title, const QString& filters, const QString& suggested,
                        std::optional<QString> answer);

    // Runs `action` while the box expected last is showing, as if the user
    // did something elsewhere before answering it.
    void whileShown(std::function<void()> action);

    bool verifyAllShown();
    const QList<ShownBox>& shown() const { return m_shown; }
    void clear();

    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override;
    std::optional<QString> input(const QString& prompt, const QString& title,
                                 const QString& defaultText, bool masked) override;
    std::optional<QString> openFile(const QString& title, const QString& filters) override;
    std::optional<QString> saveFile(const QString& title, const QString& filters,
                                    const QString& suggested) override;

private:
    struct Expected {
        ShownBox box;
        bool anyText = false;
        Answer answer = Ok;
        std::optional<QString> inputAnswer;
        std::function<void()> whileShown;
    };
    QQueue<Expected> m_expected;
    QList<ShownBox> m_shown;
};

// The two stores the program runs on: a database file, or a database on a
// server.
enum class Store { File, Server };

// The private PostgreSQL server that scripts/test.sh starts
// (scripts/pg-test-server.sh), named by QUILLORY_TEST_SERVER.
namespace testserver {
// Whether the run has one. Without it the server rows of a test skip; with
// it, a server that does not answer fails them.
bool isConfigured();
// The URI of a database on the test server.
QString uriOf(const QString& database);
// Makes a new, empty database (no tables) on the test server and gives its
// name; fails the running test when the server does not answer.
QString createDatabase();
// Drops it, ending any session still on it.
void dropDatabase(const QString& database);
// Runs a statement on the server's administration database.
bool administer(const QString& statement);
// Waits until no connection under the program's application name is on
// `database`: one just closed stays in the server's session list until its
// server process has ended. False when one stays.
bool waitUntilNoCopies(const QString& database);
} // namespace testserver

// Gives the tests of a class a global data table with the column "store" and
// the rows "file" and "server": each test function runs once on each store.
// Call it from initTestCase_data(), and FETCH_STORE() from init().
void addStoreRows();
// Notes the store of the running global row (see FETCH_STORE).
void noteStoreOfRow(int store);
// The store of the running row (the file in a class without such rows).
Store currentStore();
// In init(): takes the running row's store, and skips a server row when the
// run has no test server.
#define FETCH_STORE()                                                                              \
    do {                                                                                           \
        QFETCH_GLOBAL(int, store);                                                                 \
        ::quillory::test::noteStoreOfRow(store);                                                   \
        if (::quillory::test::currentStore() == ::quillory::test::Store::Server &&                 \
            !::quillory::test::testserver::isConfigured())                                         \
            QSKIP("No test server: scripts/test.sh starts one (QUILLORY_TEST_SERVER)");            \
    } while (false)

// A program directory of its own for one test, with a fresh database made
// from the shipped schema, and a fixed clock. On the server store the
// database is a new one on the test server (its tables made by the program
// itself), and NetworkPath.sfe names it.
class TempProgram {
public:
    // With `withDatabase` false the directory holds no records.mdb. With a
    // folder name the program directory is a folder of that name inside the
    // temporary one.
    explicit TempProgram(bool withDatabase = true, const QString& folder = QString());
    explicit TempProgram(Store store);
    ~TempProgram();

    Store store() const { return m_store; }
    QString dir() const { return m_path; }
    QString file(const QString& name) const { return m_path + u'/' + name; }
    QString databasePath() const { return file(QStringLiteral("records.mdb")); }
    // Where the database is, as the program opens it: the file's path, or the
    // server database's URI.
    QString location() const;
    QString serverDatabase() const { return m_serverDatabase; }

    // Runs statements directly against the database, outside the program's
    // own connection (on a file, the header is put back and hidden again
    // around it).
    void sql(const QString& statement, const QVariantList& params = {});
    QVariant scalar(const QString& query, const QVariantList& params = {});

    // Makes the database refuse a write as a full disk would, with a
    // constraint failure: a trigger `name` on `table` fires `when` ("BEFORE
    // INSERT", "AFTER UPDATE OF paymentdates") and aborts with `message`.
    void refuseWrites(const QString& name, const QString& when, const QString& table,
                      const QString& message = QStringLiteral("disk refused"));

    // Now, as the program's clock reports it.
    static QDateTime fixedNow() { return QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7)); }

private:
    QTemporaryDir m_dir;
    QString m_path;
    Store m_store = Store::File;
    QString m_serverDatabase;
};

// An installed copy's surroundings for one test: the user's folders
// ($XDG_CONFIG_HOME, $XDG_DATA_HOME, $XDG_STATE_HOME) in a temporary folder,
// not made yet, and the program counted as installed. Both are put back when
// it goes.
class UserFolders {
public:
    UserFolders();
    ~UserFolders();
    UserFolders(const UserFolders&) = delete;
    UserFolders& operator=(const UserFolders&) = delete;

    // The program's own folder in each of them.
    QString config() const { return m_dir.filePath(QStringLiteral("config/quillory")); }
    QString data() const { return m_dir.filePath(QStringLiteral("data/quillory")); }
    QString state() const { return m_dir.filePath(QStringLiteral("state/quillory")); }

private:
    QTemporaryDir m_dir;
    QList<QPair<QByteArray, std::optional<QByteArray>>> m_saved;
};

// Runs a statement directly on a server database, outside the program's own
// connection. Gives the first column of the first row, if any; a failed
// statement ends the test run.
QVariant scalarOnServer(const QString& uri, const QString& query, const QVariantList& params = {});

// Runs a statement directly on a database file, outside the program's own
// connection; a hidden header is put back around it. Gives the first column
// of the first row, if any.
QVariant scalarOn(const QString& databasePath, const QString& query,
                  const QVariantList& params = {});

// Overwrites the first page of a table's (or an index's) b-tree with bytes
// that no page holds, as a disk fault leaves it; every other byte of the
// file stays.
void damageTable(const QString& databasePath, const QString& table);

// Whole-file helpers: the bytes of a file (empty when unreadable), writing
// bytes over a file, and the database header (its first 15 bytes).
QByteArray readAll(const QString& path);
bool writeAll(const QString& path, const QByteArray& bytes);
QByteArray header(const QString& path);

// The entries of the kernel's lock table on the byte whose lock marks a
// running copy of the program (see DatabaseUseLock): "READ" for each copy
// using the database, "WRITE" for one writing the marker, and "-> READ" for
// a copy waiting to start.
QStringList useLocksOn(const QString& databasePath);

// The text of a PDF file as poppler's pdftotext reads it (with -layout; each
// page ends in a form feed), and its page count as pdfinfo gives it. Both
// tools come with poppler-utils; a missing tool fails the test run.
QString pdfText(const QString& path);
// The lines of a PDF's text that hold anything, runs of blanks made single.
QStringList pdfLines(const QString& path);
int pdfPages(const QString& path);
// The fonts of a PDF file, one line each as pdffonts lists them: name, type,
// encoding, and "yes" or "no" for embedded, subset and text map.
QStringList pdfFonts(const QString& path);

// Pins the formats to US English.
void pinEnglishUs();

// The box a start ends with when it cannot open its database, and the first
// lines of the one saying the database file is not where it is named.
inline const QString kInitFailed =
    QStringLiteral("An error was encountered while initializing the database.");
inline const QString kFileNotFoundText = QStringLiteral(
    "File does not exist in the correct directory!\r\nPlease verify that the file exists.\r\n");

} // namespace quillory::test
