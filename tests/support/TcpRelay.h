#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// A TCP relay in front of a server, on threads of its own, so a test can slow
// or cut the link while the program blocks in its client library.
class TcpRelay
{
public:
    explicit TcpRelay(std::uint16_t targetPort);
    ~TcpRelay();
    TcpRelay(const TcpRelay&) = delete;
    TcpRelay& operator=(const TcpRelay&) = delete;

    std::uint16_t Port() const { return m_port; }

    // Drops every open link and refuses new ones until Resume.
    void Cut() { m_refusing = true; ++m_generation; }
    void Resume() { m_refusing = false; }
    // Drops a link once it has carried this many bytes from the server
    // (0: never); counted per link.
    void CutAfterServerBytes(std::uint64_t bytes) { m_cutAfter = bytes; }
    // Holds every packet this long in each direction.
    void SetDelayMs(int ms) { m_delayMs = ms; }
    // Passes nothing either way until unstalled; the links stay open.
    void SetStalled(bool stalled) { m_stalled = stalled; }

    int Accepted() const { return m_accepted; }
    // The most bytes a finished link carried from the server; links end in
    // any order, so the last to end need not be the last opened.
    std::uint64_t LargestServerBytes() const { return m_largestServerBytes; }

private:
    void AcceptLoop();
    void Pump(int client, int server);

    std::uint16_t m_targetPort;
    std::uint16_t m_port = 0;
    int m_listener = -1;
    std::atomic_bool m_stop{false};
    std::atomic_bool m_refusing{false};
    std::atomic<std::uint64_t> m_cutAfter{0};
    std::atomic_int m_delayMs{0};
    std::atomic_bool m_stalled{false};
    std::atomic_int m_accepted{0};
    std::atomic<std::uint64_t> m_largestServerBytes{0};
    std::atomic_int m_generation{0};
    std::mutex m_mutex;
    std::vector<std::thread> m_links;
    std::thread m_acceptor;
};
