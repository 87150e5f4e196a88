// The seam through which the encoder runs work on other threads: it has
// no threads of its own (it builds without a runtime library), so the
// tools hand it a runner.  Without one, every task runs on the calling
// thread when it is waited for.  A task's result never depends on the
// thread that runs it.
#pragma once

namespace lzh {

class Task {
public:
    virtual void Run() = 0;

    // The runner's bookkeeping, under the runner's own lock.
    int runnerState = 0;

protected:
    ~Task() = default;
};

class TaskRunner {
public:
    // Threads that may run tasks at once, the caller's included.
    virtual unsigned Threads() const = 0;
    // Queues task.Run() for a thread of the runner.
    virtual void Submit(Task& task) = 0;
    // Returns once task.Run() has returned; the caller runs queued tasks
    // (this one too, if no thread has taken it) while it waits.
    virtual void Wait(Task& task) = 0;

protected:
    ~TaskRunner() = default;
};

}  // namespace lzh
