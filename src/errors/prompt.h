#pragma once

#include <QString>

#include <optional>

namespace quillory {

// Every message box and input box of the program goes through the installed
// Prompt. The real one shows Qt dialogs; tests install a scripted one that
// checks each box and answers it.
class Prompt {
public:
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
    enum class Icon { None, Information, Exclamation, Critical, Question };
    // The answers keep the numbers the rest of the program stores and tests.
    enum Answer { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

    // The title a box shows when it has none of its own.
    static QString applicationTitle() { return QStringLiteral("Quillory"); }

    virtual ~Prompt() = default;

    // Shows a message box and returns the button pressed. An empty title
    // shows the application title.
    virtual Answer message(const QString& text, Buttons buttons, Icon icon,
                           const QString& title) = 0;

    // Shows a single-line input box. Returns the typed text, or nothing when
    // the user cancelled. A masked box hides what is typed.
    virtual std::optional<QString> input(const QString& prompt, const QString& title,
                                         const QString& defaultText, bool masked) = 0;

    // Shows a file-open dialog with this title and Qt name filters
    // ("JPG (*.jpg);;GIF (*.gif)", the first one selected). Returns the
    // chosen file's full path, or nothing when the user cancelled.
    virtual std::optional<QString> openFile(const QString& title, const QString& filters) = 0;

    // Shows the desktop's own file-save dialog with this title and Qt name
    // filters, offering `suggested` (a full path). The dialog asks itself
    // before an existing file is replaced. Returns the chosen full path, or
    // nothing when the user cancelled. A prompt that shows no dialogs answers
    // as a user who cancels.
    virtual std::optional<QString> saveFile(const QString& title, const QString& filters,
                                            const QString& suggested);

    // The prompt in use. Until one is installed it is the real one.
    static Prompt& current();
    // Installs a prompt (not owned); nullptr goes back to the real one.
    static void install(Prompt* prompt);
};

// The prompt that shows real Qt dialogs.
class DialogPrompt : public Prompt {
public:
    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override;
    std::optional<QString> input(const QString& prompt, const QString& title,
                                 const QString& defaultText, bool masked) override;
    std::optional<QString> openFile(const QString& title, const QString& filters) override;
    std::optional<QString> saveFile(const QString& title, const QString& filters,
                                    const QString& suggested) override;
};

// The program shows its boxes through these; a box without a title of its
// own is given the application title here.
Prompt::Answer showMessage(const QString& text, Prompt::Buttons buttons = Prompt::Buttons::Ok,
                           Prompt::Icon icon = Prompt::Icon::None, const QString& title = {});
// An input box with an empty default; nothing when cancelled.
std::optional<QString> askInput(const QString& prompt, const QString& title, bool masked = false);
// A file-open dialog; nothing when cancelled.
std::optional<QString> askOpenFile(const QString& title, const QString& filters);
// A file-save dialog; nothing when cancelled.
std::optional<QString> askSaveFile(const QString& title, const QString& filters,
                                   const QString& suggested);

} // namespace quillory
