#include "app/boxes.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace quillory::boxes {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
}

QString text(const QWidget* box) {
    if (const auto* line = qobject_cast<const QLineEdit*>(box))
        return line->text();
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(box))
        return plain->toPlainText().replace(u'\n', kCrLf);
    return {};
}

void setText(QWidget* box, const QString& text) {
    if (auto* line = qobject_cast<QLineEdit*>(box))
        line->setText(text);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(box))
        plain->setPlainText(QString(text).replace(kCrLf, QStringLiteral("\n")));
}

void setLocked(QWidget* box, bool locked) {
    if (auto* line = qobject_cast<QLineEdit*>(box))
        line->setReadOnly(locked);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(box))
        plain->setReadOnly(locked);
}

void setComboPrompt(QComboBox* combo, const QString& text) {
    combo->setCurrentIndex(-1);
    combo->setEditText(text);
}

} // namespace quillory::boxes
