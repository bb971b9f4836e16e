#pragma once
// A pseudo-terminal standing in for a DF unit: the test writes to the master side, the station opens
// the slave side (usually through a COMn link in a temporary settings folder).

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace testsupport {

class Pty
{
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool isOpen() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }

    // Links the slave as `folder`/COMn.
    bool linkAs(const QString& folder, int portNumber);

    // Writes bytes to the master side (they arrive at whoever opened the slave).
    bool write(const QByteArray& bytes);

    // Bytes the slave side wrote, read without blocking.
    QByteArray readAvailable();

    // Closes the master side: the far end goes away.
    void closeMaster();

    // The device pulled out: the master closed and the links made by linkAs led nowhere, as a USB
    // adapter's /dev/serial/by-id/ name goes with the adapter. A station retrying a link left as it was
    // could open whichever pseudo-terminal another test is given next under the same number.
    void unplug();

private:
    int m_master = -1;
    QString m_slavePath;
    QStringList m_links;
};

} // namespace testsupport
