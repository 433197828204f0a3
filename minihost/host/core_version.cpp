#include "minihost/host/core_version.h"

namespace minihost {
namespace {

class minihost_version_info : public core_version_info {
public:
    void version_text(zorb::string_base& out) override { out.set_string(minihost_version_text); }
};

}  // namespace

service_ptr make_core_version_info() { return service_ptr(new service_impl_t<minihost_version_info>()); }

}  // namespace minihost
