#pragma once
// The DF unit's serial line (the station's MSComm1): 4800 baud, 8 data bits, no parity, 1 stop bit,
// no flow control, read buffer 1024 bytes. Only the port number changes at run time. Nothing is ever
// written to the DF unit, and DTR/RTS are left as the operating system sets them.
//
// A device that goes away while open (a USB adapter pulled out, a pseudo-terminal's far end closed)
// closes the port instead of spinning on read errors; portOpen() then reads false.

#include <QObject>
#include <QString>

class QSerialPort;

namespace platform {

class SerialPort : public QObject
{
    Q_OBJECT

public:
    explicit SerialPort(QObject* parent = nullptr);
    ~SerialPort() override;

    // CommPort: port n names a device (see serialDeviceFor). Values outside 1 to 255 are refused
    // (false), leaving the old value. Written only while the port is closed.
    int commPort() const { return m_commPort; }
    [[nodiscard]] bool setCommPort(int portNumber);

    // PortOpen: true chooses the device that commPort() names (serialDeviceFor) and opens it, and
    // returns false when it is missing, busy or not a serial device (errorString() says why); false
    // closes it.
    bool portOpen() const;
    [[nodiscard]] bool setPortOpen(bool open);

    // Opens the port again after its device went away, by the name it was chosen by: a COMn link
    // stays the port while its target comes and goes (it is never traded for /dev/ttyS<n-1>, a
    // different device), and a link made since a port was chosen without one is taken. A failure is
    // expected until the device is back and raises nothing.
    [[nodiscard]] bool reopen();

    QString errorString() const { return m_error; }

    // The device port n names, for people: "/dev/ttyS0", or a COMn link with where it leads.
    static QString deviceDescription(int portNumber);
    // The device as it was when the port was last opened (a link may have changed since).
    QString openedDevice() const { return m_openedDevice; }
    // The name the port was last opened or tried by: a COMn link, or the system's device.
    QString triedDevice() const { return m_triedDevice; }

    // Input: every byte waiting, one character per byte (Latin-1), consumed; empty when none waits.
    QString input();

signals:
    // OnComm: raised on the event thread whenever bytes wait (and possibly with nothing to read).
    void onComm();

    // The port was opened, could not be opened (errorString() says why), or was closed by the program.
    void opened();
    void openFailed();
    void closed();
    // The device went away or failed while open; the port has been closed (errorString() says why).
    void lost();

private:
    bool open(const QString& device, bool quiet);
    QString retryDevice();
    void release();

    QSerialPort* m_port = nullptr;
    int m_commPort = 1;
    QString m_chosenDevice; // the name port m_chosenPort was last chosen or opened by
    int m_chosenPort = 0;
    QString m_openedDevice;
    QString m_triedDevice;
    QString m_error;
};

} // namespace platform
