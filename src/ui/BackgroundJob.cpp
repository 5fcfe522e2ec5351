#include "ui/BackgroundJob.h"

#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <utility>

namespace vexa::ui {

void JobProgress::rearm() {
    cancel_.store(false, std::memory_order_relaxed);
    maximum_ = 0;
    sentStep_ = -1;
    notes_.clear();
}

void JobProgress::setRange(int maximum) {
    maximum_ = std::max(0, maximum);
    sentStep_ = -1;
    emit rangeChanged(maximum);
}

void JobProgress::setPosition(int position) {
    const auto clamped = std::clamp(position, 0, maximum_);
    const int step = maximum_ > 0 ? static_cast<int>(static_cast<long long>(clamped) * kSteps / maximum_) : 0;
    // The first position, every visible step, and the way back to 0 at the end.
    if (step == sentStep_ && clamped != 0) return;
    sentStep_ = step;
    emit positionChanged(position);
}

JobRunner::JobRunner(QObject* parent) : QObject(parent), progress_(this) {
    connect(&watcher_, &QFutureWatcher<void>::finished, this, &JobRunner::finish);
}

JobRunner::~JobRunner() {
    // The worker may hold references into the window: it ends before they go.
    watcher_.disconnect(this);
    watcher_.waitForFinished();
}

bool JobRunner::start(Work work, Done done) {
    if (running_) return false;
    running_ = true;
    done_ = std::move(done);
    error_ = nullptr;
    progress_.rearm();
    emit runningChanged(true);
    watcher_.setFuture(QtConcurrent::run([this, work = std::move(work)] {
        try {
            work(progress_);
        } catch (...) {
            error_ = std::current_exception();
        }
    }));
    return true;
}

void JobRunner::cancel() {
    if (running_) progress_.requestCancel();
}

void JobRunner::wait() {
    if (!running_) return;
    watcher_.waitForFinished();
    finish();
}

void JobRunner::finish() {
    // Reached from the watcher's signal or from wait(), whichever comes first; once per job.
    if (!running_ || !watcher_.future().isFinished()) return;
    running_ = false;
    auto done = std::move(done_);
    done_ = nullptr;
    const auto error = std::exchange(error_, nullptr);
    emit runningChanged(false);
    if (done) done(error);
}

} // namespace vexa::ui
