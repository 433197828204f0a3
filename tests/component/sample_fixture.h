// What the tests of the sample services and of minihost's player and library share: a host that
// starts the component in-process, WAV files written by the test, tracks as the host reads them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "minihost/host/context_menu.h"
#include "minihost/host/filesystem.h"
#include "minihost/host/host.h"
#include "minihost/host/main_menu.h"
#include "minihost/host/menu_tree.h"
#include "tests/component/host_fixture.h"
#include "tests/component/input_fixture.h"
#include "tests/component/wave_builder.h"

extern "C" velmora_client* velmora_get_interface(host_api* api, void* module);

namespace test_support {

using tags_t = std::vector<std::pair<std::string, std::string>>;

inline void start_component(minihost::host& host) { host.start({velmora_get_interface, nullptr, "kiv_ambrel.dll"}); }

// "<lead>-<test name>": a scratch folder of the running test's own.
inline std::string test_folder_name(const std::string& lead) {
    return lead + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

// Writes a 16-bit WAV file of `samples` (interleaved) with `tags` at `path`, its folder made; returns the path.
inline std::string write_wav(const std::string& path, const wave_shape& shape, const std::vector<int64_t>& samples,
                             const tags_t& tags = {}) {
    std::filesystem::create_directories(native_path(path).parent_path());
    write_bytes(path, wave_file(shape, integer_samples(shape, samples), tags));
    return path;
}

inline std::string write_wav(const std::string& path, const std::vector<int64_t>& samples, const tags_t& tags = {}) {
    return write_wav(path, wave_shape{}, samples, tags);
}

// A test with a host of its own in a scratch folder of its own, the component started.
class component_test : public ::testing::Test {
protected:
    explicit component_test(const std::string& lead) : folder(test_folder_name(lead)) {}
    void SetUp() override { start_component(host); }
    // A file of `bytes` in the scratch folder; its path.
    std::string put(const std::string& name, const bytes_t& bytes) {
        write_bytes(folder.file(name), bytes);
        return folder.file(name);
    }
    // A 16-bit WAV file of `frames` frames of a quiet ramp in the scratch folder; its path.
    std::string ramp_wav(const std::string& name, unsigned channels, uint32_t rate, size_t frames) {
        std::vector<int64_t> values(frames * channels);
        for (size_t i = 0; i < values.size(); ++i) values[i] = int64_t(i % 200) * 50 - 5000;
        return write_wav(folder.file(name), wave_shape{.channels = channels, .rate = rate}, values);
    }

    scratch_folder folder;
    minihost::host host{folder.file("config.bin")};
};

// Runs the context-menu item at `path` on `selection`, as the host's menu does.
inline void run_context_item(minihost::host& host, const std::string& path, const metadb_handle_list& selection) {
    const minihost::menu_node menu = minihost::build_context_menu(host, selection, contextmenu_caller_playlist);
    minihost::run_menu_command(minihost::find_menu_command(menu, path, "item"), path);
}

// Runs the main-menu command at `path`, as the host's menu does.
inline void run_main_command(minihost::host& host, const std::string& path) {
    minihost::run_menu_command(minihost::find_menu_command(minihost::build_main_menu(host), path, "command"), path);
}

// The lines of `console` that start with `lead`.
inline std::vector<std::string> lines_starting(capture_console& console, const std::string& lead) {
    std::vector<std::string> found;
    for (const std::string& line : console.lines())
        if (line.starts_with(lead)) found.push_back(line);
    return found;
}

// The tracks of the file at `path` as the host reads them, with their information.
inline metadb_handle_list added_tracks(minihost::host& host, const std::string& path) {
    abort_callback_dummy abort;
    std::string failure;
    return host.tracks().add_file(minihost::canonical_track_path(path), abort, failure);
}

}  // namespace test_support
