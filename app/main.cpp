#include <cstdio>

// The window arrives with the main frame; until then the program only says what it is.
int main()
{
  std::puts("Kalvix 1.5: serial port and settings layers built; the terminal window is not there yet.");
  return 0;
}
