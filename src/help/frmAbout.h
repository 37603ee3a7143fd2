#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class frmAbout;
}

namespace quillory {

// The About box: the program's title, version and description, and the
// vendor's notice. Each opening makes a new one, which is discarded on close.
class frmAbout : public QDialog {
    Q_OBJECT

public:
    // Creates the box, loaded, owned by `owner`.
    explicit frmAbout(QWidget* owner);
    ~frmAbout() override;

    // Shows a new About box modally at the top-left corner of `owner`.
    static frmAbout* showFor(QWidget* owner);

    // "Version " and the three parts of a version number.
    static QString versionCaption(int major, int minor, int patch);

private:
    void Form_Load();
    void cmdOK_Click();

    std::unique_ptr<Ui::frmAbout> ui;
};

} // namespace quillory
