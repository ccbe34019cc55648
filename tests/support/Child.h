#pragma once
// A process of the test's: a program, or a function of the test run in a fork of it. Either
// starts as a shell would start it (signals at their defaults, none blocked, no core file) and
// dies with the test; a program holds none of the test's descriptors but the three it is given.
// The object kills and reaps a child still running when it goes.
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

class TChild {
public:
  // A standard descriptor of the child: one of the test's, or one of these.
  static constexpr int Inherit = -1, Discard = -2;   // the test's own; /dev/null
  // Runs argv[0], looked up in PATH as a shell does, on standard input, output and error in, out
  // and err, in folder dir (empty: the test's), with env's NAME=value over the test's environment.
  explicit TChild(const std::vector<std::string>& argv, int in = Inherit, int out = Inherit, int err = Inherit,
                  const std::string& dir = "", const std::vector<std::string>& env = {});
  // Runs body, its result the exit status.
  explicit TChild(const std::function<int()>& body);
  ~TChild();
  TChild(const TChild&) = delete;
  TChild& operator=(const TChild&) = delete;

  pid_t Pid() const { return Id; }   // -1 once it could not start or was waited for
  // Waits at most timeoutMs for its end, calling meanwhile about every millisecond (an event
  // loop, say): "exit N", "signal N", or "hung" (killed then).
  std::string Wait(int timeoutMs, const std::function<void()>& meanwhile = {});

private:
  pid_t Id = -1;
};
