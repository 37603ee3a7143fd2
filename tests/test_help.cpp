// The Help menu: the manual present and missing, the web site, a desktop
// that cannot open either, and the About box's texts, drawing and place.
#include "core/environment.h"
#include "help/frmAbout.h"
#include "help/help.h"
#include "help/version.h"
#include "mainwindowharness.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

using namespace quillory;
using test::MainWindowHarness;

namespace {

// The desktop's handler, as the tests see it: what it was asked to open.
struct Desktop {
    QList<QUrl> opened;
    bool works = true;
    Desktop() {
        help::setOpener([this](const QUrl& url) {
            opened.append(url);
            return works;
        });
    }
    ~Desktop() { help::setOpener({}); }
};

const QString kNoManual =
    QStringLiteral("Help guide PDF file not found in application directory.  Please re-install.");

} // namespace

class HelpTest : public QObject {
    Q_OBJECT

private slots:
    // The manual is beside the program, or for an installed copy in the
    // package's documentation folder (a stray copy beside an installed
    // program is not its manual).
    void theManualOpensFromItsPlace_data() {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QStringList>("manuals"); // from the program's folder
        QTest::addColumn<QString>("opened");      // "<website>": the manual is missing
        QTest::newRow("beside the program") << false << QStringList{"guide.pdf"} << "guide.pdf";
        QTest::newRow("installed: in the documentation folder")
            << true << QStringList{"guide.pdf", "../share/doc/quillory/guide.pdf"}
            << "../share/doc/quillory/guide.pdf";
        QTest::newRow("installed: one beside the program does not count")
            << true << QStringList{"guide.pdf"} << "<website>";
    }
    void theManualOpensFromItsPlace() {
        QFETCH(bool, installed);
        QFETCH(QStringList, manuals);
        QFETCH(QString, opened);
        const test::UserFolders folders;
        MainWindowHarness h;
        environment::setInstalled(installed);
        const QString bin = h.program.file("usr/bin");
        QVERIFY(QDir().mkpath(bin));
        environment::setProgramDirectory(bin);
        if (!installed)
            QVERIFY(QFile::copy(h.program.databasePath(), bin + "/records.mdb"));
        for (const QString& manual : manuals) {
            const QString path = QDir::cleanPath(bin + u'/' + manual);
            QVERIFY(QDir().mkpath(QFileInfo(path).path()));
            QVERIFY(test::writeAll(path, "%PDF-1.4\n"));
        }
        Desktop desktop;
        QVERIFY(h.start());
        if (opened == "<website>")
            h.prompt.expectMessage(kNoManual, "Notice");
        h.get<QAction>("mnuHelpManual")->trigger();
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(desktop.opened,
                 QList<QUrl>{opened == "<website>"
                                 ? QUrl(QStringLiteral(QUILLORY_WEBSITE))
                                 : QUrl::fromLocalFile(QDir::cleanPath(bin + u'/' + opened))});
    }

    void aMissingManualOpensTheWebSiteAndSaysSo() {
        MainWindowHarness h;
        Desktop desktop;
        QVERIFY(h.start());
        h.prompt.expectMessage(kNoManual, "Notice");
        h.get<QAction>("mnuHelpManual")->trigger();
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(desktop.opened, QList<QUrl>{QUrl(QStringLiteral(QUILLORY_WEBSITE))});
    }

    void theWebSiteOpensAndAFailureToOpenIsReported() {
        MainWindowHarness h;
        Desktop desktop;
        QVERIFY(h.start());
        h.get<QAction>("mnuHelpWebsite")->trigger();
        QCOMPARE(desktop.opened, QList<QUrl>{QUrl(help::website())});
        desktop.works = false;
        h.prompt.expectMessage("No program could be started to open:\r\n" + help::website() +
                                   "\r\nCheck that the desktop has a program set up for it.",
                               "Notice", Prompt::Ok, Prompt::Buttons::Ok,
                               Prompt::Icon::Exclamation);
        h.get<QAction>("mnuHelpWebsite")->trigger();
        QVERIFY(h.prompt.verifyAllShown());
    }

    void theVersionCaptionShowsThreePartsUnpadded() {
        QCOMPARE(frmAbout::versionCaption(1, 2, 30), QStringLiteral("Version 1.2.30"));
        QCOMPARE(frmAbout::versionCaption(QUILLORY_VERSION_MAJOR, QUILLORY_VERSION_MINOR,
                                          QUILLORY_VERSION_PATCH),
                 QStringLiteral("Version 0.5.0"));
    }

    void theAboutBoxShowsItsTextsAtTheMainWindowsCorner() {
        MainWindowHarness h;
        QVERIFY(h.start());
        h.window->move(140, 90);
        h.get<QAction>("mnuHelpAbout")->trigger();
        auto* about = qobject_cast<frmAbout*>(QApplication::activeModalWidget());
        QVERIFY(about);
        QCOMPARE(about->parentWidget(), h.window.get());
        QCOMPARE(about->windowTitle(), QStringLiteral("About Quillory"));
        QCOMPARE(about->findChild<QLabel*>("lblTitle")->text(), QStringLiteral("Quillory"));
        QCOMPARE(about->findChild<QLabel*>("lblVersion")->text(), QStringLiteral("Version 0.5.0"));
        QCOMPARE(about->findChild<QLabel*>("lblDescription")->text(),
                 QStringLiteral(QUILLORY_DESCRIPTION));
        QCOMPARE(about->pos(), h.window->pos());
        // Every text fits its label.
        for (auto* label : about->findChildren<QLabel*>()) {
            const QRect room = label->contentsRect();
            const QRect needed = label->fontMetrics().boundingRect(
                room, Qt::TextWordWrap | int(label->alignment()), label->text());
            QVERIFY2(room.contains(needed), qPrintable(label->objectName()));
        }
    }

    // The drawing, in twips / 15 at 96 dots per inch.
    void theAboutBoxIsDrawnAsDesigned_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips");
        QTest::newRow("window") << "frmAbout" << QRect(0, 0, 5730, 3555);
        QTest::newRow("title") << "lblTitle" << QRect(120, 240, 5445, 480);
        QTest::newRow("version") << "lblVersion" << QRect(120, 780, 5445, 225);
        QTest::newRow("description") << "lblDescription" << QRect(180, 1125, 5355, 1170);
        QTest::newRow("separator") << "Line1" << QRect(90, 2445, 5565, 30);
        QTest::newRow("disclaimer") << "lblDisclaimer" << QRect(255, 2625, 3870, 825);
        QTest::newRow("ok") << "cmdOK" << QRect(4245, 2625, 1260, 345);
    }
    void theAboutBoxIsDrawnAsDesigned() {
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        QWidget owner;
        frmAbout about(&owner);
        about.setAttribute(Qt::WA_DeleteOnClose, false);
        QWidget* w = name == "frmAbout" ? &about : about.findChild<QWidget*>(name);
        QVERIFY(w);
        const QRect expected(twips.x() / 15, twips.y() / 15, twips.width() / 15,
                             twips.height() / 15);
        QCOMPARE(name == "frmAbout" ? QRect(QPoint(0, 0), w->size()) : w->geometry(), expected);
    }

    void enterAndEscapeCloseTheBoxAndEachOpeningIsNew_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
    }
    void enterAndEscapeCloseTheBoxAndEachOpeningIsNew() {
        QFETCH(int, key);
        MainWindowHarness h;
        QVERIFY(h.start());
        h.get<QAction>("mnuHelpAbout")->trigger();
        QPointer<QWidget> first = QApplication::activeModalWidget();
        QVERIFY(first);
        QTest::keyClick(first, Qt::Key(key));
        QTRY_VERIFY(first.isNull());
        h.get<QAction>("mnuHelpAbout")->trigger();
        QPointer<QWidget> second = QApplication::activeModalWidget();
        QVERIFY(second);
        QTest::mouseClick(second->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        QTRY_VERIFY(second.isNull());
        QVERIFY(h.prompt.verifyAllShown());
    }
};

QTEST_MAIN(HelpTest)
#include "test_help.moc"
