#pragma once

#include <QObject>

#include <functional>

class QListWidget;
class QListWidgetItem;

namespace quillory {

// Runs a list's handler whenever the user picks an entry, as a user expects:
// a mouse click on any entry runs it, the entry already selected included, and
// so does each entry reached with the keyboard. In a list where nothing is
// selected yet, the first Down (or Up) selects the first entry. Changes made
// in code under a QSignalBlocker run nothing.
class EntryPicker : public QObject {
    Q_OBJECT

public:
    EntryPicker(QListWidget* list, std::function<void()> onPicked);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void currentChanged(QListWidgetItem* current);
    void clicked(QListWidgetItem* item);

    QListWidget* m_list;
    // Kept from the start: while the list is destroyed, its viewport still
    // sends events here after the list has stopped being a list.
    const QObject* m_viewport;
    std::function<void()> m_onPicked;
    bool m_pressing = false;
    QListWidgetItem* m_pickedOnPress = nullptr;
};

} // namespace quillory
