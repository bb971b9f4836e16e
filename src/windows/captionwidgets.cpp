#include "captionwidgets.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace platform {

TagButton::TagButton(QWidget* parent)
    : QPushButton(parent)
{
}

void TagButton::setFaceRole(QPalette::ColorRole role)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Button, QApplication::palette().color(role));
    setPalette(pal);
    update();
}

void TagButton::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    // The caption, wrapped at blanks when it is wider than the button.
    const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this).adjusted(1, 0, -1, 0);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, caption);
}

TagLabel::TagLabel(QWidget* parent)
    : QLabel(parent)
{
}

void TagLabel::setDigit(const QString& digit)
{
    setText(digit);
    m_tag = digit;
}

void TagLabel::setBackground(const QColor& colour)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, colour);
    setPalette(pal);
    setAutoFillBackground(true);
}

QColor TagLabel::background() const
{
    return palette().color(QPalette::Window);
}

} // namespace platform
