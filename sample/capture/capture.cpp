#include "sample/capture/capture.h"

#include <optional>

#ifdef _WIN32
#include <objbase.h>
#else
#include <random>
#endif

#include "helpers/client.h"
#include "helpers/console.h"
#include "host/service_lookup.h"
#include "host/shared.h"
#include "sample/commands/capture_state.h"

namespace ambrel {
namespace {

// The capture's state. No lock: the host hands chunks over one at a time and never after the
// callback is unregistered, and stop unregisters before it closes the file.
struct capture_state {
    std::string folder;
    playback_stream_capture_callback_impl callback;
    wav_file_writer writer;
    // A format the writer refused: not tried again until the stream's format changes or playback
    // stops, so a refused stream costs one console line, not one per chunk.
    std::optional<wav_writer_setup> refused;
};

capture_state& state() {
    static capture_state instance;
    return instance;
}

bool same_format(const wav_writer_setup& a, const wav_writer_setup& b) {
    return a.sample_rate == b.sample_rate && a.channels == b.channels && a.channel_mask == b.channel_mask;
}

GUID new_random_guid() {
    GUID guid{};
#ifdef _WIN32
    if (FAILED(CoCreateGuid(&guid))) throw zorb::exception("No new GUID for the capture file's name");
#else
    std::random_device random;
    guid.Data1 = random();
    guid.Data2 = static_cast<uint16_t>(random());
    guid.Data3 = static_cast<uint16_t>((random() & 0x0FFF) | 0x4000);
    for (uint8_t& byte : guid.Data4) byte = static_cast<uint8_t>(random());
    guid.Data4[0] = static_cast<uint8_t>((guid.Data4[0] & 0x3F) | 0x80);
#endif
    return guid;
}

service_ptr_t<playback_stream_capture> capture_service() {
    return service_lookup_one_t<playback_stream_capture>(host());
}

}  // namespace

bool host_is_shutting_down() {
    if (host_services_initialised()) return host().is_shutting_down();
    return host_services_were_initialised();
}

std::string new_capture_path(const std::string& folder) {
    std::string path = folder;
    if (path.empty() || path.back() != '\\') path += '\\';
    // The GUID's text without its braces.
    return path + "capture-" + host_guid::to_text(new_random_guid()).substr(1, 36) + ".wav";
}

void playback_stream_capture_callback_impl::on_chunk(const audio_chunk& chunk) {
    capture_state& capture = state();
    abort_callback_dummy abort;
    try {
        const wav_writer_setup setup = capture_setup_of(chunk);
        if (capture.writer.is_open() && !same_format(capture.writer.setup(), setup)) capture.writer.close(abort);
        if (!capture.writer.is_open()) {
            if (host_is_shutting_down()) return;
            if (capture.refused && same_format(*capture.refused, setup)) return;
            // Checked before the file is made, so a refused format leaves no empty file behind.
            try {
                check_wav_format(setup);
            } catch (const velmora_io::exception_io_data&) {
                capture.refused = setup;
                throw;
            }
            capture.refused.reset();
            service_ptr_t<file> out = filesystem::g_open(host(), new_capture_path(capture.folder).c_str(),
                                                         filesystem::open_mode_write_new, abort);
            capture.writer.open(out, setup, abort);
        }
        capture.writer.write(chunk, abort);
    } catch (const std::exception& failure) {
        console_print(std::string("Playback stream capture error: ") + failure.what());
    }
}

void capture_start(const std::string& folder) {
    if (capture_active() || host_is_shutting_down()) return;
    capture_state& capture = state();
    capture.folder = folder;
    capture.refused.reset();
    set_capture_active(true);
    capture_service()->add_callback(&capture.callback);
}

void capture_stop() {
    if (!capture_active()) return;
    capture_state& capture = state();
    set_capture_active(false);
    capture_service()->remove_callback(&capture.callback);
    abort_callback_dummy abort;
    capture.writer.close(abort);
}

void capture_close_file() {
    if (!capture_active()) return;
    capture_state& capture = state();
    capture.refused.reset();
    abort_callback_dummy abort;
    capture.writer.close(abort);
}

const std::string& capture_folder() { return state().folder; }

void capture_toggle() {
    if (!ModalDialog_CanCreateNew()) {
        ModalDialog_PokeExisting();
        return;
    }
    if (capture_active()) return capture_stop();
    zorb::string8 folder;
    folder.set_string(state().folder.c_str());
    bool chosen = false;
    {
        ModalDialog_Switch(true);
        struct leave {
            ~leave() { ModalDialog_Switch(false); }
        } switch_back;
        chosen = uBrowseForFolder(host().get_main_window(), "Choose output folder", folder);
    }
    if (chosen) capture_start(folder.get_ptr());
}

}  // namespace ambrel
