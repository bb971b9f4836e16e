#include "controlview.h"

#include "captionwidgets.h"

#include <QApplication>

namespace station {

namespace {

QPalette::ColorRole paletteRole(Face face)
{
    return face == Face::ButtonShadow ? QPalette::Dark : QPalette::Button;
}

QColor colour(Face face)
{
    return face == Face::White ? QColor(255, 255, 255) : QApplication::palette().color(paletteRole(face));
}

} // namespace

void showControl(QWidget& widget, const ControlState& state)
{
    if (auto* button = qobject_cast<platform::TagButton*>(&widget)) {
        button->setText(state.caption);
        button->setTag(state.tag);
        button->setFaceRole(paletteRole(state.face));
    } else if (auto* label = qobject_cast<platform::TagLabel*>(&widget)) {
        label->setText(state.caption);
        label->setTag(state.tag);
        if (state.face != Face::None)
            label->setBackground(colour(state.face));
    } else if (auto* plain = qobject_cast<QLabel*>(&widget)) {
        plain->setText(state.caption);
    }
    if (widget.isWindow())
        widget.setWindowTitle(state.caption);
    else
        widget.setVisible(state.visible);
}

void showBackground(QWidget& widget, const ControlState& state)
{
    if (auto* label = qobject_cast<platform::TagLabel*>(&widget); label && state.face != Face::None)
        label->setBackground(colour(state.face));
    widget.setVisible(state.visible);
}

} // namespace station
