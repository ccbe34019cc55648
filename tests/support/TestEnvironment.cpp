// Linked into every test program: it starts with a store, a lock directory and a console list
// that do not exist, so that no test reaches the user's settings, the machine's lock files or its
// console list by mistake. A test that needs them makes its own (TScratchStore).
#include <cstdlib>

namespace {

const bool Safe = [] {
  setenv("XDG_CONFIG_HOME", "/nonexistent/kalvix-tests", 1);
  setenv("KALVIX_LOCK_DIR", "/nonexistent/kalvix-tests/lock", 1);
  setenv("KALVIX_CONSOLE_LIST", "/nonexistent/kalvix-tests/consoles", 1);
  return true;
}();

}   // namespace
