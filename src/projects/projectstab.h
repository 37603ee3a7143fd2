#pragma once

#include "projects/projects.h"
#include "projects/projectstore.h"

#include <QObject>
#include <QVariantMap>

#include <optional>

namespace Ui {
class frmMain;
}

namespace quillory {

class Database;
class TabHost;

// The handlers of the "Projects and Services" tab: the filter, the project
// view, New, Edit, Cancel, Save and Generate Invoice.
class ProjectsTab : public QObject {
    Q_OBJECT

public:
    // `host` is the main window, which owns the controller.
    ProjectsTab(TabHost& host, QObject* owner);

    void cboProjectFilter_Click();
    void lstProjects_Click();
    void cmdpNew_Click();
    void cmdpEdit_Click();
    void cmdpCancel_Click();
    void cmdpSave_Click();
    void cmdpGenInvoice_Click();

private:
    projects::ProjectTexts typedTexts() const;
    void showTexts(const projects::ProjectTexts& texts);
    QWidget* box(projects::Field field) const;
    // The shown project, when the boxes still hold the one the view loaded.
    std::optional<projectstore::ProjectKey> shownKey(const projects::ProjectTexts& typed) const;
    // Shows the box of a write that came to nothing; false for Done.
    bool refused(projectstore::Outcome outcome, const QString& notFound);
    bool confirmFigures(const projects::ProjectTexts& typed);

    TabHost& m_host;
    Ui::frmMain& ui;
    Database& m_db;
    // The row the project view loaded, and the controls' texts as it left them.
    std::optional<QVariantMap> m_loaded;
    projects::ProjectTexts m_shown;
};

} // namespace quillory
