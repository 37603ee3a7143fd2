// Two copies of the program working on one database at once, each in a
// process of its own (tests/addcustomers.cpp): they add customers, pay
// invoices and save the same customers, and no id is given twice, no payment
// is lost and every save lands whole.
#include "data/file/signature.h"
#include "testsupport.h"

#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

using namespace quillory;
using test::header;
using test::writeAll;

namespace {

// Generous, for a loaded machine; a wait ends as soon as the writer does.
constexpr int kWriterTimeout = 120000;
const QString kNetworkPath = QStringLiteral("NetworkPath.sfe");

} // namespace

class TestTwoCopies : public QObject {
    Q_OBJECT

private slots:
    void twoCopiesWorkingAtOnceShareNoIdAndLoseNoPaymentOrSave_data() {
        QTest::addColumn<int>("store");
        QTest::addColumn<int>("each");
        QTest::newRow("file") << int(test::Store::File) << 150;
        QTest::newRow("server") << int(test::Store::Server) << 500;
    }
    void twoCopiesWorkingAtOnceShareNoIdAndLoseNoPaymentOrSave() {
        QFETCH(int, store);
        QFETCH(int, each);
        test::noteStoreOfRow(store);
        if (test::Store(store) == test::Store::Server && !test::testserver::isConfigured())
            QSKIP("No test server: scripts/test.sh starts one (QUILLORY_TEST_SERVER)");
        test::TempProgram program{test::Store(store)};
        const bool onFile = program.store() == test::Store::File;
        // Customers 1 to 5 to save, and invoices 1 to 5 of customer 1 to pay.
        for (int id = 1; id <= 5; ++id) {
            program.sql(QStringLiteral("INSERT INTO tblcustomer (id,fname,lname,notes) VALUES "
                                       "(?,'Shared','Shared',?)"),
                        {id, QStringLiteral("start")});
            program.sql(QStringLiteral("INSERT INTO tblinvoice (id,servicesid,customerid,"
                                       "amountdue,amountpaid,paymentdates,Status) VALUES "
                                       "(?,0,1,10000000000,0,'NA',0)"),
                        {id});
        }
        // Each copy has a program folder of its own, whose NetworkPath.sfe
        // names the one database.
        const QStringList tags = {QStringLiteral("Alpha"), QStringLiteral("Beta")};
        QList<std::shared_ptr<QTemporaryDir>> folders;
        QList<std::shared_ptr<QProcess>> writers;
        for (const QString& tag : tags) {
            auto folder = std::make_shared<QTemporaryDir>();
            QVERIFY(writeAll(folder->filePath(kNetworkPath),
                             (program.location() + QStringLiteral("\r\n")).toUtf8()));
            auto writer = std::make_shared<QProcess>();
            writer->start(QStringLiteral(QUILLORY_ADDCUSTOMERS_HELPER),
                          {folder->path(), tag, QString::number(each)});
            folders.append(folder);
            writers.append(writer);
        }
        QMap<int, QString> given;        // customer id -> last name
        QMap<int, qint64> paidCents;     // invoice -> what was paid, in cents
        QMap<QString, int> paymentLines; // "invoice/cents" -> payments applied
        QMap<int, QStringList> saved;    // customer -> tokens saved
        for (int i = 0; i < writers.size(); ++i) {
            QProcess& writer = *writers.at(i);
            QVERIFY2(writer.waitForFinished(kWriterTimeout), "A writer did not finish");
            const QString errors = QString::fromLocal8Bit(writer.readAllStandardError());
            QVERIFY2(writer.exitStatus() == QProcess::NormalExit && writer.exitCode() == 0,
                     qPrintable(tags.at(i) + QStringLiteral(" failed (exit code ") +
                                QString::number(writer.exitCode()) + QStringLiteral("): ") +
                                errors));
            const QStringList lines =
                QString::fromUtf8(writer.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
            QCOMPARE(lines.size(), each);
            for (const QString& line : lines) {
                const QStringList part = line.split(u' ');
                const int number = part.value(1).toInt();
                if (part.first() == u"customer") {
                    QVERIFY2(!given.contains(number),
                             qPrintable(QStringLiteral("Id %1 given twice").arg(number)));
                    given.insert(number, part.value(2));
                } else if (part.first() == u"payment") {
                    paidCents[number] += part.value(2).toInt();
                    ++paymentLines[QString::number(number) + u'/' + part.value(2)];
                } else {
                    saved[number].append(part.value(2));
                }
            }
        }
        QCOMPARE(given.size(), 2 * (each / 3));
        QCOMPARE(given.firstKey(), 6);
        QCOMPARE(given.lastKey(), 5 + 2 * (each / 3));

        // The customers are those reported, each under its id.
        QCOMPARE(program.scalar(QStringLiteral("SELECT count(*) FROM tblcustomer")).toInt(),
                 5 + given.size());
        for (auto it = given.cbegin(); it != given.cend(); ++it)
            QCOMPARE(
                program
                    .scalar(QStringLiteral("SELECT lname FROM tblcustomer WHERE id=?"), {it.key()})
                    .toString(),
                it.value());
        // Every payment is in its invoice's amount and history.
        for (int invoice = 1; invoice <= 5; ++invoice) {
            QCOMPARE(program
                         .scalar(QStringLiteral("SELECT amountpaid FROM tblinvoice WHERE id=?"),
                                 {invoice})
                         .toLongLong(),
                     paidCents.value(invoice) * 100);
            const QString history =
                program
                    .scalar(QStringLiteral("SELECT paymentdates FROM tblinvoice WHERE id=?"),
                            {invoice})
                    .toString();
            QCOMPARE(history.count(QStringLiteral("($1.00)")),
                     paymentLines.value(QString::number(invoice) + QStringLiteral("/100")));
            QCOMPARE(history.count(QStringLiteral("($0.01)")),
                     paymentLines.value(QString::number(invoice) + QStringLiteral("/1")));
        }
        // Every save is in its customer's notes: none wrote over another.
        for (int customer = 1; customer <= 5; ++customer) {
            QStringList notes =
                program
                    .scalar(QStringLiteral("SELECT notes FROM tblcustomer WHERE id=?"), {customer})
                    .toString()
                    .split(u' ');
            QCOMPARE(notes.takeFirst(), QStringLiteral("start"));
            QStringList expected = saved.value(customer);
            std::sort(notes.begin(), notes.end());
            std::sort(expected.begin(), expected.end());
            QCOMPARE(notes, expected);
        }
        if (onFile)
            QCOMPARE(header(program.databasePath()), signature::kMarker);
    }
};

QTEST_MAIN(TestTwoCopies)
#include "test_twocopies.moc"
