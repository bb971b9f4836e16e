#pragma once
// SIGTERM, SIGINT and SIGHUP close the station the orderly way. The signal handler only writes to a
// self-pipe; the work happens on the event thread.

#include <QObject>
#include <QString>

class QSocketNotifier;

namespace platform {

class ShutdownSignals : public QObject
{
    Q_OBJECT

public:
    // Installs the handlers; one instance per process.
    explicit ShutdownSignals(QObject* parent = nullptr);
    ~ShutdownSignals() override;

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
