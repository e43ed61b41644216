#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace e2e {
namespace {

using clock_type = std::chrono::steady_clock;

int remaining_ms(clock_type::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock_type::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

void close_fd(int* fd) {
    if (*fd >= 0) {
        close(*fd);
        *fd = -1;
    }
}

// Reads whatever both output pipes hold, waiting up to timeout_ms for something; false once both are closed.
bool pump(child* c, int timeout_ms) {
    struct pollfd entries[2];
    int count = 0;
    if (c->output >= 0) entries[count++] = {c->output, POLLIN, 0};
    if (c->errors >= 0) entries[count++] = {c->errors, POLLIN, 0};
    if (count == 0) return false;
    if (poll(entries, static_cast<nfds_t>(count), timeout_ms) <= 0) return true;
    for (int i = 0; i < count; ++i) {
        if (entries[i].revents == 0) continue;
        char buffer[4096];
        const ssize_t got = read(entries[i].fd, buffer, sizeof buffer);
        if (got > 0) {
            (entries[i].fd == c->output ? c->out : c->err).append(buffer, static_cast<size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            close_fd(entries[i].fd == c->output ? &c->output : &c->errors);
        }
    }
    return true;
}

}  // namespace

bool start(const std::vector<std::string>& argv, bool with_input, child* c) {
    int in[2] = {-1, -1}, out[2], err[2];
    if ((with_input && pipe(in) != 0) || pipe(out) != 0 || pipe(err) != 0) return false;
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        const int input = with_input ? in[0] : open("/dev/null", O_RDONLY);
        dup2(input, 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd = 3; fd < 256; ++fd) close(fd);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    if (with_input) close(in[0]);
    close(out[1]);
    close(err[1]);
    c->pid = pid;
    c->input = with_input ? in[1] : -1;
    c->output = out[0];
    c->errors = err[0];
    c->out.clear();
    c->err.clear();
    signal(SIGPIPE, SIG_IGN);  // a child that ended must not end the test when we write to it
    return true;
}

bool read_until(child* c, const std::string& text, int timeout_ms) {
    const auto deadline = clock_type::now() + std::chrono::milliseconds(timeout_ms);
    while (c->out.find(text) == std::string::npos) {
        const int left = remaining_ms(deadline);
        if (left == 0 || !pump(c, left)) return c->out.find(text) != std::string::npos;
    }
    return true;
}

void read_for(child* c, int ms) {
    const auto deadline = clock_type::now() + std::chrono::milliseconds(ms);
    for (int left = ms; left > 0 && pump(c, left); left = remaining_ms(deadline)) {
    }
}

bool send(child* c, const std::string& bytes) {
    if (c->input < 0) return false;
    return write(c->input, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

void close_input(child* c) { close_fd(&c->input); }

bool running(child* c) {
    if (c->pid < 0) return false;
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(c->pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

int finish(child* c, int timeout_ms) {
    if (c->pid < 0) return -1;
    const auto deadline = clock_type::now() + std::chrono::milliseconds(timeout_ms);
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(c->pid, &status, WNOHANG);
        if (done == c->pid) break;
        if (remaining_ms(deadline) == 0) {
            kill(c->pid, SIGKILL);
            waitpid(c->pid, &status, 0);
            c->pid = -1;
            return -1;
        }
        if (!pump(c, 10)) usleep(10000);
    }
    c->pid = -1;
    // Whatever it wrote before ending is still in the pipes.
    const auto drain_deadline = clock_type::now() + std::chrono::milliseconds(1000);
    while (remaining_ms(drain_deadline) > 0 && pump(c, remaining_ms(drain_deadline))) {
    }
    close_input(c);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void stop(child* c) {
    if (c->pid > 0) {
        kill(c->pid, SIGTERM);
        if (finish(c, 3000) == -1 && c->pid > 0) kill(c->pid, SIGKILL);
    }
    close_input(c);
    close_fd(&c->output);
    close_fd(&c->errors);
}

}  // namespace e2e
