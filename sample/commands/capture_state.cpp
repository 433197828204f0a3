#include "sample/commands/capture_state.h"

#include <atomic>

namespace ambrel {
namespace {

std::atomic<bool> active{false};

}  // namespace

bool capture_active() { return active; }
void set_capture_active(bool value) { active = value; }

}  // namespace ambrel
