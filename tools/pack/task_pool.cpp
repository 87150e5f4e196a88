#include "task_pool.h"

#include <algorithm>
#include <system_error>

namespace pack {
namespace {

// Task::runnerState
constexpr int kQueued = 1;
constexpr int kRunning = 2;
constexpr int kDone = 3;

}  // namespace

TaskPool::TaskPool(unsigned threads) {
    try {
        while (helpers_.size() + 1 < threads) helpers_.emplace_back(&TaskPool::Help, this);
    } catch (const std::system_error&) {
        // Fewer helpers: the tasks run all the same.
    }
}

TaskPool::~TaskPool() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        changed_.notify_all();
    }
    for (std::thread& helper : helpers_) helper.join();
}

void TaskPool::Submit(lzh::Task& task) {
    const std::lock_guard<std::mutex> lock(mutex_);
    task.runnerState = kQueued;
    queue_.push_back(&task);
    changed_.notify_all();
}

// Takes a queued task off the queue and runs it without the lock.
void TaskPool::RunLocked(lzh::Task& task, std::unique_lock<std::mutex>& lock) {
    queue_.erase(std::find(queue_.begin(), queue_.end(), &task));
    task.runnerState = kRunning;
    lock.unlock();
    task.Run();
    lock.lock();
    task.runnerState = kDone;
    changed_.notify_all();
}

void TaskPool::Help() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stop_ || !queue_.empty(); });
        if (queue_.empty()) return;
        RunLocked(*queue_.front(), lock);
    }
}

void TaskPool::Wait(lzh::Task& task) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (task.runnerState != kDone) {
        if (task.runnerState == kQueued)
            RunLocked(task, lock);
        else if (!queue_.empty())
            RunLocked(*queue_.front(), lock);
        else
            changed_.wait(lock);
    }
}

}  // namespace pack
