#include "tools/progress/progress_bar.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define stderr_is_terminal() (_isatty(_fileno(stderr)) != 0)
#else
#include <unistd.h>
#define stderr_is_terminal() (isatty(STDERR_FILENO) != 0)
#endif

namespace {
constexpr int bar_width = 40;
}

progress_bar::progress_bar(const std::string& label, uint64_t total)
    : label_(label), total_(total), visible_(stderr_is_terminal()) {
    update(0);
}

progress_bar::~progress_bar() {
    // The bar stays where the work stopped: full after success, short of it after a failure.
    if (visible_) std::fputc('\n', stderr);
}

void progress_bar::update(uint64_t done) {
    if (!visible_) return;
    const int permille = total_ ? static_cast<int>((done >= total_ ? total_ : done) * 1000 / total_) : 1000;
    // Redrawing only on a visible change keeps the terminal traffic small.
    if (permille == shown_permille_) return;
    shown_permille_ = permille;
    const int filled = permille * bar_width / 1000;
    std::fprintf(stderr, "\r%s [%.*s%*s] %3d%%", label_.c_str(), filled, "########################################",
                 bar_width - filled, "", permille / 10);
    std::fflush(stderr);
}
