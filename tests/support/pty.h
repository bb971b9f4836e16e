#pragma once
// A pseudo-terminal standing in for a DF unit: the test writes to the master side, the station opens
// the slave side (usually through a COMn link in a temporary settings folder).

#include <QByteArray>
#include <QString>

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
    bool linkAs(const QString& folder, int portNumber) const;

    // Writes bytes to the master side (they arrive at whoever opened the slave).
    bool write(const QByteArray& bytes);

    // Bytes the slave side wrote, read without blocking.
    QByteArray readAvailable();

    // Closes the master side: the far end goes away.
    void closeMaster();

private:
    int m_master = -1;
    QString m_slavePath;
};

} // namespace testsupport
