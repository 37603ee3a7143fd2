#pragma once

// What the customer editing tests share: the boxes in save order, typing
// like a user, the buttons, and the expected boxes.
#include "mainwindowharness.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace quillory::test {

inline const QString kDataError = QStringLiteral("Data Error");
inline const QString kMissing = QStringLiteral("Please enter information about this customer.");
inline const QString kSelectFirst =
    QStringLiteral("Please select a customer from the list before editing.");
inline const QString kChanged = QStringLiteral("This customer was changed by another user since "
                                               "it was shown. Select it again to see the change.");
inline const QString kNotFound = QStringLiteral("Customer record not found.");

// The 13 editable customer boxes, in the order Save checks them.
inline const char* const kBoxes[] = {
    "txtCustFirst",   "txtCustLast",         "txtCustStreet", "txtCustCity",   "txtCustProv",
    "txtCustCountry", "txtCustPcode",        "txtCustEmail1", "txtCustEmail2", "txtCustPhone",
    "txtCustCell",    "txtCustContactNotes", "txtCustMemo"};

inline void type(QWidget* box, const QString& text) {
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
        line->clear();
        QTest::keyClicks(line, text);
    } else {
        qobject_cast<QPlainTextEdit*>(box)->setPlainText(text);
    }
}

// Types the required boxes of a customer, leaving the optional ones empty.
inline void typeRequired(MainWindowHarness& h, const QString& last = QStringLiteral("Ames")) {
    type(h.get<QWidget>("txtCustFirst"), QStringLiteral("Ann"));
    type(h.get<QWidget>("txtCustLast"), last);
    type(h.get<QWidget>("txtCustStreet"), QStringLiteral("1 Main St"));
    type(h.get<QWidget>("txtCustCity"), QStringLiteral("Halifax"));
    type(h.get<QWidget>("txtCustProv"), QStringLiteral("NS"));
    type(h.get<QWidget>("txtCustPcode"), QStringLiteral("B3H 1A1"));
    type(h.get<QWidget>("txtCustEmail1"), QStringLiteral("ann@example.com"));
}

inline void click(MainWindowHarness& h, const char* button) {
    h.get<QPushButton>(button)->click();
}

// Answers the three delete questions: Yes, Yes, then `third`.
inline void expectDeleteQuestions(MainWindowHarness& h, Prompt::Answer third = Prompt::Yes) {
    h.prompt.expectMessage(QStringLiteral("Delete the selected customer?"),
                           QStringLiteral("Delete?"), Prompt::Yes, Prompt::Buttons::YesNo);
    h.prompt.expectMessage(QStringLiteral("This will delete all invoices and projects for "
                                          "this customer.  Proceed?"),
                           QStringLiteral("Confirm"), Prompt::Yes, Prompt::Buttons::YesNo);
    h.prompt.expectMessage(QStringLiteral("Confirm delete selected customer?"),
                           QStringLiteral("Confirm"), third, Prompt::Buttons::YesNo);
}

inline bool inEditState(MainWindowHarness& h) {
    return h.get<QPushButton>("cmdCustSave")->isEnabled() &&
           !h.get<QLineEdit>("txtCustFirst")->isReadOnly();
}

} // namespace quillory::test
