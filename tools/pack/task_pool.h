// The encoder's runner on the host's threads: helper threads take the
// queued tasks in order, and a thread that waits for a task runs queued
// ones meanwhile, so that the caller counts as one of the threads.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "encode/task_runner.h"

namespace pack {

class TaskPool final : public lzh::TaskRunner {
public:
    // Starts threads - 1 helpers (fewer if the system gives fewer).
    explicit TaskPool(unsigned threads);
    ~TaskPool();
    TaskPool(const TaskPool&) = delete;
    TaskPool& operator=(const TaskPool&) = delete;

    unsigned Threads() const override { return static_cast<unsigned>(helpers_.size()) + 1; }
    void Submit(lzh::Task& task) override;
    void Wait(lzh::Task& task) override;

private:
    void Help();
    void RunLocked(lzh::Task& task, std::unique_lock<std::mutex>& lock);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<lzh::Task*> queue_;
    bool stop_ = false;
    std::vector<std::thread> helpers_;
};

}  // namespace pack
