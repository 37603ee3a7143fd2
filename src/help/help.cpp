#include "help/help.h"

#include "core/environment.h"
#include "errors/prompt.h"
#include "help/version.h"

#include <QDesktopServices>
#include <QFileInfo>

namespace quillory::help {

namespace {
std::function<bool(const QUrl&)>& openerSetting() {
    static std::function<bool(const QUrl&)> opener;
    return opener;
}
} // namespace

QString website() {
    return QStringLiteral(QUILLORY_WEBSITE);
}

QString manualPath() {
    return environment::manualPath();
}

void setOpener(std::function<bool(const QUrl&)> opener) {
    openerSetting() = std::move(opener);
}

bool ShellOpen(const QString& target) {
    const QUrl url =
        QFileInfo(target).isAbsolute() ? QUrl::fromLocalFile(target) : QUrl::fromUserInput(target);
    const bool opened = openerSetting() ? openerSetting()(url) : QDesktopServices::openUrl(url);
    if (!opened)
        showMessage(QStringLiteral("No program could be started to open:\r\n") + target +
                        QStringLiteral("\r\nCheck that the desktop has a program set up for it."),
                    Prompt::Buttons::Ok, Prompt::Icon::Exclamation, QStringLiteral("Notice"));
    return opened;
}

void openManual() {
    if (QFileInfo(manualPath()).isFile()) {
        ShellOpen(manualPath());
        return;
    }
    ShellOpen(website());
    showMessage(QStringLiteral("Help guide PDF file not found in application directory.  Please "
                               "re-install."),
                Prompt::Buttons::Ok, Prompt::Icon::None, QStringLiteral("Notice"));
}

} // namespace quillory::help
