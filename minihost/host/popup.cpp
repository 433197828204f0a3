#include "minihost/host/popup.h"

namespace minihost {
namespace {

class popup_message_impl : public popup_message {
public:
    explicit popup_message_impl(popup_router& router) : router_(router) {}
    void show(const char* message, size_t message_length, const char* title, size_t title_length,
              unsigned icon) override {
        router_.show(std::string(title, title_length), std::string(message, message_length), icon);
    }

private:
    popup_router& router_;
};

}  // namespace

popup_router::popup_router()
    : presenter_(print_popups(stdout)), service_(new service_impl_t<popup_message_impl>(*this)) {}

void popup_router::set_presenter(popup_presenter presenter) {
    std::lock_guard lock(mutex_);
    presenter_ = std::move(presenter);
}

void popup_router::show(const std::string& title, const std::string& message, unsigned icon) {
    popup_presenter presenter;
    {
        std::lock_guard lock(mutex_);
        presenter = presenter_;
    }
    if (presenter) presenter(title, message, icon);
}

popup_presenter print_popups(std::FILE* out) {
    return [out](const std::string& title, const std::string& message, unsigned) {
        const std::string line = "[popup] " + title + ": " + message + "\n";
        std::fwrite(line.data(), 1, line.size(), out);
        std::fflush(out);
    };
}

}  // namespace minihost
