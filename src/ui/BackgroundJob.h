#pragma once
// Long work off the window's thread: opening, extraction, conversion and writing run one at a
// time on a worker while the window repaints and can be looked at. The worker never touches a
// widget: progress crosses to the window's thread as queued signals, and Cancel is an atomic flag
// the core asks between entries.

#include "formats/container.h"

#include <QFutureWatcher>
#include <QObject>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstddef>
#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace vexa::ui {

// A row index as a progress bar's position, which is an int: beyond its range the bar stays full.
inline int progressPosition(std::size_t row) {
    return static_cast<int>(std::min<std::size_t>(row, INT_MAX));
}

// The ProgressSink a job's core call gets. setRange and setPosition are called on the worker;
// they forward what moves the bar by a visible step, never 100,000 signals for 100,000 rows.
class JobProgress : public QObject, public ProgressSink {
    Q_OBJECT
  public:
    using QObject::QObject;

    void setRange(int maximum) override;
    void setPosition(int position) override;
    bool cancelRequested() override { return cancel_.load(std::memory_order_relaxed); }
    // Kept for the job's end: read on the window's thread once the job is over.
    void note(const std::string& text) override { notes_.push_back(text); }
    const std::vector<std::string>& notes() const { return notes_; }

    // On the window's thread.
    void requestCancel() { cancel_.store(true, std::memory_order_relaxed); }
    void rearm(); // before a job starts: no cancel, nothing sent yet

  signals:
    void rangeChanged(int maximum);
    void positionChanged(int position);

  private:
    static constexpr int kSteps = 500; // more than a bar has pixels
    std::atomic<bool> cancel_{false};
    // The worker's own bookkeeping (set by rearm before the worker starts).
    int maximum_ = 0;
    int sentStep_ = -1;
    std::vector<std::string> notes_;
};

class JobRunner : public QObject {
    Q_OBJECT
  public:
    // work runs on the worker and reports failure by throwing; done runs on the window's thread
    // after the job has ended (and after runningChanged(false)), with what work threw or null.
    using Work = std::function<void(JobProgress& progress)>;
    using Done = std::function<void(std::exception_ptr error)>;

    explicit JobRunner(QObject* parent = nullptr);
    ~JobRunner() override;

    bool running() const { return running_; }
    // Starts work; false (and nothing started) while another job runs.
    bool start(Work work, Done done);
    void cancel();
    bool cancelled() { return progress_.cancelRequested(); }
    // Blocks until the running job has ended and its done has run. For closing the window.
    void wait();
    JobProgress& progress() { return progress_; }

  signals:
    void runningChanged(bool running);

  private:
    void finish();

    JobProgress progress_;
    QFutureWatcher<void> watcher_;
    Done done_;
    std::exception_ptr error_; // written by the worker; read after the future has finished
    bool running_ = false;
};

} // namespace vexa::ui
