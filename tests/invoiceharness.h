#pragma once

// What the tests of the invoice tab, the preview and the options window share:
// acting on a modal window from inside its own event loop, the Invoices tab
// reached with the mouse, and rows put straight into the database.

#include "mainwindowharness.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

#include <functional>

namespace quillory::test {

// Runs `act` on the window with this object name each time it is shown,
// once its modal event loop runs: the window is then on screen and waiting
// for the user, as a user would find it. A window that `act` leaves open is
// closed afterwards, so that a test never hangs on it.
class WhenShown : public QObject {
public:
    WhenShown(const QString& name, std::function<void(QWidget*)> act)
        : m_name(name), m_act(std::move(act)) {
        qApp->installEventFilter(this);
    }
    ~WhenShown() override { qApp->removeEventFilter(this); }

    int times() const { return m_times; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show || !watched->isWidgetType() ||
            watched->objectName() != m_name || !static_cast<QWidget*>(watched)->isWindow())
            return false;
        const QPointer<QWidget> window = static_cast<QWidget*>(watched);
        QMetaObject::invokeMethod(
            this,
            [this, window] {
                if (!window)
                    return;
                ++m_times;
                m_act(window);
                if (window && window->isVisible())
                    window->close();
            },
            Qt::QueuedConnection);
        return false;
    }

private:
    QString m_name;
    std::function<void(QWidget*)> m_act;
    int m_times = 0;
};

// A control of a window other than the main one, found by its object name.
template <class T> T* child(QWidget* window, const char* name) {
    T* w = window->findChild<T*>(QString::fromLatin1(name));
    if (!w)
        qFatal("No control named %s", name);
    return w;
}

inline void click(QWidget* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

// Replaces a line box's text by typing, as a user does.
inline void typeInto(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
}

// Clicks the tab with this index of the main window's tab control.
inline void clickTab(MainWindowHarness& h, int index) {
    QTabBar* bar = h.get<QTabWidget>("tabMain")->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

// Puts a business options row into the database.
inline void addOptions(MainWindowHarness& h, const QString& logo = QStringLiteral("NONE")) {
    h.program.sql(QStringLiteral("INSERT INTO tblbusoptions (uselogin,UserName,Password,busname,"
                                 "busaddress,busurl,bus_slogan,bus_phone,bus_email,"
                                 "image_path_logo) VALUES (0,'','','Acme Repairs',"
                                 "'1 Shop Rd\r\nHalifax NS','acme.example','We fix it',"
                                 "'555-0100','acme@example.com',?)"),
                  {logo});
}

// Starts the window with customer 1 (Ames), its project 0 and the invoice
// `id` owing `due` (in ten-thousandths) with `paid` paid, then shows that
// invoice on the Invoices tab as a user would reach it.
inline bool startWithInvoice(MainWindowHarness& h, int id, qint64 due, qint64 paid, int status) {
    h.addCustomer(1, QStringLiteral("Ames"));
    h.addProject(0, 1, QStringLiteral("Roof"), QStringLiteral("Completed"));
    h.addInvoice(id, 1, due, paid, status);
    if (!h.start() || !h.selectCustomer(QStringLiteral("Ames-1")))
        return false;
    clickTab(h, 2);
    return h.clickEntry("lstInvoices", QString::number(id));
}

} // namespace quillory::test
