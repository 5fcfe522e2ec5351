#pragma once
// Work a front end spreads over threads it asks for: the values for 0 .. count-1, made by a pool of
// threads and handed to one consumer in order, so the output is the same whatever the number of
// threads. A thread stays at most `ahead` values beyond the one last taken: what waits to be taken stays
// bounded. Nothing in the core makes one; the command line and the window do, for their own jobs.

#include "base/errors.h"

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace vexa {

template <typename T> class OrderedWork {
  public:
    OrderedWork(std::size_t count, std::size_t threads, std::size_t ahead, std::function<T(std::size_t)> make)
        : make_(std::move(make)), slots_(count), ahead_(std::max<std::size_t>(ahead, 1)) {
        threads = std::min(std::max<std::size_t>(threads, 1), std::max<std::size_t>(count, 1));
        try {
            for (std::size_t t = 0; t < threads; ++t)
                workers_.emplace_back([this] { work(); });
        } catch (...) { // a thread that cannot be started: those started end before this is gone
            stop();
            workers_.clear();
            throw;
        }
    }
    // Stops handing out values and waits for the threads to finish the ones they are making.
    ~OrderedWork() {
        stop();
        workers_.clear(); // joins
    }
    OrderedWork(const OrderedWork&) = delete;
    OrderedWork& operator=(const OrderedWork&) = delete;

    // The value at index, in turn (0, 1, 2 ...), waiting for it to be made; rethrows what making it
    // threw. nullopt when the work stopped before a thread took it.
    std::optional<T> take(std::size_t index) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return slots_[index].done || (stopping_ && index >= next_); });
        taken_ = index + 1;
        changed_.notify_all();
        auto& slot = slots_[index];
        if (slot.failure) std::rethrow_exception(std::exchange(slot.failure, nullptr));
        return std::exchange(slot.value, std::nullopt);
    }

    // No value is started after this; those being made are finished.
    void stop() {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        changed_.notify_all();
    }

  private:
    struct Slot {
        std::optional<T> value;
        std::exception_ptr failure;
        bool done = false;
    };

    void work() {
        for (;;) {
            std::size_t index = 0;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock,
                              [&] { return stopping_ || next_ == slots_.size() || next_ < taken_ + ahead_; });
                if (stopping_ || next_ == slots_.size()) return;
                index = next_++;
            }
            Slot made;
            try {
                made.value = make_(index);
            } catch (...) {
                made.failure = std::current_exception();
            }
            made.done = true;
            std::lock_guard lock(mutex_);
            slots_[index] = std::move(made);
            changed_.notify_all();
        }
    }

    std::function<T(std::size_t)> make_;
    std::vector<Slot> slots_;
    std::size_t ahead_;
    std::size_t next_ = 0;  // the next index a thread takes
    std::size_t taken_ = 0; // one past the last index taken
    bool stopping_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::jthread> workers_; // last: the threads end before what they use
};

// make(0 .. count-1) on a pool of threads, as a function that hands value i over in turn (at most
// `threads` made ahead of it). The pool lives as long as the function's last copy, which ends it.
template <typename T>
std::function<T(std::size_t)> orderedOnThreads(std::size_t count, std::size_t threads,
                                               std::function<T(std::size_t)> make) {
    auto work = std::make_shared<OrderedWork<T>>(count, threads, threads, std::move(make));
    return [work](std::size_t index) {
        // Only the pool's end stops it, and that comes after the last value is taken.
        auto value = work->take(index);
        if (!value) throw Cancelled("Cancelled");
        return std::move(*value);
    };
}

} // namespace vexa
