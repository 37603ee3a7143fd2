#pragma once

#include <QListWidget>
#include <QTest>

namespace quillory::test {

// Clicks the entry with this text in a list, as a user does: a mouse click in
// the middle of the entry's rectangle, scrolled into view first. The entry
// clicked, or nullptr when the list has no such entry or is disabled.
inline QListWidgetItem* clickEntry(QListWidget* list, const QString& entry) {
    const auto items = list->findItems(entry, Qt::MatchExactly);
    if (items.isEmpty() || !list->isEnabled())
        return nullptr;
    list->scrollToItem(items.first());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(items.first()).center());
    return items.first();
}

} // namespace quillory::test
