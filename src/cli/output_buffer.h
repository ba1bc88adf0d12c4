#pragma once

#include <cstdio>
#include <string>

namespace tarvix::cli {

// Text for stdout gathered in large pieces, so that a million lines cost a few hundred writes.
// Whether all of it arrived is the program's last check (WroteOutput).
class OutputBuffer {
public:
    OutputBuffer() { text_.reserve(kFlushBytes + 4096); }
    ~OutputBuffer() { flush(); }
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    std::string& text() { return text_; }
    // Writes out what has gathered once it is large; call after each line.
    void lineDone() {
        if (text_.size() >= kFlushBytes) flush();
    }
    void flush() {
        std::fwrite(text_.data(), 1, text_.size(), stdout);
        text_.clear();
    }

private:
    static constexpr std::size_t kFlushBytes = std::size_t{1} << 20;
    std::string text_;
};

}  // namespace tarvix::cli
