#include "errors/prompt.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace quillory {

namespace {
Prompt* installedPrompt = nullptr;

QWidget* dialogParent() {
    return QApplication::activeWindow();
}
} // namespace

Prompt& Prompt::current() {
    static DialogPrompt dialogs;
    return installedPrompt ? *installedPrompt : dialogs;
}

void Prompt::install(Prompt* prompt) {
    installedPrompt = prompt;
}

Prompt::Answer DialogPrompt::message(const QString& text, Buttons buttons, Icon icon,
                                     const QString& title) {
    QMessageBox box(dialogParent());
    box.setWindowTitle(title.isEmpty() ? applicationTitle() : title);
    box.setText(text);
    switch (icon) {
    case Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Yes;
    case QMessageBox::No:
        return No;
    case QMessageBox::Cancel:
        return Cancel;
    case QMessageBox::Ok:
        return Ok;
    default:
        // Closing a box by its window button answers Cancel where there is
        // one, otherwise the box's only button.
        if (buttons == Buttons::OkCancel || buttons == Buttons::YesNoCancel)
            return Cancel;
        return buttons == Buttons::YesNo ? No : Ok;
    }
}

std::optional<QString> DialogPrompt::input(const QString& prompt, const QString& title,
                                           const QString& defaultText, bool masked) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(dialogParent(), title.isEmpty() ? applicationTitle() : title, prompt,
                              masked ? QLineEdit::Password : QLineEdit::Normal, defaultText, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

std::optional<QString> DialogPrompt::openFile(const QString& title, const QString& filters) {
    const QString chosen = QFileDialog::getOpenFileName(dialogParent(), title, QString(), filters);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

std::optional<QString> Prompt::saveFile(const QString&, const QString&, const QString&) {
    return std::nullopt;
}

std::optional<QString> DialogPrompt::saveFile(const QString& title, const QString& filters,
                                              const QString& suggested) {
    // The static dialog is the desktop's own where the platform has one.
    const QString chosen = QFileDialog::getSaveFileName(dialogParent(), title, suggested, filters);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

Prompt::Answer showMessage(const QString& text, Prompt::Buttons buttons, Prompt::Icon icon,
                           const QString& title) {
    return Prompt::current().message(text, buttons, icon,
                                     title.isEmpty() ? Prompt::applicationTitle() : title);
}

std::optional<QString> askInput(const QString& prompt, const QString& title, bool masked) {
    return Prompt::current().input(prompt, title.isEmpty() ? Prompt::applicationTitle() : title,
                                   QString(), masked);
}

std::optional<QString> askOpenFile(const QString& title, const QString& filters) {
    return Prompt::current().openFile(title, filters);
}

std::optional<QString> askSaveFile(const QString& title, const QString& filters,
                                   const QString& suggested) {
    return Prompt::current().saveFile(title, filters, suggested);
}

} // namespace quillory
