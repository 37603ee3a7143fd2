#include "widgets/listpicking.h"

#include <QKeyEvent>
#include <QListWidget>

namespace quillory {

EntryPicker::EntryPicker(QListWidget* list, std::function<void()> onPicked)
    : QObject(list), m_list(list), m_viewport(list->viewport()), m_onPicked(std::move(onPicked)) {
    list->installEventFilter(this);
    list->viewport()->installEventFilter(this);
    connect(list, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem* current) { currentChanged(current); });
    connect(list, &QListWidget::itemClicked, this, &EntryPicker::clicked);
}

void EntryPicker::currentChanged(QListWidgetItem* current) {
    if (!current || !current->isSelected())
        return;
    // A press on another entry makes it current; the click that follows on
    // release must not run the handler a second time.
    if (m_pressing)
        m_pickedOnPress = current;
    m_onPicked();
}

void EntryPicker::clicked(QListWidgetItem* item) {
    const bool ranOnPress = m_pickedOnPress == item;
    m_pressing = false;
    m_pickedOnPress = nullptr;
    if (!ranOnPress && item && item->isSelected())
        m_onPicked();
}

bool EntryPicker::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_viewport) {
        if (event->type() == QEvent::MouseButtonPress) {
            m_pressing = true;
            m_pickedOnPress = nullptr;
        }
        return false;
    }
    if (watched == m_list && event->type() == QEvent::KeyPress && m_list->count() > 0 &&
        m_list->selectedItems().isEmpty()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Down || key == Qt::Key_Up) {
            // Focus made the first entry current without selecting it; the
            // first arrow selects that entry rather than moving past it.
            const bool alreadyCurrent = m_list->currentRow() == 0;
            m_list->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
            if (alreadyCurrent)
                m_onPicked();
            return true;
        }
    }
    return false;
}

} // namespace quillory
