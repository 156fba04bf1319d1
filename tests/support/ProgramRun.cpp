#include "tests/support/ProgramRun.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace {

// Both ends of a pipe, closed when the object goes.
struct Pipe {
    int fd[2] = {-1, -1};
    Pipe() {
        if (pipe2(fd, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
    }
    ~Pipe() {
        closeEnd(0);
        closeEnd(1);
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    void closeEnd(int end) {
        if (fd[end] >= 0)
            close(fd[end]);
        fd[end] = -1;
    }
};

// Ignores SIGPIPE while it lives, so that a program that leaves its input
// unread does not end the test.
class NoPipeSignal {
public:
    NoPipeSignal() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGPIPE, &ignore, &saved);
    }
    ~NoPipeSignal() { sigaction(SIGPIPE, &saved, nullptr); }
    NoPipeSignal(const NoPipeSignal&) = delete;
    NoPipeSignal& operator=(const NoPipeSignal&) = delete;

private:
    struct sigaction saved {};
};

// Feeds the input and drains both outputs at once: a program blocked on a
// full pipe must never wait for the test to read the other one.
void exchange(Pipe& in, Pipe& out, Pipe& err, const std::string& input, ProgramRun& run) {
    size_t written = 0;
    if (input.empty())
        in.closeEnd(1);
    else
        fcntl(in.fd[1], F_SETFL, O_NONBLOCK);
    char buffer[65536];
    while (in.fd[1] >= 0 || out.fd[0] >= 0 || err.fd[0] >= 0) {
        pollfd fds[3] = {{in.fd[1], POLLOUT, 0}, {out.fd[0], POLLIN, 0}, {err.fd[0], POLLIN, 0}};
        if (poll(fds, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            throw std::runtime_error("poll failed");
        }
        if (fds[0].revents != 0) {
            const ssize_t n = write(in.fd[1], input.data() + written, input.size() - written);
            if (n > 0)
                written += size_t(n);
            if ((n < 0 && errno != EAGAIN && errno != EINTR) || written == input.size())
                in.closeEnd(1);
        }
        Pipe* const sources[2] = {&out, &err};
        std::string* const texts[2] = {&run.out, &run.err};
        for (int i = 0; i < 2; ++i) {
            if (fds[i + 1].revents == 0)
                continue;
            const ssize_t n = read(sources[i]->fd[0], buffer, sizeof buffer);
            if (n > 0)
                texts[i]->append(buffer, size_t(n));
            else if (n == 0 || (errno != EINTR && errno != EAGAIN))
                sources[i]->closeEnd(0);
        }
    }
}

} // namespace

ProgramRun runWithArgumentVector(const std::string& program, const std::vector<std::string>& argv,
                                 const RunOptions& options) {
    // Made before the fork: the child only calls what is safe there.
    std::vector<std::string> strings = argv;
    std::vector<char*> arguments;
    for (std::string& a : strings)
        arguments.push_back(a.data());
    arguments.push_back(nullptr);
    char* const noEnvironment[] = {nullptr};
    char* const* const environment = options.emptyEnvironment ? noEnvironment : environ;

    const NoPipeSignal noPipeSignal;
    Pipe in, out, err;
    const bool withInput = options.input.has_value();
    const pid_t child = startChild(
        [&] {
            const int input = withInput ? in.fd[0] : open("/dev/null", O_RDONLY);
            if (input < 0 || dup2(input, 0) < 0 || dup2(out.fd[1], 1) < 0 || dup2(err.fd[1], 2) < 0)
                return 127;
            signal(SIGPIPE, SIG_DFL);
            execve(program.c_str(), arguments.data(), environment);
            return 127;
        },
        options.setup);
    in.closeEnd(0);
    out.closeEnd(1);
    err.closeEnd(1);

    ProgramRun run;
    exchange(in, out, err, withInput ? *options.input : std::string(), run);
    const ChildEnd end = waitForChild(child);
    run.status = end.status;
    run.signal = end.signal;
    return run;
}

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const RunOptions& options) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return runWithArgumentVector(program, argv, options);
}
