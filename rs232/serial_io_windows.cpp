// Windows serial ports: COM<n> is \\.\COM<n>, opened overlapped so that waiting for received data
// can time out (WaitCommEvent on EV_RXCHAR), while reads take only what is already queued.
#include <windows.h>

#include <cstdio>

#include "serial_io.h"

namespace rs232 {

namespace {

enum { device_count = 8, highest_port = 255 };

struct windows_port {
    bool in_use;
    HANDLE handle;
    HANDLE wait_event;
    HANDLE read_event;
    DWORD event_mask;
    OVERLAPPED wait_state;
};

windows_port devices[device_count];

windows_port* device_at(int device) {
    if (device < 0 || device >= device_count || !devices[device].in_use) {
        return nullptr;
    }
    return &devices[device];
}

bool configure(HANDLE handle, int baud_rate) {
    DCB settings;
    ZeroMemory(&settings, sizeof settings);
    settings.DCBlength = sizeof settings;
    if (!GetCommState(handle, &settings)) {
        return false;
    }
    settings.BaudRate = static_cast<DWORD>(baud_rate);
    settings.ByteSize = 8;
    settings.Parity = NOPARITY;
    settings.StopBits = ONESTOPBIT;
    settings.fBinary = TRUE;
    settings.fParity = FALSE;
    settings.fOutxCtsFlow = FALSE;
    settings.fOutxDsrFlow = FALSE;
    settings.fDtrControl = DTR_CONTROL_ENABLE;
    settings.fDsrSensitivity = FALSE;
    settings.fOutX = FALSE;
    settings.fInX = FALSE;
    settings.fNull = FALSE;
    settings.fRtsControl = RTS_CONTROL_ENABLE;
    settings.fAbortOnError = FALSE;
    if (!SetCommState(handle, &settings)) {
        return false;
    }
    // Reads return at once with whatever has arrived, possibly nothing.
    COMMTIMEOUTS timeouts;
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    return SetCommTimeouts(handle, &timeouts) && SetCommMask(handle, EV_RXCHAR);
}

void release(windows_port* port) {
    if (port->handle != INVALID_HANDLE_VALUE) {
        CloseHandle(port->handle);
    }
    if (port->wait_event != nullptr) {
        CloseHandle(port->wait_event);
    }
    if (port->read_event != nullptr) {
        CloseHandle(port->read_event);
    }
    port->handle = INVALID_HANDLE_VALUE;
    port->wait_event = nullptr;
    port->read_event = nullptr;
    port->in_use = false;
}

}  // namespace

int serial_io_open(int port_number, int baud_rate) {
    if (port_number < 1 || port_number > highest_port || baud_rate <= 0) {
        return -1;
    }
    int device = 0;
    while (device < device_count && devices[device].in_use) {
        ++device;
    }
    if (device == device_count) {
        return -1;
    }
    char name[16];
    std::snprintf(name, sizeof name, "\\\\.\\COM%d", port_number);
    windows_port* port = &devices[device];
    port->handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr);
    port->wait_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    port->read_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    port->in_use = true;
    if (port->handle == INVALID_HANDLE_VALUE || port->wait_event == nullptr || port->read_event == nullptr ||
        !configure(port->handle, baud_rate)) {
        release(port);
        return -1;
    }
    return device;
}

namespace {

// Bytes waiting in the driver's receive queue, or -1 when the port is gone.
int queued_bytes(windows_port* port) {
    DWORD errors = 0;
    COMSTAT status;
    if (!ClearCommError(port->handle, &errors, &status)) {
        return -1;
    }
    return status.cbInQue > 0x7fffffff ? 0x7fffffff : static_cast<int>(status.cbInQue);
}

// Ends an outstanding overlapped operation, waiting a bounded time for the cancellation to land.
void cancel(windows_port* port, OVERLAPPED* state) {
    CancelIo(port->handle);
    if (WaitForSingleObject(state->hEvent, 100) == WAIT_OBJECT_0) {
        DWORD ignored;
        GetOverlappedResult(port->handle, state, &ignored, FALSE);
    }
}

}  // namespace

// Keyboard input does not end these waits, so they stay short enough for Esc to answer at once.
const int serial_io_idle_wait_ms = 10;

int serial_io_wait(int device, int timeout_ms) {
    windows_port* port = device_at(device);
    if (port == nullptr) {
        return -1;
    }
    const int queued = queued_bytes(port);
    if (queued != 0) {
        return queued > 0 ? 1 : -1;
    }
    ZeroMemory(&port->wait_state, sizeof port->wait_state);
    port->wait_state.hEvent = port->wait_event;
    ResetEvent(port->wait_event);
    port->event_mask = 0;
    if (WaitCommEvent(port->handle, &port->event_mask, &port->wait_state)) {
        return 1;
    }
    if (GetLastError() != ERROR_IO_PENDING) {
        return -1;
    }
    const DWORD result = WaitForSingleObject(port->wait_event, timeout_ms < 0 ? 0 : static_cast<DWORD>(timeout_ms));
    if (result == WAIT_OBJECT_0) {
        DWORD ignored;
        return GetOverlappedResult(port->handle, &port->wait_state, &ignored, FALSE) ? 1 : -1;
    }
    // Nothing is left outstanding between calls: a pending wait would hold the port (under Wine
    // even the process's exit) until the next byte comes.
    cancel(port, &port->wait_state);
    const int late = queued_bytes(port);
    return late == 0 ? 0 : (late > 0 ? 1 : -1);
}

int serial_io_read(int device, char* buffer, int size) {
    windows_port* port = device_at(device);
    if (port == nullptr) {
        return -1;
    }
    // Asking only for what is queued keeps ReadFile from waiting, whatever the driver makes of
    // the timeouts on an overlapped handle.
    const int queued = queued_bytes(port);
    if (queued <= 0 || size <= 0) {
        return queued < 0 ? -1 : 0;
    }
    OVERLAPPED read_state;
    ZeroMemory(&read_state, sizeof read_state);
    read_state.hEvent = port->read_event;
    ResetEvent(port->read_event);
    DWORD count = 0;
    const DWORD wanted = static_cast<DWORD>(queued < size ? queued : size);
    if (!ReadFile(port->handle, buffer, wanted, &count, &read_state)) {
        if (GetLastError() != ERROR_IO_PENDING) {
            return -1;
        }
        if (WaitForSingleObject(port->read_event, 100) != WAIT_OBJECT_0) {
            cancel(port, &read_state);
            return 0;
        }
        if (!GetOverlappedResult(port->handle, &read_state, &count, FALSE)) {
            return -1;
        }
    }
    return static_cast<int>(count);
}

void serial_io_close(int device) {
    windows_port* port = device_at(device);
    if (port != nullptr) {
        release(port);
    }
}

void serial_io_sleep(int ms) {
    if (ms > 0) {
        Sleep(static_cast<DWORD>(ms));
    }
}

}  // namespace rs232
