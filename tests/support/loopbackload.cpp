#include "loopbackload.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace testsupport {

namespace {

constexpr char kRequest[] = "GET / HTTP/1.0\r\n\r\n";

struct Client
{
    int fd = -1;
    bool asked = false; // request sent: reading the answer
    qint64 received = 0;
};

void finish(Client& c)
{
    if (c.fd >= 0)
        ::close(c.fd);
    c = Client{};
}

} // namespace

LoopbackLoad::LoopbackLoad(quint16 port, int clients, qint64 maxAnswers, int maxSeconds)
    : m_thread([=, this] { run(port, clients, maxAnswers, maxSeconds); })
{
}

LoopbackLoad::~LoopbackLoad()
{
    stop();
}

void LoopbackLoad::stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void LoopbackLoad::run(quint16 port, int clients, qint64 maxAnswers, int maxSeconds)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(maxSeconds);
    std::vector<Client> all(static_cast<size_t>(clients));
    std::vector<pollfd> polled;
    std::vector<Client*> whose;
    while (!m_stop && m_answered < maxAnswers && std::chrono::steady_clock::now() < deadline) {
        polled.clear();
        whose.clear();
        for (Client& c : all) {
            if (c.fd < 0) {
                c.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
                if (c.fd < 0)
                    continue;
                if (::connect(c.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
                    && errno != EINPROGRESS) {
                    ++m_refused;
                    finish(c);
                    continue;
                }
            }
            polled.push_back({c.fd, static_cast<short>(c.asked ? POLLIN : POLLOUT), 0});
            whose.push_back(&c);
        }
        if (polled.empty() || ::poll(polled.data(), polled.size(), 10) <= 0) {
            if (polled.empty())
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        for (size_t i = 0; i < polled.size(); ++i) {
            Client& c = *whose[i];
            if (polled[i].revents == 0)
                continue;
            if (!c.asked) {
                int error = 0;
                socklen_t size = sizeof error;
                ::getsockopt(c.fd, SOL_SOCKET, SO_ERROR, &error, &size);
                if (error != 0 || ::send(c.fd, kRequest, sizeof kRequest - 1, MSG_NOSIGNAL) != sizeof kRequest - 1) {
                    ++m_refused;
                    finish(c);
                    continue;
                }
                c.asked = true;
                continue;
            }
            char buffer[4096];
            for (;;) {
                const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
                if (n > 0) {
                    c.received += n;
                    continue;
                }
                if (n == 0 && c.received > 0)
                    ++m_answered;
                if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                    break;
                finish(c);
                break;
            }
        }
    }
    m_finished = true;
    for (Client& c : all)
        finish(c);
}

} // namespace testsupport
