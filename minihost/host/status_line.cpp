#include "minihost/host/status_line.h"

#include <cstdio>

#include "host/ui_control.h"

namespace minihost {
namespace {

class ui_control_impl : public ui_control {
public:
    explicit ui_control_impl(status_line& line) : line_(line) {}
    void override_status_text(const char* text) override { line_.override_text(text != nullptr ? text : ""); }
    void revert_status_text() override { line_.revert(); }

private:
    status_line& line_;
};

}  // namespace

status_line::status_line() : service_(new service_impl_t<ui_control_impl>(*this)) {}

void status_line::override_text(const std::string& text) {
    if (text == override_) return;
    override_ = text;
    std::printf("[status] %s\n", text.c_str());
    std::fflush(stdout);
}

void status_line::revert() { override_.clear(); }

}  // namespace minihost
