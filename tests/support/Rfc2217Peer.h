#pragma once
// The server end of a remote port, played by the test where ser2net cannot show a thing (modem
// lines, DTR and RTS, break, a hostile server): it listens on 127.0.0.1, takes the program's
// connection, sends the bytes a table row gives and records what the program says.
#include <string>

class TRfc2217Peer {
public:
  TRfc2217Peer();
  ~TRfc2217Peer();
  TRfc2217Peer(const TRfc2217Peer&) = delete;
  TRfc2217Peer& operator=(const TRfc2217Peer&) = delete;

  // rfc2217://127.0.0.1:PORT, as a COM link names it.
  std::string Url() const { return "rfc2217://127.0.0.1:" + std::to_string(Port); }
  // Takes the program's next connection, waiting at most timeoutMs; false when none came.
  bool Accept(int timeoutMs);
  // Sends all of bytes; false once the connection is gone.
  bool Send(const std::string& bytes) const;
  // What the program sent, gathered until it has been quiet for quietMs.
  std::string Received(int quietMs) const;
  // Closes the connection, as a server that ends or a network that drops it.
  void Hangup();

private:
  int Listener = -1;
  int Fd = -1;
  int Port = 0;
};
