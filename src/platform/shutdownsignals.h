#pragma once
// SIGTERM, SIGINT and SIGHUP close the station the orderly way. The signal handler only writes to a
// self-pipe; the work happens on the event thread, where any waiting message box is answered first so
// that a headless station never hangs on a box nobody can see.

#include <QObject>

class QSocketNotifier;

namespace platform {

class ShutdownSignals : public QObject
{
    Q_OBJECT

public:
    // Installs the handlers; one instance per process.
    explicit ShutdownSignals(QObject* parent = nullptr);
    ~ShutdownSignals() override;

    bool isInstalled() const { return m_notifier != nullptr; }

signals:
    // Raised on the event thread, after every waiting message box has been answered.
    void shutdownRequested(int signalNumber);

private:
    void drain();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace platform
