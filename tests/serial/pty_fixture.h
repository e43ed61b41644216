// A pseudo-terminal standing in for a USB serial adapter: a temporary device folder holds
// ttyUSB0 (COM33) -> the terminal's slave side, and the library is pointed at that folder.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "serial_device_directory.h"

class temp_device_folder : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/rs232_devices_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        ASSERT_EQ(rs232::set_device_directory(folder.c_str()), 0);
    }
    void TearDown() override {
        rs232::set_device_directory(nullptr);
        for (const char* name : {"ttyUSB0", "ttyUSB1", "ttyUSB2"}) unlink(path(name).c_str());
        rmdir(folder.c_str());
    }
    std::string path(const char* name) const { return folder + "/" + name; }
    std::string folder;
};

class pty_port : public temp_device_folder {
protected:
    void SetUp() override {
        temp_device_folder::SetUp();
        master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master), 0);
        ASSERT_EQ(unlockpt(master), 0);
        ASSERT_NE(ptsname(master), nullptr);
        ASSERT_EQ(symlink(ptsname(master), path("ttyUSB0").c_str()), 0);
    }
    void TearDown() override {
        close_master();
        temp_device_folder::TearDown();
    }
    void send(const std::string& text) {
        ASSERT_EQ(write(master, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void close_master() {
        if (master >= 0) close(master);
        master = -1;
    }
    int master = -1;
};
