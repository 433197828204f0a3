// Builds without a window system have no dialog: the start preset is reported, as when the
// dialog cannot be created.
#include "sample/dsp/dsp_popup.h"

namespace ambrel {

void run_dsp_popup(const dsp_preset& preset, host_window, preset_edit_callback& callback) {
    callback.on_preset_changed(preset);
}

}  // namespace ambrel
