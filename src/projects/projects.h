#pragma once

#include "core/money.h"

#include <QString>
#include <QVariantMap>

#include <optional>

// What the project handlers compute, apart from any window.
namespace quillory::projects {

// The texts of the project controls, as the view left them or as typed.
// Multi-line texts are in their kept form (CR LF line breaks).
struct ProjectTexts {
    QString id;
    QString customerId;
    QString hours;
    QString rate;
    QString summary;
    QString services;
    QString details;
    QString notes;
    QString created;
    QString status;
    bool operator==(const ProjectTexts&) const = default;
};

// The key of a project list entry: its text up to the first TAB.
QString projectKey(const QString& entry);

// What the project view shows of a stored row (projectstore's column names):
// hours and rates in their shortest plain form, "Edited:" in the locale's
// general date, and a Null as the empty text. The customer box shows
// `customerId`, the selected customer, not the row's own column.
ProjectTexts shownTexts(const QVariantMap& row, int customerId);

// An hours or rate text as the program keeps it: the locale conversion to
// single precision. Nothing when it is not a number or does not fit.
std::optional<float> readFigure(const QString& text);

// The first of Save's checks that the texts fail, in Save's order: the box
// to focus, the message, and whether the focus moves before the message.
// Figures whose total is too large to hold are refused at the larger one.
enum class Field { Hours, Rate, Summary, Services, Details, Notes, Status };
struct Refusal {
    Field field;
    QString message;
    bool focusFirst;
};
std::optional<Refusal> checkProject(const ProjectTexts& texts);

// The total cost of the figures as the program reads and stores them: the
// exact product of the two values, to four decimals. Nothing when a text does
// not read or the amount is too large to hold.
std::optional<Money> totalCost(const QString& hours, const QString& rate);

// The text of the box that confirms the figures before Save and Generate
// Invoice; the figures stand as typed.
QString figuresText(const QString& hours, const QString& rate, Money total);

// The columns whose box the user changed since the view left it, with the
// values to write (hours and rates as single precision).
QVariantMap changedColumns(const ProjectTexts& shown, const ProjectTexts& typed);

// The values the view loaded for each of `columns`' keys.
QVariantMap loadedValues(const QVariantMap& loaded, const QVariantMap& columns);

} // namespace quillory::projects
