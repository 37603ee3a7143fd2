#pragma once

#include <QLabel>

namespace quillory {

// A label that fits its caption: each time its text changes it takes the
// size of the text with a little room around it, so that the text never
// touches the label's edges, and it takes no room at all while its text is
// empty (no empty coloured bar). Handlers simply call setText() or clear().
//
// A screen reader names the label by its text; while the text is empty, by
// `emptyName` (otherwise it would borrow its frame's caption).
class FittingLabel : public QLabel {
    Q_OBJECT
    Q_PROPERTY(QString emptyName READ emptyName WRITE setEmptyName)

public:
    explicit FittingLabel(QWidget* parent = nullptr);

    // These hide QLabel's own, which cannot be overridden: the text is set,
    // then the label fits it.
    void setText(const QString& text);
    void clear();

    // The size that fits the current text: nothing for an empty text.
    QSize fittedSize() const;

    QString emptyName() const { return m_emptyName; }
    void setEmptyName(const QString& name);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void fit();
    QString m_fitted; // the text the size was last fitted to
    QString m_emptyName;
};

} // namespace quillory
