// The bench's "bare Qt" server: the station's answer (header, a 1 ms pause, body) and nothing else,
// on Qt's own sockets and timers, so the bench can tell what the station adds on top of Qt.
//
//   tarnvale-bench-bare-qt PORT RESPONSE-FILE
//
// RESPONSE-FILE holds a whole answer as the station sends it; the header is everything up to and
// including the blank line. Every request on 127.0.0.1:PORT gets the header at once, the body 1 ms
// later, then the connection is closed.
#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QFile file(args.value(2));
    bool portOk = false;
    const quint16 port = args.value(1).toUShort(&portOk);
    if (args.size() != 3 || !portOk || !file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "usage: tarnvale-bench-bare-qt PORT RESPONSE-FILE\n");
        return 2;
    }
    const QByteArray response = file.readAll();
    const qsizetype split = response.indexOf("\r\n\r\n");
    if (split < 0) {
        std::fprintf(stderr, "%s holds no header\n", qPrintable(file.fileName()));
        return 2;
    }
    const QByteArray header = response.left(split + 4);
    const QByteArray body = response.mid(split + 4);

    QTcpServer server;
    server.setListenBacklogSize(1024);
    if (!server.listen(QHostAddress::LocalHost, port)) {
        std::fprintf(stderr, "cannot listen on port %u: %s\n", port, qPrintable(server.errorString()));
        return 3;
    }
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&] {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, &header, &body] {
                if (socket->property("answered").toBool()) {
                    socket->readAll();
                    return;
                }
                // A request may come in several reads; answer once its header is complete.
                const QByteArray seen = socket->property("seen").toByteArray() + socket->readAll();
                socket->setProperty("seen", seen);
                if (!seen.contains("\r\n\r\n"))
                    return;
                socket->setProperty("answered", true);
                socket->write(header);
                QTimer::singleShot(1, Qt::PreciseTimer, socket, [socket, &body] {
                    socket->write(body);
                    socket->disconnectFromHost();
                });
            });
        }
    });
    return app.exec();
}
