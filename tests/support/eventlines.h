#pragma once
// Keeps the station's event log lines while it lives, instead of writing them to standard error.

#include <QStringList>

namespace testsupport {

class EventLines
{
public:
    EventLines();
    ~EventLines();
    EventLines(const EventLines&) = delete;
    EventLines& operator=(const EventLines&) = delete;

    const QStringList& lines() const { return m_lines; }
    // The lines that contain `text`.
    QStringList matching(const QString& text) const { return m_lines.filter(text); }
    void clear() { m_lines.clear(); }

private:
    QStringList m_lines;
};

} // namespace testsupport
