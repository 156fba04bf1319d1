// Standard error captured for a test, in place of GoogleTest's own capture:
// that one keeps the text in a named file in /tmp, which a test killed midway
// leaves behind. This one keeps it in an anonymous file in memory, which goes
// with the process however it ends.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <stdexcept>
#include <string>

namespace captured_stderr_detail {
// The saved standard error and the anonymous file, while a capture runs.
inline int saved = -1;
inline int file = -1;
} // namespace captured_stderr_detail

// Everything written to standard error from now on, by this process or a
// child that shares the descriptor, goes to the capture.
inline void captureStderr() {
    using namespace captured_stderr_detail;
    if (file >= 0)
        throw std::logic_error("standard error is captured already");
    std::fflush(nullptr);
    std::cerr.flush();
    file = memfd_create("captured-stderr", MFD_CLOEXEC);
    saved = dup(STDERR_FILENO);
    if (file < 0 || saved < 0 || dup2(file, STDERR_FILENO) < 0)
        throw std::runtime_error("standard error cannot be captured");
}

// Ends the capture and gives what it took.
inline std::string capturedStderr() {
    using namespace captured_stderr_detail;
    if (file < 0)
        throw std::logic_error("standard error is not captured");
    std::fflush(nullptr);
    std::cerr.flush();
    dup2(saved, STDERR_FILENO);
    close(saved);
    std::string text;
    char buffer[4096];
    ssize_t got;
    off_t at = 0;
    while ((got = pread(file, buffer, sizeof buffer, at)) > 0) {
        text.append(buffer, static_cast<size_t>(got));
        at += got;
    }
    close(file);
    saved = file = -1;
    return text;
}
