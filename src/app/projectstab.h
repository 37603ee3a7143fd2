#pragma once

#include <QObject>

namespace Ui {
class frmMain;
}

namespace quillory {

class Database;
class frmMain;

// The handlers of the "Projects and Services" tab: the filter, the project
// view, New, Edit, Cancel, Save and Generate Invoice.
class ProjectsTab : public QObject {
    Q_OBJECT

public:
    explicit ProjectsTab(frmMain& window);

private:
    frmMain& m_window;
    Ui::frmMain& ui;
    Database& m_db;
};

} // namespace quillory
