#include "projects/projects.h"

#include "core/formats.h"
#include "core/numbers.h"
#include "projects/projectstore.h"

#include <cmath>

namespace quillory::projects {

namespace col = projectstore::column;

namespace {

QString textOf(const QVariant& value) {
    return value.isNull() ? QString() : value.toString();
}

QString figureText(const QVariant& value) {
    if (value.isNull())
        return {};
    bool ok = false;
    const double figure = value.toDouble(&ok);
    return ok ? formats::shortestNumber(static_cast<float>(figure)) : value.toString();
}

QString dateText(const QVariant& value) {
    if (value.isNull())
        return {};
    const QDateTime when = formats::fromStoredDateTime(value.toString());
    return when.isValid() ? formats::generalDate(when) : value.toString();
}

} // namespace

QString projectKey(const QString& entry) {
    return entry.section(u'\t', 0, 0);
}

ProjectTexts shownTexts(const QVariantMap& row, int customerId) {
    ProjectTexts t;
    t.id = textOf(row.value(col::id));
    t.customerId = QString::number(customerId);
    t.hours = figureText(row.value(col::hours));
    t.rate = figureText(row.value(col::rate));
    t.summary = textOf(row.value(col::summary));
    t.services = textOf(row.value(col::services));
    t.details = textOf(row.value(col::details));
    t.notes = textOf(row.value(col::notes));
    t.created = dateText(row.value(col::created));
    t.status = textOf(row.value(col::status));
    return t;
}

std::optional<float> readFigure(const QString& text) {
    return numbers::localeSingle(text);
}

std::optional<Refusal> checkProject(const ProjectTexts& texts) {
    const Refusal badHours{
        Field::Hours, QStringLiteral("Billing Hours must be a number like '42.5' or '40'."), false};
    const Refusal badRate{
        Field::Rate, QStringLiteral("Billing Rate must be a number like '20.75' or '20'."), false};
    const std::optional<float> hours = readFigure(texts.hours);
    if (!hours)
        return badHours;
    const std::optional<float> rate = readFigure(texts.rate);
    if (!rate)
        return badRate;
    // Figures whose total cannot be held as an amount are refused here, at
    // the larger of the two, rather than failing later as a fault.
    if (!Money::fromProduct(*hours, *rate))
        return std::fabs(*hours) >= std::fabs(*rate) ? badHours : badRate;
    const QString missing = QStringLiteral("Please enter all details of this project.");
    const std::pair<Field, const QString*> required[] = {{Field::Summary, &texts.summary},
                                                         {Field::Services, &texts.services},
                                                         {Field::Details, &texts.details},
                                                         {Field::Notes, &texts.notes}};
    for (const auto& [field, text] : required)
        if (text->isEmpty())
            return Refusal{field, missing, true};
    if (texts.status.isEmpty() || texts.status == u"Select Status")
        return Refusal{Field::Status, missing, true};
    return std::nullopt;
}

std::optional<Money> totalCost(const QString& hours, const QString& rate) {
    const std::optional<float> h = readFigure(hours);
    const std::optional<float> r = readFigure(rate);
    if (!h || !r)
        return std::nullopt;
    return Money::fromProduct(*h, *r);
}

QString figuresText(const QString& hours, const QString& rate, Money total) {
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("Please confirm the following project information:") + crlf +
           QStringLiteral("Billing Hours: ") + hours + crlf + QStringLiteral("Billing Rate:  ") +
           rate + crlf + QStringLiteral("Total Cost:    ") + formats::currency(total);
}

QVariantMap changedColumns(const ProjectTexts& shown, const ProjectTexts& typed) {
    QVariantMap changes;
    const auto figure = [&changes](const QString& column, const QString& before,
                                   const QString& now) {
        if (now == before)
            return;
        if (const std::optional<float> value = readFigure(now))
            changes.insert(column, *value);
    };
    figure(col::hours, shown.hours, typed.hours);
    figure(col::rate, shown.rate, typed.rate);
    const std::pair<const QString*, const QString ProjectTexts::*> texts[] = {
        {&col::summary, &ProjectTexts::summary},
        {&col::services, &ProjectTexts::services},
        {&col::details, &ProjectTexts::details},
        {&col::notes, &ProjectTexts::notes},
        {&col::status, &ProjectTexts::status}};
    for (const auto& [column, member] : texts)
        if (typed.*member != shown.*member)
            changes.insert(*column, typed.*member);
    return changes;
}

QVariantMap loadedValues(const QVariantMap& loaded, const QVariantMap& columns) {
    QVariantMap values;
    for (auto it = columns.cbegin(); it != columns.cend(); ++it)
        values.insert(it.key(), loaded.value(it.key()));
    return values;
}

} // namespace quillory::projects
