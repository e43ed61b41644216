// A GPS receiver stand-in for tests and the demo: writes NMEA lines, CR/LF-terminated, paced like a
// receiver at 38400 baud, into a pseudo-terminal of its own (or a given serial device).
// Closing the pseudo-terminal at the end is what an unplugged receiver looks like to the reader.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

const char usage_text[] =
    "usage: gps_simulator [--link PATH] [--device PATH] [--interval-ms N] [--hold-ms N] [--repeat]\n"
    "                     (--replay FILE | --scenario [--no-fix N] [--fixes N] [--fix-quality Q]\n"
    "                                                 [--lat DEG] [--lon DEG] [--others])\n"
    "\n"
    "Writes NMEA lines ending in CR LF to a new pseudo-terminal, whose name it prints as\n"
    "\"pty: /dev/pts/N\" once ready, or to the serial device given with --device.\n"
    "  --link PATH       make PATH a symbolic link to the pseudo-terminal (removed at exit)\n"
    "  --device PATH     write to this serial device instead of a pseudo-terminal\n"
    "  --interval-ms N   pause between lines (default 20, 0 = no pause)\n"
    "  --hold-ms N       wait after the last line before closing (default 1000)\n"
    "  --repeat          start again after the last line, until stopped by a signal\n"
    "  --replay FILE     send FILE's lines as they are (line ends become CR LF)\n"
    "  --scenario        send GGA sentences: first without a fix, then with one\n"
    "  --no-fix N        GGA sentences without a position first (default 3)\n"
    "  --fixes N         GGA sentences with a position after them (default 3)\n"
    "  --fix-quality Q   fix quality of those (default 1)\n"
    "  --lat DEG --lon DEG  their position in signed decimal degrees (default 48.1173, 11.516667)\n"
    "  --others          put an RMC and a GSV sentence after every GGA\n"
    "Ends on SIGINT or SIGTERM; exit status 0, or 1 for bad arguments or no usable device.\n";

struct options {
    const char* link = nullptr;
    const char* device = nullptr;
    const char* replay = nullptr;
    bool scenario = false;
    bool repeat = false;
    bool others = false;
    long interval_ms = 20;
    long hold_ms = 1000;
    long no_fix = 3;
    long fixes = 3;
    long fix_quality = 1;
    double lat = 48.1173;
    double lon = 11.516667;
};

volatile sig_atomic_t stop_requested = 0;

void on_stop_signal(int) { stop_requested = 1; }

bool parse_long(const char* text, long low, long high, long* out) {
    if (text == nullptr) return false;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < low || value > high) return false;
    *out = value;
    return true;
}

bool parse_double(const char* text, double low, double high, double* out) {
    if (text == nullptr) return false;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(value >= low && value <= high)) return false;
    *out = value;
    return true;
}

// 0, or -1 after printing why.
int parse(int argc, char** argv, options* o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool ok = true;
        bool takes_value = true;
        if (arg == "--link") o->link = value, ok = value != nullptr;
        else if (arg == "--device") o->device = value, ok = value != nullptr;
        else if (arg == "--replay") o->replay = value, ok = value != nullptr;
        else if (arg == "--interval-ms") ok = parse_long(value, 0, 3600000, &o->interval_ms);
        else if (arg == "--hold-ms") ok = parse_long(value, 0, 3600000, &o->hold_ms);
        else if (arg == "--no-fix") ok = parse_long(value, 0, 1000000, &o->no_fix);
        else if (arg == "--fixes") ok = parse_long(value, 0, 1000000, &o->fixes);
        else if (arg == "--fix-quality") ok = parse_long(value, 0, 9, &o->fix_quality);
        else if (arg == "--lat") ok = parse_double(value, -90.0, 90.0, &o->lat);
        else if (arg == "--lon") ok = parse_double(value, -180.0, 180.0, &o->lon);
        else {
            takes_value = false;
            if (arg == "--scenario") o->scenario = true;
            else if (arg == "--repeat") o->repeat = true;
            else if (arg == "--others") o->others = true;
            else if (arg == "--help" || arg == "-h") {
                std::fputs(usage_text, stdout);
                std::exit(0);
            } else ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "gps_simulator: bad or missing value for %s\n%s", arg.c_str(), usage_text);
            return -1;
        }
        if (takes_value) ++i;
    }
    if ((o->replay != nullptr) == o->scenario) {
        std::fprintf(stderr, "gps_simulator: give either --replay FILE or --scenario\n%s", usage_text);
        return -1;
    }
    return 0;
}

std::string with_checksum(const std::string& body) {
    unsigned char sum = 0;
    for (char c : body) sum = static_cast<unsigned char>(sum ^ static_cast<unsigned char>(c));
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X", sum);
    return "$" + body + tail;
}

// ddmm.mmmm,H (or dddmm.mmmm,H) for signed decimal degrees.
std::string coordinate(double degrees, int degree_digits, char positive, char negative) {
    const double magnitude = std::fabs(degrees);
    int whole = static_cast<int>(magnitude);
    double minutes = (magnitude - whole) * 60.0;
    if (minutes >= 59.99995) {  // would print as 60.0000
        minutes = 0.0;
        ++whole;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%0*d%07.4f,%c", degree_digits, whole, minutes, degrees < 0 ? negative : positive);
    return text;
}

std::string utc_time(long second) {
    char text[16];
    std::snprintf(text, sizeof text, "%02ld%02ld%02ld.00", (12 + second / 3600) % 24, (second / 60) % 60, second % 60);
    return text;
}

std::vector<std::string> scenario_lines(const options& o) {
    std::vector<std::string> lines;
    const std::string lat = coordinate(o.lat, 2, 'N', 'S');
    const std::string lon = coordinate(o.lon, 3, 'E', 'W');
    for (long i = 0; i < o.no_fix + o.fixes; ++i) {
        const std::string when = utc_time(i);
        const bool fixed = i >= o.no_fix;
        if (fixed) {
            lines.push_back(with_checksum("GPGGA," + when + "," + lat + "," + lon + "," + std::to_string(o.fix_quality) +
                                          ",08,0.9,545.4,M,46.9,M,,"));
        } else {
            lines.push_back(with_checksum("GPGGA," + when + ",,,,,0,00,99.99,,,,,,"));
        }
        if (o.others) {
            lines.push_back(with_checksum("GPRMC," + when + (fixed ? ",A," + lat + "," + lon : ",V,,,,") +
                                          ",0.0,0.0,010125,,,A"));
            lines.push_back(with_checksum("GPGSV,1,1,02,05,45,120,38,12,30,240,35"));
        }
    }
    return lines;
}

int replay_lines(const char* path, std::vector<std::string>* lines) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "gps_simulator: cannot read %s\n", path);
        return -1;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines->push_back(line);
    }
    return 0;
}

int set_raw(int fd) {
    termios settings;
    if (tcgetattr(fd, &settings) != 0) return -1;
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&settings, B38400);
    cfsetospeed(&settings, B38400);
    return tcsetattr(fd, TCSANOW, &settings);
}

// Sleeps ms milliseconds unless a stop signal comes first.
void pause_ms(long ms) {
    timespec rest;
    rest.tv_sec = ms / 1000;
    rest.tv_nsec = (ms % 1000) * 1000000L;
    while (!stop_requested && nanosleep(&rest, &rest) != 0 && errno == EINTR) {
    }
}

// Writes the whole text; false when the reader side could not take it.
bool write_all(int fd, const std::string& text) {
    size_t done = 0;
    int patience = 100;  // about 100 ms for a full buffer to drain
    while (done < text.size() && !stop_requested) {
        const ssize_t count = write(fd, text.data() + done, text.size() - done);
        if (count > 0) {
            done += static_cast<size_t>(count);
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && patience-- > 0) {
            pause_ms(1);
        } else {
            return false;
        }
    }
    return done == text.size();
}

}  // namespace

int main(int argc, char** argv) {
    options o;
    if (parse(argc, argv, &o) != 0) return 1;

    std::vector<std::string> lines;
    if (o.scenario) {
        lines = scenario_lines(o);
    } else if (replay_lines(o.replay, &lines) != 0) {
        return 1;
    }

    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = on_stop_signal;  // no SA_RESTART: pauses end at once
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    int out = -1;
    int slave = -1;
    std::string slave_name;
    if (o.device != nullptr) {
        out = open(o.device, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (out < 0) {
            std::fprintf(stderr, "gps_simulator: cannot open %s: %s\n", o.device, std::strerror(errno));
            return 1;
        }
        if (isatty(out)) set_raw(out);
        slave_name = o.device;
    } else {
        out = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (out < 0 || grantpt(out) != 0 || unlockpt(out) != 0 || ptsname(out) == nullptr) {
            std::fprintf(stderr, "gps_simulator: cannot create a pseudo-terminal: %s\n", std::strerror(errno));
            return 1;
        }
        slave_name = ptsname(out);
        // Held open so the raw settings stay and writes do not fail before a reader comes.
        slave = open(slave_name.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave < 0 || set_raw(slave) != 0) {
            std::fprintf(stderr, "gps_simulator: cannot set up %s: %s\n", slave_name.c_str(), std::strerror(errno));
            return 1;
        }
        fcntl(out, F_SETFL, fcntl(out, F_GETFL) | O_NONBLOCK);
    }

    if (o.link != nullptr) {
        struct stat existing;
        if (lstat(o.link, &existing) == 0 && S_ISLNK(existing.st_mode)) unlink(o.link);
        if (symlink(slave_name.c_str(), o.link) != 0) {
            std::fprintf(stderr, "gps_simulator: cannot link %s: %s\n", o.link, std::strerror(errno));
            return 1;
        }
    }
    if (o.device == nullptr) {
        std::printf("pty: %s\n", slave_name.c_str());
    } else {
        std::printf("device: %s\n", slave_name.c_str());
    }
    std::fflush(stdout);

    long written = 0;
    long dropped = 0;
    do {
        for (const std::string& line : lines) {
            if (stop_requested) break;
            if (write_all(out, line + "\r\n")) ++written;
            else ++dropped;
            if (o.interval_ms > 0) pause_ms(o.interval_ms);
        }
    } while (o.repeat && !stop_requested && !lines.empty());
    if (!stop_requested) pause_ms(o.hold_ms);

    if (slave >= 0) close(slave);
    close(out);
    if (o.link != nullptr) unlink(o.link);
    if (dropped > 0) std::fprintf(stderr, "gps_simulator: %ld of %ld lines could not be written\n", dropped, written + dropped);
    return 0;
}
