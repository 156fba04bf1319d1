#include "tests/support/ProgramRun.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <utility>

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

// The strings of an argument vector or an environment and the null-ended
// pointers to them that execve takes, made before the fork: the child only
// calls what is safe there.
struct ExecStrings {
    std::vector<std::string> strings;
    std::vector<char*> pointers;
    explicit ExecStrings(std::vector<std::string> all) : strings(std::move(all)) {
        for (std::string& s : strings)
            pointers.push_back(s.data());
        pointers.push_back(nullptr);
    }
    char* const* data() { return pointers.data(); }
};

std::vector<std::string> environmentOf(const RunOptions& options) {
    std::vector<std::string> entries;
    const auto replaced = [&](const char* entry) {
        for (const std::string& given : options.environment) {
            const size_t name = given.find('=');
            if (name != std::string::npos && std::strncmp(entry, given.c_str(), name + 1) == 0)
                return true;
        }
        return false;
    };
    for (char** entry = environ; !options.emptyEnvironment && *entry != nullptr; ++entry) {
        if (!replaced(*entry))
            entries.emplace_back(*entry);
    }
    entries.insert(entries.end(), options.environment.begin(), options.environment.end());
    return entries;
}

std::vector<std::string> argumentsOf(const std::string& program,
                                     const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return argv;
}

} // namespace

ProgramRun runWithArgumentVector(const std::string& program, const std::vector<std::string>& argv,
                                 const RunOptions& options) {
    ExecStrings arguments(argv);
    ExecStrings environment(environmentOf(options));

    const NoPipeSignal noPipeSignal;
    Pipe in, out, err;
    const bool withInput = options.input.has_value();
    const pid_t child = startChild(
        [&] {
            const int input = withInput ? in.fd[0] : open("/dev/null", O_RDONLY);
            if (input < 0 || dup2(input, 0) < 0 || dup2(out.fd[1], 1) < 0 || dup2(err.fd[1], 2) < 0)
                return 127;
            signal(SIGPIPE, SIG_DFL);
            execve(program.c_str(), arguments.data(), environment.data());
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
    return runWithArgumentVector(program, argumentsOf(program, arguments), options);
}

StartedProgram::StartedProgram(const std::string& program,
                               const std::vector<std::string>& arguments,
                               const std::string& outputFile, const RunOptions& options)
    : ownSession(options.setup.newSession) {
    if (options.input)
        throw std::invalid_argument("a started program reads no input text");
    ExecStrings argv(argumentsOf(program, arguments));
    ExecStrings environment(environmentOf(options));
    const int output = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (output < 0)
        throw std::runtime_error("could not make " + outputFile);
    try {
        child = startChild(
            [&] {
                const int input = open("/dev/null", O_RDONLY);
                if (input < 0 || dup2(input, 0) < 0 || dup2(output, 1) < 0 || dup2(output, 2) < 0)
                    return 127;
                execve(program.c_str(), argv.data(), environment.data());
                return 127;
            },
            options.setup);
    } catch (...) {
        close(output);
        throw;
    }
    close(output);
}

StartedProgram::~StartedProgram() {
    // The leader's pid, unreaped, keeps the session's id from passing to
    // another session while its members are looked for and killed; a member
    // may start another before it is killed, so it goes in rounds.
    for (int round = 0; ownSession && round < 1000; ++round) {
        const std::vector<pid_t> left = sessionProcesses(child);
        if (left.empty())
            break;
        for (const pid_t pid : left)
            kill(pid, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(child, SIGKILL);
    waitForChild(child);
}

std::optional<ChildEnd> StartedProgram::waitFor(std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        siginfo_t info{};
        const int waited = waitid(P_PID, id_t(child), &info, WEXITED | WNOHANG | WNOWAIT);
        if (waited == 0 && info.si_pid == child) {
            ChildEnd end;
            if (info.si_code == CLD_EXITED)
                end.status = info.si_status;
            else
                end.signal = info.si_status;
            return end;
        }
        if ((waited < 0 && errno != EINTR) || std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

bool eventually(std::chrono::milliseconds timeout, const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
