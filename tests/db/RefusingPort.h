#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

// A local TCP port bound but never listening, so it refuses connections while
// this object lives. port() is 0 when the wanted port (0: any) was taken.
class RefusingPort
{
public:
    explicit RefusingPort(std::uint16_t wanted = 0) : m_socket(::socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(wanted);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_socket >= 0 && ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), length) == 0
            && ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            m_port = ntohs(address.sin_port);
    }
    ~RefusingPort() { ::close(m_socket); }
    std::uint16_t port() const { return m_port; }

private:
    int m_socket;
    std::uint16_t m_port = 0;
};
