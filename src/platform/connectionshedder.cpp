#include "connectionshedder.h"

#include "eventlog.h"

#include <QCoreApplication>
#include <QPointer>

#include <algorithm>

namespace platform {

namespace {

constexpr int kReportIntervalMs = 1000;
constexpr int kNothingToShedReportMs = 60000;

QString connections(int count)
{
    return QStringLiteral("%1 %2").arg(count).arg(count == 1 ? QStringLiteral("connection") : QStringLiteral("connections"));
}

} // namespace

ConnectionShedder::ConnectionShedder(QObject* parent)
    : QObject(parent)
{
    m_reportTimer.setSingleShot(true);
    connect(&m_reportTimer, &QTimer::timeout, this, &ConnectionShedder::report);
}

// Closes not yet reported are told at shutdown.
ConnectionShedder::~ConnectionShedder()
{
    m_lastReport.invalidate();
    report();
}

ConnectionShedder& ConnectionShedder::instance()
{
    static QPointer<ConnectionShedder> shedder;
    if (!shedder)
        shedder = new ConnectionShedder(QCoreApplication::instance());
    return *shedder;
}

int ConnectionShedder::addSource(Source source)
{
    const int id = m_nextSource++;
    m_sources.emplace(id, std::move(source));
    return id;
}

void ConnectionShedder::removeSource(int id)
{
    m_sources.erase(id);
}

int ConnectionShedder::shed(int count)
{
    std::vector<SheddableConnection> candidates;
    for (const auto& [id, source] : m_sources) {
        for (SheddableConnection& candidate : source()) {
            // Closing one lets events run, in which a pool could go away.
            candidate.close = [this, id = id, close = std::move(candidate.close)] {
                return m_sources.count(id) > 0 && close();
            };
            candidates.push_back(std::move(candidate));
        }
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const SheddableConnection& a, const SheddableConnection& b) { return a.acceptedAt < b.acceptedAt; });
    int closed = 0;
    for (auto it = candidates.begin(); it != candidates.end() && closed < count; ++it)
        closed += it->close() ? 1 : 0;
    if (closed > 0) {
        m_unreported += closed;
        report();
    }
    return closed;
}

int ConnectionShedder::makeRoom(int waiting)
{
    const int closed = shed(waiting);
    if (closed == 0 && (!m_lastNothingToShed.isValid() || m_lastNothingToShed.elapsed() >= kNothingToShedReportMs)) {
        m_lastNothingToShed.start();
        logEvent(QStringLiteral("Open files running out and no silent connection to close: new connections wait"));
    }
    return closed;
}

void ConnectionShedder::report()
{
    if (m_unreported == 0)
        return;
    if (m_lastReport.isValid() && m_lastReport.elapsed() < kReportIntervalMs) {
        if (!m_reportTimer.isActive())
            m_reportTimer.start(static_cast<int>(kReportIntervalMs - m_lastReport.elapsed()));
        return;
    }
    logEvent(QStringLiteral("Open files running out: closed %1 that had sent nothing, oldest first, to let new ones in")
                 .arg(connections(m_unreported)));
    m_unreported = 0;
    m_lastReport.start();
}

} // namespace platform
