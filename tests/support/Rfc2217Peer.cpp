#include "tests/support/Rfc2217Peer.h"

#include "tests/support/ScratchStore.h"

#include <netinet/in.h>
#include <cstdint>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

TRfc2217Peer::TRfc2217Peer()
{
  Listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (bind(Listener, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(Listener, 4) != 0 ||
      getsockname(Listener, reinterpret_cast<sockaddr*>(&address), &size) != 0)
    throw std::runtime_error("cannot listen on 127.0.0.1");
  Port = ntohs(address.sin_port);
}

TRfc2217Peer::~TRfc2217Peer()
{
  Hangup();
  close(Listener);
}

bool TRfc2217Peer::Accept(int timeoutMs)
{
  Hangup();
  pollfd p {Listener, POLLIN, 0};
  if (poll(&p, 1, timeoutMs) != 1)
    return false;
  Fd = accept4(Listener, nullptr, nullptr, SOCK_CLOEXEC);
  return Fd >= 0;
}

bool TRfc2217Peer::Send(const std::string& bytes) const
{
  for (std::size_t at = 0; at < bytes.size();) {
    const ssize_t n = send(Fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
    if (n <= 0)
      return false;
    at += std::size_t(n);
  }
  return true;
}

std::string TRfc2217Peer::Received(int quietMs) const
{
  return Fd >= 0 ? ReadUntilQuiet(Fd, SIZE_MAX, quietMs) : "";
}

void TRfc2217Peer::Hangup()
{
  if (Fd >= 0)
    close(std::exchange(Fd, -1));
}
