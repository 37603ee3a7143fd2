// Handing an invoice to the mail program: the PDF attached from a folder of
// its own, the customer's address when it is one, and when no mail program
// can be started, the reason said and the PDF saved instead.
#include "export/mail.h"
#include "invoiceharness.h"
#include "scoped.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QSignalSpy>

#include <utime.h>

using namespace quillory;
using namespace quillory::test;

class MailTest : public QObject {
    Q_OBJECT

private slots:
    void init() { pinEnglishUs(); }

    // Each row: the customer's stored address, what xdg-email ends with (-1:
    // there is none on PATH), the address it is given, why the mail program
    // could not be started (nothing when it was), and whether the user then
    // saves the PDF.
    void anInvoiceGoesToTheMailProgramAsAnAttachment_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("saveInstead");
        QTest::newRow("to the first address") << "ann@example.com" << 0 << "ann@example.com"
                                              << "" << false;
        QTest::newRow("blanks around it") << "  ann@example.com " << 0 << "ann@example.com"
                                          << "" << false;
        QTest::newRow("no address") << "" << 0 << ""
                                    << "" << false;
        QTest::newRow("not an address") << "NA" << 0 << ""
                                        << "" << false;
        QTest::newRow("an option, not an address") << "--attach=/etc/passwd@x" << 0 << ""
                                                   << "" << false;
        QTest::newRow("two addresses") << "a@x.test, b@y.test" << 0 << ""
                                       << "" << false;
        QTest::newRow("no mail program set up")
            << "ann@example.com" << 3 << "ann@example.com"
            << "no e-mail program is set up on this desktop" << false;
        QTest::newRow("the mail program fails, the PDF is saved")
            << "ann@example.com" << 4 << "ann@example.com"
            << "xdg-email ended with status 4" << true;
        QTest::newRow("no xdg-email, the PDF is saved")
            << "ann@example.com" << -1 << ""
            << "xdg-email, which comes with xdg-utils, was not found" << true;
    }
    void anInvoiceGoesToTheMailProgramAsAnAttachment() {
        QFETCH(QString, stored);
        QFETCH(int, status);
        QFETCH(QString, address);
        QFETCH(QString, reason);
        QFETCH(bool, saveInstead);
        MainWindowHarness h;
        addOptions(h);
        QVERIFY(startWithInvoice(h, 9, 1000000, 250000, 0));
        h.program.sql(QStringLiteral("UPDATE tblcustomer SET email1=? WHERE id=1"), {stored});

        // The attachments' folders go into a temporary folder of the test's,
        // which holds one folder left two days ago and one left an hour ago.
        QTemporaryDir scratch;
        const QDir temp(scratch.filePath(QStringLiteral("tmp")));
        QVERIFY(QDir().mkpath(temp.path()));
        for (const auto& [name, age] : {std::pair{"quillory-mail-old", 2 * 24 * 3600},
                                        std::pair{"quillory-mail-recent", 3600}}) {
            QVERIFY(temp.mkdir(QString::fromLatin1(name)));
            const time_t then = TempProgram::fixedNow().addSecs(-age).toSecsSinceEpoch();
            const utimbuf times{then, then};
            QCOMPARE(::utime(QFile::encodeName(temp.filePath(QString::fromLatin1(name))), &times),
                     0);
        }
        const QString log = scratch.filePath(QStringLiteral("xdg-email.log"));
        const QString path = status < 0 ? scratch.filePath(QStringLiteral("nothing-here"))
                                        : QStringLiteral(QUILLORY_STUB_DIR ":") + qgetenv("PATH");
        const QString savedPath = h.program.file(QStringLiteral("Invoice 9.pdf"));
        if (!reason.isEmpty())
            h.prompt.expectMessage(QStringLiteral("No e-mail program could be started: ") + reason +
                                       QStringLiteral(".\r\n\r\nSave the invoice as a PDF file "
                                                      "instead?"),
                                   QStringLiteral("E-mail Invoice"),
                                   saveInstead ? Prompt::Yes : Prompt::No, Prompt::Buttons::YesNo,
                                   Prompt::Icon::Exclamation);
        if (saveInstead)
            h.prompt.expectSaveFile(QStringLiteral("Invoice as PDF"),
                                    QStringLiteral("PDF files (*.pdf)"),
                                    QStringLiteral("Invoice 9.pdf"), savedPath);
        QList<QVariant> finished;
        {
            const EnvironmentVariable tmpdir("TMPDIR", temp.path());
            const EnvironmentVariable searched("PATH", path);
            const EnvironmentVariable logged("QUILLORY_XDG_EMAIL_LOG", log);
            const EnvironmentVariable ends("QUILLORY_XDG_EMAIL_STATUS", QString::number(status));
            h.get<QAction>("mnuExpInvoiceEmail")->trigger();
            auto* handOff = h.window->findChild<mail::HandOff*>();
            QVERIFY(handOff);
            QSignalSpy spy(handOff, &mail::HandOff::finished);
            QVERIFY(spy.wait(60000));
            finished = spy.constFirst();
        }
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(finished.constFirst().toBool(), reason.isEmpty());

        // Earlier folders are kept a day; the new one only when handed over.
        QStringList folders = temp.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QVERIFY(folders.removeOne(QStringLiteral("quillory-mail-recent")));
        QCOMPARE(folders.size(), reason.isEmpty() ? 1 : 0);
        if (status >= 0) {
            QStringList args = QString::fromUtf8(readAll(log)).split(QChar(0));
            QCOMPARE(args.takeLast(), QString()); // after the last NUL
            // The attachment lies in a folder of its own in the temporary one.
            const QString attachment = args.value(4);
            QVERIFY2(attachment.startsWith(temp.filePath(QStringLiteral("quillory-mail-"))) &&
                         attachment.endsWith(QStringLiteral("/Invoice 9.pdf")),
                     qPrintable(attachment));
            if (reason.isEmpty())
                QCOMPARE(attachment,
                         temp.filePath(folders.constFirst()) + QStringLiteral("/Invoice 9.pdf"));
            QStringList expected{"--utf8", "--subject", "Invoice 9", "--attach", attachment};
            if (!address.isEmpty())
                expected.append(address);
            QCOMPARE(args, expected);
            QVERIFY(pdfText(log + QStringLiteral(".attachment")).contains("Invoice ID: 9"));
        } else {
            QVERIFY(!QFile::exists(log));
        }
        if (reason.isEmpty()) {
            const QString folder = temp.filePath(folders.constFirst());
            QCOMPARE(modeOf(folder), 0700);
            QCOMPARE(modeOf(folder + QStringLiteral("/Invoice 9.pdf")), 0600);
        }
        QCOMPARE(QFile::exists(savedPath), saveInstead);
        if (saveInstead)
            QVERIFY(pdfText(savedPath).contains("CURRENT BALANCE: 75"));
    }
};

QTEST_MAIN(MailTest)
#include "test_mail.moc"
