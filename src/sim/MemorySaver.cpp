#include "sim/MemorySaver.h"

#include <cstdio>
#include <utility>

namespace sim {

MemorySaver::MemorySaver(std::string path) : path_(std::move(path)), thread_([this] { run(); }) {}

MemorySaver::~MemorySaver()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void MemorySaver::save(const ControllerMemory& memory)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        waiting_ = memory;
    }
    wake_.notify_one();
}

void MemorySaver::flush()
{
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return !waiting_ && !writing_; });
}

void MemorySaver::run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return waiting_ || stopping_; });
        if (!waiting_)
            return; // stopping, and nothing is left to write
        ControllerMemory memory = std::move(*waiting_);
        waiting_.reset();
        writing_ = true;
        lock.unlock();
        std::string error;
        if (!memory.save(path_, &error))
            std::fprintf(stderr, "kz7sim: %s\n", error.c_str());
        lock.lock();
        writing_ = false;
        done_.notify_all();
    }
}

} // namespace sim
