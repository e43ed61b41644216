// Throughput of GGA decoding over the receiver captures (a built-in line when they are absent) and
// the time of a whole port scan over a sysfs tree with 100 tty entries (96 ports the COM mapping names).
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gga_decode.h"
#include "linux_sysfs.h"
#include "port_device.h"

namespace {

namespace fs = std::filesystem;

double smallest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }
double largest(const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); }

// Lines as the reader receives them: split at CR/LF, NULs dropped, at most 255 characters.
std::vector<std::string> capture_lines(bool* from_captures) {
    std::vector<std::string> lines;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(GPS_SHARED_NMEA_DIR, error)) {
        if (entry.path().extension() != ".log") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::string line;
        char c;
        while (in.get(c)) {
            if (c == '\r' || c == '\n' || line.size() == 255) {
                if (!line.empty()) lines.push_back(line);
                line.clear();
                if (c == '\r' || c == '\n') continue;
            }
            if (c != '\0') line += c;
        }
        if (!line.empty()) lines.push_back(line);
    }
    *from_captures = !lines.empty();
    if (lines.empty()) lines.push_back("$GPGGA,101500.00,3723.2475,S,12158.3416,W,1,07,1.1,12.0,M,-25.0,M,,*76");
    return lines;
}

// Decodes every line once per iteration; items are lines.
void decode_lines(benchmark::State& state, const std::vector<std::string>& lines, bool from_captures) {
    state.SetLabel(from_captures ? "receiver captures" : "built-in line (captures absent)");
    position_reader::gga_position out{};
    for (auto _ : state) {
        for (const std::string& line : lines) {
            benchmark::DoNotOptimize(position_reader::decode_gga_sentence(line.c_str(), &out));
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(lines.size()));
}

void decode_captured_lines(benchmark::State& state) {
    static bool from_captures = false;
    static const std::vector<std::string> lines = capture_lines(&from_captures);
    decode_lines(state, lines, from_captures);
}
BENCHMARK(decode_captured_lines)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", smallest)
    ->ComputeStatistics("max", largest);

// Only the $GPGGA lines, which are the ones the decoder reads fields from.
void decode_gga_lines_only(benchmark::State& state) {
    static bool from_captures = false;
    static const std::vector<std::string> lines = [] {
        std::vector<std::string> gga;
        for (const std::string& line : capture_lines(&from_captures)) {
            if (line.rfind("$GPGGA", 0) == 0) gga.push_back(line);
        }
        return gga;
    }();
    decode_lines(state, lines, from_captures);
}
BENCHMARK(decode_gga_lines_only)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", smallest)
    ->ComputeStatistics("max", largest);

void write_file(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

void add_tty(const fs::path& root, const std::string& name, const fs::path& device) {
    fs::create_directories(device / "tty" / name);
    fs::create_directories(root / "sys/class/tty");
    fs::create_directory_symlink(device / "tty" / name, root / "sys/class/tty" / name);
    fs::create_directory_symlink(device, device / "tty" / name / "device");
}

// 32 ttyS UARTs, 32 Prolific ttyUSB adapters, 32 ttyACM modems and 4 virtual consoles.
fs::path make_hundred_tty_tree() {
    std::string pattern = (fs::temp_directory_path() / "scan_bench_XXXXXX").string();
    if (mkdtemp(&pattern[0]) == nullptr) return {};
    const fs::path root = pattern;
    const fs::path devices = root / "sys/devices";
    const fs::path pl2303 = root / "sys/bus/usb-serial/drivers/pl2303";
    fs::create_directories(pl2303);
    for (int i = 0; i < 32; ++i) {
        const std::string n = std::to_string(i);
        const fs::path uart = devices / "platform/serial8250" / ("port" + n);
        add_tty(root, "ttyS" + n, uart);
        write_file(root / "sys/class/tty" / ("ttyS" + n) / "type", "4\n");

        const fs::path usb = devices / "pci0000:00/usb1" / ("1-" + n);
        write_file(usb / "idVendor", "067b\n");
        write_file(usb / "idProduct", "2303\n");
        write_file(usb / "manufacturer", "Prolific Technology Inc.\n");
        const fs::path port = usb / ("1-" + n + ":1.0") / ("ttyUSB" + n);
        fs::create_directories(port);
        fs::create_directory_symlink(pl2303, port / "driver");
        add_tty(root, "ttyUSB" + n, port);

        const fs::path modem = devices / "pci0000:00/usb2" / ("2-" + n);
        write_file(modem / "idVendor", "1546\n");
        write_file(modem / "idProduct", "01a8\n");
        add_tty(root, "ttyACM" + n, modem / ("2-" + n + ":1.0"));
    }
    for (int i = 0; i < 4; ++i) add_tty(root, "tty" + std::to_string(i), devices / "virtual/tty" / ("tty" + std::to_string(i)));
    return root;
}

void scan_hundred_ttys(benchmark::State& state) {
    const fs::path root = make_hundred_tty_tree();
    port_device::set_sysfs_root(root.c_str());
    int found = 0;
    for (auto _ : state) {
        found = port_device_scan();
        benchmark::DoNotOptimize(found);
    }
    state.counters["ports"] = found;
    port_device::set_sysfs_root(nullptr);
    std::error_code ignored;
    fs::remove_all(root, ignored);
}
BENCHMARK(scan_hundred_ttys)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", smallest)
    ->ComputeStatistics("max", largest);

}  // namespace

BENCHMARK_MAIN();
