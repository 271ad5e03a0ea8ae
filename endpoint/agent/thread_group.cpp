#include "endpoint/agent/thread_group.h"

#include <system_error>

namespace quarn::agent {

std::list<ThreadGroup::Worker> ThreadGroup::TakeFinished() {
    std::list<Worker> finished;
    for (auto it = workers_.begin(); it != workers_.end();) {
        const auto next = std::next(it);
        if (it->done->load()) {
            finished.splice(finished.end(), workers_, it);
        }
        it = next;
    }
    return finished;
}

bool ThreadGroup::Launch(std::function<void()> work) {
    std::list<Worker> finished;
    bool launched = false;
    {
        std::lock_guard lock(mutex_);
        finished = TakeFinished();
        if (!closed_ && static_cast<int>(workers_.size()) < limit_) {
            auto done = std::make_shared<std::atomic<bool>>(false);
            try {
                std::jthread thread([work = std::move(work), done] {
                    work();
                    done->store(true);
                });
                workers_.push_back({std::move(thread), std::move(done)});
                launched = true;
            } catch (const std::system_error&) {
                launched = false;
            }
        }
    }
    for (Worker& worker : finished) {
        worker.thread.join();
    }
    return launched;
}

void ThreadGroup::JoinAll() {
    std::list<Worker> all;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        all.swap(workers_);
    }
    for (Worker& worker : all) {
        worker.thread.join();
    }
}

int ThreadGroup::Running() {
    std::lock_guard lock(mutex_);
    int running = 0;
    for (const Worker& worker : workers_) {
        running += worker.done->load() ? 0 : 1;
    }
    return running;
}

}  // namespace quarn::agent
