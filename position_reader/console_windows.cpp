// Keyboard on Windows: _kbhit/_getch on a console. Any other standard input (a pipe, a file,
// NUL) is read byte by byte, each byte one key, by a small reader thread: a pipe cannot be
// tested for waiting bytes reliably everywhere, so the thread blocks in ReadFile instead and
// the reading loop only looks at what it has queued.
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // condition variables
#endif
#include <windows.h>
#include <conio.h>

#include "console.h"

namespace position_reader {
namespace {

enum {
    queue_size = 64,
    key_sequence = 0x100,  // what an extended key (arrows, function keys) reads as: never key_escape
    extended_prefix_1 = 0x00,
    extended_prefix_2 = 0xE0
};

HANDLE input_handle = INVALID_HANDLE_VALUE;
int input_is_console = 0;
int reader_started = 0;

// Filled by the reader thread, emptied by the program's thread; guarded by queue_lock.
CRITICAL_SECTION queue_lock;
CONDITION_VARIABLE queue_changed;
unsigned char queue[queue_size];
int queue_head = 0;
int queue_count = 0;
int input_ended = 0;

DWORD WINAPI read_input(LPVOID) {
    for (;;) {
        unsigned char byte = 0;
        DWORD count = 0;
        const BOOL ok = ReadFile(input_handle, &byte, 1, &count, nullptr);
        EnterCriticalSection(&queue_lock);
        if (!ok || count == 0) {
            input_ended = 1;
            WakeAllConditionVariable(&queue_changed);
            LeaveCriticalSection(&queue_lock);
            return 0;
        }
        while (queue_count == queue_size) {
            SleepConditionVariableCS(&queue_changed, &queue_lock, INFINITE);
        }
        queue[(queue_head + queue_count) % queue_size] = byte;
        ++queue_count;
        WakeAllConditionVariable(&queue_changed);
        LeaveCriticalSection(&queue_lock);
    }
}

void start_reader() {
    InitializeCriticalSection(&queue_lock);
    InitializeConditionVariable(&queue_changed);
    HANDLE thread = CreateThread(nullptr, 0, read_input, nullptr, 0, nullptr);
    if (thread == nullptr) {
        input_ended = 1;  // without the thread no key can arrive; never block waiting for one
    } else {
        CloseHandle(thread);  // it ends at end of input or with the process
    }
    reader_started = 1;
}

}  // namespace

void console_open() {
    if (reader_started) {
        return;  // the reader thread already owns standard input
    }
    input_handle = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    input_is_console = (input_handle != INVALID_HANDLE_VALUE && input_handle != nullptr &&
                        GetConsoleMode(input_handle, &mode));
    if (input_is_console) {
        return;
    }
    if (input_handle == INVALID_HANDLE_VALUE || input_handle == nullptr) {
        InitializeCriticalSection(&queue_lock);
        InitializeConditionVariable(&queue_changed);
        input_ended = 1;
        reader_started = 1;
        return;
    }
    start_reader();
}

int console_key_waiting() {
    if (input_is_console) {
        return _kbhit() != 0;
    }
    if (!reader_started) {
        return 0;
    }
    EnterCriticalSection(&queue_lock);
    const int waiting = queue_count > 0;
    LeaveCriticalSection(&queue_lock);
    return waiting;
}

int console_read_key() {
    if (input_is_console) {
        const int key = _getch();
        if (key == extended_prefix_1 || key == extended_prefix_2) {
            _getch();  // the key's second code
            return key_sequence;
        }
        return key;
    }
    if (!reader_started) {
        return key_none;
    }
    EnterCriticalSection(&queue_lock);
    while (queue_count == 0 && !input_ended) {
        SleepConditionVariableCS(&queue_changed, &queue_lock, INFINITE);
    }
    int key = key_none;
    if (queue_count > 0) {
        key = queue[queue_head];
        queue_head = (queue_head + 1) % queue_size;
        --queue_count;
        WakeAllConditionVariable(&queue_changed);
    }
    LeaveCriticalSection(&queue_lock);
    return key;
}

void console_close() {
    // _getch changes no console mode, and the reader thread may stay blocked until the process ends.
}

}  // namespace position_reader
