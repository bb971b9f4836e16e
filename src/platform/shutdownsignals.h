#pragma once
// SIGTERM, SIGINT and SIGHUP close the station the orderly way. The signal handler only writes to a
// self-pipe; the work happens on the event thread. The signals are watched from before the start-up,
// which asks for one that came meanwhile before it reads anything (nothing has run the event loop yet).

#include <QObject>
#include <QString>

class QSocketNotifier;

namespace platform {

class ShutdownSignals : public QObject
{
    Q_OBJECT

public:
    // Installs the handlers, and lets the signals through should the process have been started with
    // them blocked (one already waiting then arrives at once); one instance per process.
    explicit ShutdownSignals(QObject* parent = nullptr);
    ~ShutdownSignals() override;

    // The last signal that arrived and has not been raised as shutdownRequested(), taken; 0 for none.
    int takePending();

signals:
    // Raised on the event thread.
    void shutdownRequested(int signalNumber);

private:
    void drain();

    QSocketNotifier* m_notifier = nullptr;
};

// "SIGTERM" for SIGTERM, and so on for the signals handled here.
QString signalName(int signalNumber);

} // namespace platform
