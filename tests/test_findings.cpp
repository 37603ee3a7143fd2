// Faults that the sanitizer build found, each kept as a test of the rule it
// broke.
#include "app/listpicking.h"

#include <QListWidget>
#include <QTest>

#include <memory>

using namespace quillory;

class FindingsTest : public QObject {
    Q_OBJECT

private slots:
    // Destroying a list that an EntryPicker watches runs no handler. The
    // picker used to ask the dying list for its viewport while the viewport
    // was being destroyed: a call on an object that was no longer a list
    // (undefined behaviour, reported by the sanitizer build on every exit of
    // the program).
    void destroyingAWatchedListRunsNoHandler() {
        auto list = std::make_unique<QListWidget>();
        list->addItems({QStringLiteral("Adams-1"), QStringLiteral("Baker-2")});
        int picked = 0;
        new EntryPicker(list.get(), [&picked] { ++picked; });
        list->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
        QCOMPARE(picked, 1);
        list.reset();
        QCOMPARE(picked, 1);
    }
};

QTEST_MAIN(FindingsTest)
#include "test_findings.moc"
