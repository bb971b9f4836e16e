#pragma once
// The windows' controls as tools and screen readers find them: by object name, and by the text and
// accessible name they show. For the windows' tests only (it needs QtWidgets).

#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <gtest/gtest.h>

namespace testsupport {

// The child of `window` called `name`; fails the test when there is none of that kind.
template <typename T = QWidget>
T& childNamed(const QWidget& window, const char* name)
{
    T* found = window.findChild<T*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return *found;
}

// A label's or a button's text: its caption exactly as set.
inline QString shownText(const QWidget& widget)
{
    if (auto* label = qobject_cast<const QLabel*>(&widget))
        return label->text();
    if (auto* button = qobject_cast<const QPushButton*>(&widget))
        return button->text();
    return {};
}

// What a screen reader announces for it.
inline QString accessibleName(QWidget& widget)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&widget);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

} // namespace testsupport
