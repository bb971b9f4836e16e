#include "eventlines.h"

#include "platform/eventlog.h"

namespace testsupport {

EventLines::EventLines()
{
    platform::setEventSink([this](const QString& line) { m_lines << line; });
}

EventLines::~EventLines()
{
    platform::setEventSink({});
}

} // namespace testsupport
