#pragma once
// The listening socket on the website port, as the start-up and a port change start it.

#include <QtGlobal>

namespace platform {
class TcpSocketSet;
}

namespace web {

// Sets element 0's LocalPort and listens; one line in the event log tells where the map is served, or
// why it is not. False when listening failed.
bool listenForMaps(platform::TcpSocketSet& server, qint32 port);

} // namespace web
