#include "support/TcpRelay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace {

sockaddr_in Loopback(std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

} // namespace

TcpRelay::TcpRelay(std::uint16_t targetPort) : m_targetPort(targetPort)
{
    m_listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(m_listener, 16);
    socklen_t length = sizeof address;
    getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { AcceptLoop(); });
}

TcpRelay::~TcpRelay()
{
    m_stop = true;
    m_acceptor.join();
    close(m_listener);
    const std::lock_guard lock(m_mutex);
    for (std::thread& link : m_links)
        link.join();
}

void TcpRelay::AcceptLoop()
{
    while (!m_stop) {
        pollfd waiting{m_listener, POLLIN, 0};
        if (poll(&waiting, 1, 20) <= 0)
            continue;
        const int client = accept(m_listener, nullptr, nullptr);
        if (client < 0)
            continue;
        if (m_refusing) {
            close(client);
            continue;
        }
        ++m_accepted;
        const int server = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in target = Loopback(m_targetPort);
        if (connect(server, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
            close(server);
            close(client);
            continue;
        }
        const std::lock_guard lock(m_mutex);
        m_links.emplace_back([this, client, server] { Pump(client, server); });
    }
}

void TcpRelay::Pump(int client, int server)
{
    const int generation = m_generation;
    std::uint64_t fromServer = 0;
    char buffer[16384];
    bool open = true;
    while (open && !m_stop && generation == m_generation) {
        if (m_stalled) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            continue;
        }
        pollfd ends[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        if (poll(ends, 2, 20) <= 0)
            continue;
        for (int i = 0; i < 2 && open; ++i) {
            if (!(ends[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const ssize_t got = read(ends[i].fd, buffer, sizeof buffer);
            if (got <= 0) {
                open = false;
                break;
            }
            if (const int delay = m_delayMs)
                std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            ssize_t size = got;
            if (i == 1) {
                const std::uint64_t limit = m_cutAfter;
                if (limit && fromServer + std::uint64_t(size) >= limit) {
                    size = ssize_t(limit - fromServer);
                    open = false;
                }
                fromServer += std::uint64_t(size);
            }
            const int to = i == 0 ? server : client;
            for (ssize_t sent = 0; sent < size;) {
                const ssize_t n = write(to, buffer + sent, size_t(size - sent));
                if (n <= 0) {
                    open = false;
                    break;
                }
                sent += n;
            }
        }
    }
    for (std::uint64_t seen = m_largestServerBytes; fromServer > seen;)
        if (m_largestServerBytes.compare_exchange_weak(seen, fromServer))
            break;
    // A reset, not a polite close, is what a dropped link looks like.
    linger hard{1, 0};
    setsockopt(client, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    close(client);
    close(server);
}
