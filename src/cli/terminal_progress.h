#pragma once
// The progress of a vexa-cli job on the terminal: a bar on stderr, redrawn in place.

#include "formats/container.h"

#include <string>

namespace vexa::cli {

// Draws only when stderr is a terminal; a note clears the bar first. A stop signal (see
// stop_signals.h) is the job's cancel.
class TerminalProgress : public ProgressSink {
  public:
    // waitForOthers: another save of the same file is waited for as long as it takes.
    explicit TerminalProgress(bool waitForOthers = false);
    ~TerminalProgress() override;
    void setRange(int maximum) override { maximum_ = maximum; }
    void setPosition(int position) override;
    bool cancelRequested() override;
    bool waitForOtherWriters() override { return waitForOthers_; }
    void note(const std::string& text) override;

  private:
    void clear();

    bool enabled_;
    bool waitForOthers_;
    bool drawn_ = false;
    int maximum_ = 0;
    int lastFilled_ = -1;
};

} // namespace vexa::cli
