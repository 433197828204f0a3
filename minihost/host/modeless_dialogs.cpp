#include "minihost/host/modeless_dialogs.h"

#include <algorithm>

#include "host/modeless.h"

namespace minihost {
namespace {

class modeless_dialog_manager_impl : public modeless_dialog_manager {
public:
    explicit modeless_dialog_manager_impl(modeless_registry& registry) : registry_(registry) {}
    void add(host_window window) override { registry_.add(window); }
    void remove(host_window window) override { registry_.remove(window); }

private:
    modeless_registry& registry_;
};

}  // namespace

modeless_registry::modeless_registry() : service_(new service_impl_t<modeless_dialog_manager_impl>(*this)) {}

void modeless_registry::add(host_window window) {
    if (window != nullptr && std::find(windows_.begin(), windows_.end(), window) == windows_.end())
        windows_.push_back(window);
}

void modeless_registry::remove(host_window window) { std::erase(windows_, window); }

}  // namespace minihost
