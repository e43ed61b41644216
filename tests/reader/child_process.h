// Runs a program with pipes on its standard streams, for end-to-end tests; every wait is bounded.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace e2e {

struct child {
    pid_t pid = -1;
    int input = -1;   // write end of its standard input, or -1 (then it reads /dev/null)
    int output = -1;  // read end of its standard output
    int errors = -1;  // read end of its standard error
    std::string out;  // standard output read so far
    std::string err;  // standard error read so far
};

// Starts argv[0] with argv; with_input gives it a pipe as standard input, else /dev/null.
// false when it cannot be started.
bool start(const std::vector<std::string>& argv, bool with_input, child* c);
// Reads output until it contains text or timeout_ms pass; true when it does.
bool read_until(child* c, const std::string& text, int timeout_ms);
// Reads output for ms milliseconds (or until the child closes it).
void read_for(child* c, int ms);
// Writes bytes to the child's standard input; false when it cannot take them.
bool send(child* c, const std::string& bytes);
// Closes the child's standard input: end of input.
void close_input(child* c);
// True while the child has not ended.
bool running(child* c);
// Waits up to timeout_ms for the child to end, reading all its output; its exit status, or -1 when it
// was still running (then it is killed) or ended by a signal.
int finish(child* c, int timeout_ms);
// Ends the child with SIGTERM (SIGKILL after a grace period) and releases everything.
void stop(child* c);

}  // namespace e2e
