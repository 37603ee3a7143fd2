#include "widgets/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace quillory::clipboard {

namespace {
std::function<bool(const QString&)>& replacement() {
    static std::function<bool(const QString&)> put;
    return put;
}
} // namespace

bool putText(const QString& text) {
    if (replacement())
        return replacement()(text);
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->clear();
    auto* plain = new QMimeData;
    plain->setText(text);
    clipboard->setMimeData(plain);
    // Taken only when the clipboard now holds the text itself.
    const QMimeData* held = clipboard->mimeData();
    return held && held->text() == text;
}

void setClipboard(std::function<bool(const QString&)> put) {
    replacement() = std::move(put);
}

} // namespace quillory::clipboard
