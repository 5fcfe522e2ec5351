#include "cli/terminal_progress.h"

#include "base/platform.h"
#include "base/text.h"
#include "cli/stop_signals.h"

#include <cstdio>
#include <iostream>

namespace vexa::cli {

TerminalProgress::TerminalProgress(bool waitForOthers)
    : enabled_(platform::isTerminal(2)), waitForOthers_(waitForOthers) {}

TerminalProgress::~TerminalProgress() {
    clear();
}

bool TerminalProgress::cancelRequested() {
    return stopRequested();
}

void TerminalProgress::note(const std::string& text) {
    clear();
    std::cerr << printableText(text) << '\n';
}

void TerminalProgress::setPosition(int position) {
    if (!enabled_) return;
    const int width = 40;
    const int filled =
        maximum_ > 0 ? static_cast<int>(static_cast<long long>(position) * width / maximum_) : width;
    if (filled == lastFilled_) return;
    lastFilled_ = filled;
    drawn_ = true;
    std::fprintf(stderr, "\r[%-*s] %d/%d", width, std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 position, maximum_);
}

void TerminalProgress::clear() {
    if (enabled_ && drawn_) std::fputs("\r\033[K", stderr);
    drawn_ = false;
    lastFilled_ = -1;
}

} // namespace vexa::cli
