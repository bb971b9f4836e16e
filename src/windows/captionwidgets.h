#pragma once
// The station's buttons and labels carry a tag text beside their caption; code reads tags, never
// captions. Buttons draw a caption that does not fit on one line wrapped onto two, as operators know
// them, without changing text(), so tests and screen readers read the caption exactly as set.

#include <QLabel>
#include <QPushButton>
#include <QString>

namespace platform {

class TagButton : public QPushButton
{
    Q_OBJECT

public:
    explicit TagButton(QWidget* parent = nullptr);

    QString tag() const { return m_tag; }
    void setTag(const QString& tag) { m_tag = tag; }

    // Background in a palette role's colour ("button face" = Button, "button shadow" = Dark).
    void setFaceRole(QPalette::ColorRole role);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_tag;
};

class TagLabel : public QLabel
{
    Q_OBJECT

public:
    explicit TagLabel(QWidget* parent = nullptr);

    QString tag() const { return m_tag; }
    void setTag(const QString& tag) { m_tag = tag; }

    // Caption and tag written together, as the digit editors do.
    void setDigit(const QString& digit);

    // Background colour of the label (digit fields: white, or button shadow for a refused port).
    void setBackground(const QColor& colour);
    QColor background() const;

private:
    QString m_tag;
};

} // namespace platform
