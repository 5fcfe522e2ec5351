#pragma once
// What vexa-cli writes on stdout: buffered, and JSON strings and numbers made in place.

#include <cstdint>
#include <string>
#include <string_view>

namespace vexa::cli {

void appendNumber(std::string& out, std::uint64_t number);
// Appends text as a JSON string (quotes included).
void appendJsonString(std::string& out, std::string_view text);
std::string jsonString(std::string_view text);

// stdout in pieces of 64 KiB: a listing of 100,000 entries is not 100,000 writes.
class StdoutWriter {
  public:
    StdoutWriter() = default;
    StdoutWriter(const StdoutWriter&) = delete;
    StdoutWriter& operator=(const StdoutWriter&) = delete;
    ~StdoutWriter() { flush(); }
    StdoutWriter& operator<<(std::string_view text) {
        buffer_.append(text);
        flushIfFull();
        return *this;
    }
    StdoutWriter& operator<<(std::uint64_t number) {
        appendNumber(buffer_, number);
        flushIfFull();
        return *this;
    }
    // For a caller that builds a long run of small pieces in place: append to text(), then call
    // flushIfFull() now and then.
    std::string& text() { return buffer_; }
    void flushIfFull() {
        if (buffer_.size() >= kFlushAt) flush();
    }
    void flush();

  private:
    static constexpr std::size_t kFlushAt = 1 << 16;
    std::string buffer_;
};

} // namespace vexa::cli
