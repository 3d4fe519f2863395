// HoldingChild: a child process that takes something (a run lock, an open table) and holds it
// until the parent lets it go, kills it, or a time runs out, so that a test meets what another
// workstation's program would leave in its way. The take function runs in the child, on the
// child's copy of the parent's memory; it answers whether it took what it was meant to.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

namespace testing_support {

class HoldingChild {
public:
    explicit HoldingChild(const std::function<bool()>& take,
                          std::chrono::milliseconds holdFor = std::chrono::milliseconds{60000}) {
        int ready[2];
        if (pipe(ready) != 0) return;
        m_pid = fork();
        if (m_pid == 0) {
            close(ready[0]);
            char took = 'n';
            try {
                took = take() ? 'y' : 'n';
            } catch (...) {
            }
            (void)!write(ready[1], &took, 1);
            std::this_thread::sleep_for(holdFor);
            _exit(0);
        }
        close(ready[1]);
        char took = 0;
        m_took = read(ready[0], &took, 1) == 1 && took == 'y';
        close(ready[0]);
    }
    ~HoldingChild() { Kill(); }
    HoldingChild(const HoldingChild&) = delete;
    HoldingChild& operator=(const HoldingChild&) = delete;

    bool Took() const { return m_took; }
    pid_t Pid() const { return m_pid; }
    // Ends the child at once, as a kill would end a program mid-run.
    void Kill() {
        if (m_pid <= 0) return;
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
    // Waits until the child has let go by itself.
    void Wait() {
        if (m_pid <= 0) return;
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    bool m_took = false;
};

}  // namespace testing_support
