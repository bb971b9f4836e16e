#include "tcpsocketset.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace platform {

struct TcpSocketSet::Element
{
    qint32 localPort = 0;
};

TcpSocketSet::TcpSocketSet(QObject* parent)
    : QObject(parent)
{
    m_elements.push_back(std::make_unique<Element>());
}

TcpSocketSet::~TcpSocketSet() = default;

int TcpSocketSet::ubound() const { return static_cast<int>(m_elements.size()) - 1; }
bool TcpSocketSet::load(int index)
{
    if (index != ubound() + 1)
        return false;
    m_elements.push_back(std::make_unique<Element>());
    return true;
}
TcpSocketSet::Element* TcpSocketSet::element(int index) const
{
    return index >= 0 && index <= ubound() ? m_elements[static_cast<size_t>(index)].get() : nullptr;
}
int TcpSocketSet::state(int) const { return 0; }
void TcpSocketSet::setLocalPort(int index, qint32 port) { if (auto* e = element(index)) e->localPort = port; }
qint32 TcpSocketSet::localPort(int index) const { auto* e = element(index); return e ? e->localPort : 0; }
bool TcpSocketSet::listen(int) { return false; }
bool TcpSocketSet::accept(int, qint32) { return false; }
QString TcpSocketSet::getData(int) { return {}; }
bool TcpSocketSet::sendData(int, const QString&) { return false; }
void TcpSocketSet::close(int) {}

} // namespace platform
