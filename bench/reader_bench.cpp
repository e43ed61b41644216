// Figures for the simulated reader on Linux: processor use while it waits on a quiet receiver
// (beside a variant whose serial library never waits), the time from an Esc key to its exit, the
// time from a GGA line's last byte on the port to its result line, its peak resident memory, and
// the heap allocations its run makes. Prints min/median/max with each target; never fails on a figure.
// usage: reader_bench READER SPIN_READER HEAP_READER [IDLE_SECONDS [REPETITIONS]]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "usb_serial_sysfs.h"

namespace {

namespace fs = std::filesystem;

const char rmc_line[] = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
const char gga_line[] = "$GPGGA,101500.00,3723.2475,S,12158.3416,W,1,07,1.1,12.0,M,-25.0,M,,*76\r\n";

double now_ms() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

// A Prolific adapter on ttyUSB0 (COM33), and dev/ttyUSB0 linked to a pseudo-terminal we hold.
struct world {
    fs::path dir;
    int master = -1;
};

bool make_world(world* w) {
    std::string pattern = (fs::temp_directory_path() / "reader_bench_XXXXXX").string();
    if (mkdtemp(&pattern[0]) == nullptr) return false;
    w->dir = pattern;
    e2e::make_usb_serial_sysfs(w->dir / "root", e2e::usb_adapter::prolific);
    fs::create_directories(w->dir / "dev");
    w->master = posix_openpt(O_RDWR | O_NOCTTY);
    if (w->master < 0 || grantpt(w->master) != 0 || unlockpt(w->master) != 0) return false;
    fs::create_symlink(ptsname(w->master), w->dir / "dev/ttyUSB0");
    return true;
}

void remove_world(world* w) {
    if (w->master >= 0) close(w->master);
    std::error_code ignored;
    fs::remove_all(w->dir, ignored);
}

// Drains what the reader's side sent back to us (nothing, normally) so the pty never fills.
void drain_master(const world& w) {
    char junk[512];
    pollfd p{w.master, POLLIN, 0};
    while (poll(&p, 1, 0) > 0 && (p.revents & POLLIN) && read(w.master, junk, sizeof junk) > 0) {
    }
}

struct child {
    pid_t pid = -1;
    int in = -1, out = -1, err = -1;
    std::string output, errors;
};

bool start(const std::string& program, const world& w, child* c) {
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return false;
    c->pid = fork();
    if (c->pid < 0) return false;
    if (c->pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
        const std::string root = (w.dir / "root").string(), dev = (w.dir / "dev").string();
        execl(program.c_str(), program.c_str(), root.c_str(), dev.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    c->in = in[1];
    c->out = out[0];
    c->err = err[0];
    return true;
}

// Reads the child's output until it holds text; false after timeout_ms.
bool read_until(child* c, const std::string& text, int timeout_ms) {
    const double deadline = now_ms() + timeout_ms;
    while (c->output.find(text) == std::string::npos) {
        const int left = static_cast<int>(deadline - now_ms());
        if (left <= 0) return false;
        pollfd p{c->out, POLLIN, 0};
        if (poll(&p, 1, left) <= 0) continue;
        char buffer[4096];
        const ssize_t got = read(c->out, buffer, sizeof buffer);
        if (got <= 0) return false;
        c->output.append(buffer, static_cast<size_t>(got));
    }
    return true;
}

int finish(child* c) {
    if (c->in >= 0) close(c->in);
    c->in = -1;
    char buffer[4096];
    ssize_t got;
    while ((got = read(c->err, buffer, sizeof buffer)) > 0) c->errors.append(buffer, static_cast<size_t>(got));
    int status = 0;
    waitpid(c->pid, &status, 0);
    close(c->out);
    close(c->err);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void kill_child(child* c) {
    kill(c->pid, SIGKILL);
    finish(c);
}

// Processor time of a process in seconds: from schedstat (nanoseconds) where the kernel has it,
// else utime + stime from stat (clock ticks, 10 ms steps).
double cpu_seconds(pid_t pid) {
    std::ifstream schedstat("/proc/" + std::to_string(pid) + "/schedstat");
    double nanoseconds = 0.0;
    if (schedstat >> nanoseconds) return nanoseconds / 1e9;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t paren = text.rfind(')');
    if (paren == std::string::npos) return -1.0;
    std::istringstream fields(text.substr(paren + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && (fields >> field); ++i) {
        if (i == 14) utime = std::stol(field);
        if (i == 15) stime = std::stol(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long status_kib(pid_t pid, const char* key) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
    }
    return -1;
}

struct figures {
    std::vector<double> values;
    void add(double v) { values.push_back(v); }
    void print(const char* name, const char* unit, const char* target) {
        if (values.empty()) {
            std::printf("%-34s %s   (target %s)\n", name, "no figure", target);
            return;
        }
        std::vector<double> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        std::printf("%-34s min %.4g  median %.4g  max %.4g %s  (n=%zu; target %s)\n", name, sorted.front(),
                    sorted[sorted.size() / 2], sorted.back(), unit, sorted.size(), target);
    }
    double median() const {
        std::vector<double> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        return sorted.empty() ? 0.0 : sorted[sorted.size() / 2];
    }
};

// Percent of one core over idle_seconds while the receiver sends only RMC lines (every 100 ms).
double idle_cpu_percent(const std::string& program, int idle_seconds, bool feed) {
    world w;
    child c;
    double percent = -1.0;
    if (make_world(&w) && start(program, w, &c) && read_until(&c, "baud_rate=38400\n", 10000)) {
        const double before = cpu_seconds(c.pid);
        const double started = now_ms();
        while (now_ms() - started < idle_seconds * 1000.0) {
            if (feed && write(w.master, rmc_line, sizeof rmc_line - 1) < 0) break;
            drain_master(w);
            usleep(100000);
        }
        const double after = cpu_seconds(c.pid);
        const double elapsed_s = (now_ms() - started) / 1000.0;
        percent = 100.0 * (after - before) / elapsed_s;
        if (write(c.in, "\x1b", 1) != 1) kill(c.pid, SIGKILL);
    }
    if (c.pid > 0) finish(&c);
    remove_world(&w);
    return percent;
}

// Milliseconds from writing Esc to the reader's exit.
// The delay before the key is spread over the loop's period: a fixed one would land at the same
// point of the reader's wait every time and show only one latency.
double esc_latency_ms(const std::string& program, int spread_us) {
    world w;
    child c;
    double latency = -1.0;
    if (make_world(&w) && start(program, w, &c) && read_until(&c, "baud_rate=38400\n", 10000)) {
        usleep(static_cast<useconds_t>(100000 + spread_us));  // let it settle into its loop
        const double sent = now_ms();
        if (write(c.in, "\x1b", 1) == 1) {
            int status = 0;
            waitpid(c.pid, &status, 0);
            latency = now_ms() - sent;
            c.pid = -1;
            close(c.in);
            close(c.out);
            close(c.err);
        }
    }
    if (c.pid > 0) kill_child(&c);
    remove_world(&w);
    return latency;
}

struct gga_run {
    double latency_ms = -1.0;
    long peak_kib = -1;
    std::string errors;
};

// Milliseconds from the GGA line's last byte on the port to the result line; the peak resident size.
gga_run gga_latency(const std::string& program) {
    world w;
    child c;
    gga_run run;
    if (make_world(&w) && start(program, w, &c) && read_until(&c, "baud_rate=38400\n", 10000)) {
        usleep(50000);
        const size_t length = sizeof gga_line - 1;
        // All but the line end first; then the line end, whose arrival completes the line.
        if (write(w.master, gga_line, length - 2) == static_cast<ssize_t>(length - 2)) {
            usleep(20000);
            const double sent_at = now_ms();
            if (write(w.master, gga_line + length - 2, 2) == 2 && read_until(&c, "Result:", 10000)) {
                run.latency_ms = now_ms() - sent_at;
                read_until(&c, "continue]\n", 10000);
                run.peak_kib = status_kib(c.pid, "VmHWM:");
            }
        }
    }
    if (c.pid > 0) {
        finish(&c);
        run.errors = c.errors;
    }
    remove_world(&w);
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s READER SPIN_READER HEAP_READER [IDLE_SECONDS [REPETITIONS]]\n", argv[0]);
        return 2;
    }
    const std::string reader = argv[1], spin = argv[2], heap = argv[3];
    const int idle_seconds = argc > 4 ? std::atoi(argv[4]) : 10;
    const int repetitions = argc > 5 ? std::atoi(argv[5]) : 20;
    signal(SIGPIPE, SIG_IGN);

    std::printf("reader on Linux, %d s idle per run, %d latency runs\n", idle_seconds, repetitions);
    figures idle, spinning;
    const int idle_runs = 3;
    for (int i = 0; i < idle_runs; ++i) {
        idle.add(idle_cpu_percent(reader, idle_seconds, true));
        spinning.add(idle_cpu_percent(spin, idle_seconds, false));
    }
    idle.print("idle CPU, quiet receiver", "% of a core", "<= 0.2%");
    spinning.print("idle CPU, never-waiting serial", "% of a core", "comparison");
    if (idle.median() > 0.0) {
        std::printf("%-34s %.0f x\n", "  never-waiting / waiting", spinning.median() / idle.median());
    } else {
        std::printf("%-34s waiting reader used no measurable time\n", "  never-waiting / waiting");
    }

    figures esc;
    for (int i = 0; i < repetitions; ++i) esc.add(esc_latency_ms(reader, (i * 10000 / repetitions + 3331 * i) % 10000));
    esc.print("Esc to exit", "ms", "median <= 20 ms");

    figures gga, peak;
    for (int i = 0; i < repetitions; ++i) {
        const gga_run run = gga_latency(reader);
        if (run.latency_ms >= 0.0) gga.add(run.latency_ms);
        if (run.peak_kib >= 0) peak.add(static_cast<double>(run.peak_kib));
    }
    gga.print("GGA line end to result line", "ms", "median <= 2 ms");
    peak.print("peak resident memory (VmHWM)", "KiB", "report");

    if (access(heap.c_str(), X_OK) == 0) {
        const gga_run counted = gga_latency(heap);
        std::printf("heap use during one run (from start of main to exit; target: none by our own code):\n%s",
                    counted.errors.c_str());
    } else {
        std::printf("heap use: no counting reader in this build\n");
    }
    return 0;
}
