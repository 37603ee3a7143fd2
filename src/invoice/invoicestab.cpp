#include "invoice/invoicestab.h"

#include "app/frmMain.h"
#include "ui_frmMain.h"

namespace quillory {

InvoicesTab::InvoicesTab(frmMain& window)
    : QObject(&window), m_window(window), ui(window.form()), m_db(window.database()) {}

} // namespace quillory
