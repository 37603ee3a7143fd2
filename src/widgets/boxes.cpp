#include "widgets/boxes.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QValidator>

#include <algorithm>

namespace quillory::boxes {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
constexpr int kUnlimited = 32767; // QLineEdit's own "no limit"

bool isPairAt(QStringView text, qsizetype i) {
    return i + 1 < text.size() && text[i].isHighSurrogate() && text[i + 1].isLowSurrogate();
}

// Keeps a box's text within a count of characters. An edit that would pass
// the limit keeps only as much of what was just typed or pasted (the text
// before the cursor) as fits, whole characters only.
class CharacterLimit : public QValidator {
public:
    CharacterLimit(QLineEdit* box, int limit)
        : QValidator(box), m_box(box), m_limit(limit), m_before(characterCount(box->text())) {
        // The count before each edit: a longer text the program set may stay.
        connect(box, &QLineEdit::textChanged, this,
                [this](const QString& text) { m_before = characterCount(text); });
    }

    int limit() const { return m_limit; }

    State validate(QString& input, int& pos) const override {
        // Qt validates the texts the program sets too; only the user's
        // edits, which leave the box modified, are held to the limit.
        if (!m_box->isModified())
            return Acceptable;
        qsizetype excess = characterCount(input) - std::max<qsizetype>(m_limit, m_before);
        while (excess > 0 && pos > 0) {
            const int width = pos >= 2 && isPairAt(input, pos - 2) ? 2 : 1;
            input.remove(pos - width, width);
            pos -= width;
            --excess;
        }
        return excess > 0 ? Invalid : Acceptable;
    }

private:
    const QLineEdit* m_box;
    int m_limit;
    qsizetype m_before;
};

} // namespace

QString text(const QWidget* box) {
    if (const auto* line = qobject_cast<const QLineEdit*>(box))
        return line->text();
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(box)) {
        // The raw text keeps no-break spaces, which toPlainText() would turn
        // into plain ones; its paragraph and line separators are the breaks.
        QString raw = plain->document()->toRawText();
        raw.replace(QChar::ParagraphSeparator, u'\n').replace(QChar::LineSeparator, u'\n');
        return raw.replace(u'\n', kCrLf);
    }
    return {};
}

void setText(QWidget* box, const QString& text) {
    if (auto* line = qobject_cast<QLineEdit*>(box))
        line->setText(text);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(box))
        plain->setPlainText(QString(text).replace(kCrLf, QStringLiteral("\n")));
}

void setLocked(QWidget* box, bool locked) {
    if (auto* line = qobject_cast<QLineEdit*>(box))
        line->setReadOnly(locked);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(box))
        plain->setReadOnly(locked);
}

void setComboPrompt(QComboBox* combo, const QString& text) {
    combo->setCurrentIndex(-1);
    combo->setEditText(text);
}

void limitCharacters(QWidget* window) {
    for (QLineEdit* box : window->findChildren<QLineEdit*>()) {
        const int limit = box->maxLength();
        if (limit >= kUnlimited)
            continue;
        box->setValidator(new CharacterLimit(box, limit));
        box->setMaxLength(kUnlimited);
    }
}

void nameByCaptions(QWidget* window) {
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        QWidget* control = label->buddy();
        if (!control || !control->accessibleName().isEmpty())
            continue;
        // The caption as it reads: "&&" shows as "&", a single "&" marks
        // the access key and does not show.
        QString caption;
        const QString text = label->text();
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text.at(i) == u'&' && i + 1 < text.size())
                ++i;
            caption.append(text.at(i));
        }
        control->setAccessibleName(caption);
    }
}

int characterLimit(const QLineEdit* box) {
    if (const auto* limit = dynamic_cast<const CharacterLimit*>(box->validator()))
        return limit->limit();
    return box->maxLength();
}

qsizetype characterCount(QStringView text) {
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i, ++count)
        if (isPairAt(text, i))
            ++i;
    return count;
}

} // namespace quillory::boxes
