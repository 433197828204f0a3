// A one-line progress bar on standard error, drawn only when standard error is a terminal, so
// that logs and pipes stay clean.
#pragma once

#include <cstdint>
#include <string>

class progress_bar {
public:
    progress_bar(const std::string& label, uint64_t total);
    ~progress_bar();  // ends the line
    progress_bar(const progress_bar&) = delete;
    progress_bar& operator=(const progress_bar&) = delete;

    // `done` of the total; redrawn only when the bar changes.
    void update(uint64_t done);

private:
    std::string label_;
    uint64_t total_;
    int shown_permille_ = -1;
    bool visible_;
};
