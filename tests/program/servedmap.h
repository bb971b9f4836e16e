#pragma once
// A live map served from this process over a Leaflet copy of its own, and the answers it gives as a
// client reads them.

#include "support/loopback.h"
#include "program/livemap.h"

#include <QDir>
#include <QFile>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <map>
#include <memory>

struct Response
{
    QByteArray statusLine;
    std::map<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
    bool complete = false;
};

// One response from the front of `bytes`, once its head and Content-Length bytes are there.
inline Response parse(const QByteArray& bytes)
{
    Response response;
    const qsizetype end = bytes.indexOf("\r\n\r\n");
    if (end < 0)
        return response;
    const QList<QByteArray> lines = bytes.left(end).split('\n');
    response.statusLine = lines.value(0).trimmed();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        response.headers[lines[i].left(colon).trimmed().toLower()] = lines[i].mid(colon + 1).trimmed();
    }
    const qsizetype length = response.headers.count("content-length") ? response.headers["content-length"].toLongLong() : 0;
    response.body = bytes.mid(end + 4, length);
    response.complete = bytes.size() >= end + 4 + length;
    return response;
}

class LiveMapServed : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir(leaflet.path()).mkpath(QStringLiteral("images")));
        write(QStringLiteral("leaflet.min.js"), "window.L = {};");
        write(QStringLiteral("leaflet.min.js.gz"), "\x1f\x8b compressed");
        write(QStringLiteral("leaflet.css"), ".leaflet-container {}");
        write(QStringLiteral("images/marker-icon.png"), "\x89PNG");
        map = std::make_unique<web::LiveMap>([this] { return status; },
                                             web::MapAssets(QStringLiteral("https://tiles.example/{z}/{x}/{y}.png?a=1&b=\"2\""),
                                                            leaflet.path()));
        port = testsupport::freePort();
        ASSERT_TRUE(map->listen(port)) << map->errorString().toStdString();
    }
    void write(const QString& name, const QByteArray& bytes) const
    {
        QFile file(leaflet.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    // The answer to one request on a fresh connection.
    Response ask(const QByteArray& request) const
    {
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, port);
        client.write(request);
        QByteArray bytes;
        Response response;
        (void)QTest::qWaitFor([&] {
            bytes += client.readAll();
            response = parse(bytes);
            return response.complete || client.state() == QAbstractSocket::UnconnectedState;
        }, 5000);
        return response;
    }
    Response get(const QByteArray& path, const QByteArray& extraHeaders = {}) const
    {
        return ask("GET " + path + " HTTP/1.1\r\nHost: station\r\n" + extraHeaders + "\r\n");
    }

    QTemporaryDir leaflet;
    QByteArray status = R"({"type":"FeatureCollection","features":[]})";
    std::unique_ptr<web::LiveMap> map;
    quint16 port = 0;
};

