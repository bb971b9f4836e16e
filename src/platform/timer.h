#pragma once
// A timer with an interval in milliseconds and an enabled flag, as the station's handlers expect:
// enabling a running timer leaves it running as it is, restart() disables and enables so the next
// expiry is one full interval away, and an interval of 0 never fires. Every timer is precise: Qt's
// coarse timers may fire up to 5 % early, and a watchdog that fires at 951 ms withdraws the bearing of
// a DF unit that reports a little under once a second. A periodic timer keeps its interval without
// drift.

#include "connectionrules.h"

#include <QObject>
#include <QTimer>

namespace platform {

using connection::steadyMs;

class Timer : public QObject
{
    Q_OBJECT

public:
    explicit Timer(QObject* parent = nullptr);

    int interval() const { return m_interval; }
    void setInterval(int milliseconds);

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);

    // Disable, then enable.
    void restart();

signals:
    void fired();

private:
    void apply();

    QTimer m_timer;
    int m_interval = 0;
    bool m_enabled = false;
};

} // namespace platform
