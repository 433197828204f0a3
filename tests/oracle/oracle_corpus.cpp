#include "oracle_corpus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "peer_players.h"

namespace {

struct debian_package {
    const char* package;
    const char* directory;
    const char* extension;
    u32 format_id;
};

const debian_package debian_packages[] = {
    {"heroes-sound-tracks", "/usr/share/games/heroes/mod", ".xm", module_format_xm},
    {"gl-117-data", "/usr/share/games/gl-117/music", ".s3m", module_format_s3m},
    {"freedroid-data", "/usr/share/games/freedroid/sound", ".mod", module_format_mod},
};

std::string test_name(const std::string& file_name) {
    std::string name = file_name;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

}  // namespace

void PrintTo(const corpus_module& module, std::ostream* out) {
    *out << (module.path.empty() ? module.name : module.path);
}

std::vector<corpus_module> debian_modules() {
    std::vector<corpus_module> modules;
    for (const debian_package& package : debian_packages) {
        std::vector<std::filesystem::path> files;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(package.directory, error))
            if (entry.path().extension() == package.extension) files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        if (files.empty())
            modules.push_back(
                {"", package.package, package.format_id, test_name(std::string("missing_") + package.package)});
        for (const std::filesystem::path& file : files)
            modules.push_back({file.string(), package.package, package.format_id, test_name(file.filename().string())});
    }
    return modules;
}

std::vector<u8> read_module(const corpus_module& module) {
    if (module.path.empty()) {
        ADD_FAILURE() << "Debian package " << module.package << " is not installed (scripts/install-deps)";
        return {};
    }
    std::ifstream file(module.path, std::ios::binary);
    std::vector<u8> image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_FALSE(image.empty()) << module.path << " could not be read";
    return image;
}

peer_pass play_openmpt_first_pass(const std::vector<u8>& image) {
    peer_pass pass;
    openmpt_player player;
    if (!player.open(image.data(), image.size(), false)) return pass;
    pass.opened = true;
    pass.rows.push_back({0, player.order(), player.row()});
    int16_t block[peer_block_frames * 2];
    uint64_t frame = 0;
    for (;;) {
        size_t got = player.render(block, peer_block_frames);
        if (got == 0) break;
        pass.pcm.insert(pass.pcm.end(), block, block + got * 2);
        const peer_row& last = pass.rows.back();
        if (player.order() != last.order || player.row() != last.row)
            pass.rows.push_back({frame, player.order(), player.row()});
        frame += got;
    }
    // At the end of the pass libopenmpt moves on to the row where the song
    // would restart and renders a short tail of it before it stops; that row
    // is the start of the next pass, not part of this one.
    if (pass.rows.size() > 1) pass.rows.pop_back();
    return pass;
}

std::vector<int16_t> render_xmp(const std::vector<u8>& image, uint64_t frames) {
    std::vector<int16_t> pcm;
    xmp_player player;
    if (!player.open(image.data(), image.size())) return pcm;
    pcm.resize(2 * frames);
    if (player.render(pcm.data(), frames) != frames) pcm.clear();
    return pcm;
}

namespace {

void start_session(module_session& session, const std::vector<u8>& image) {
    i32 result = session.load(image.data(), image.size());
    EXPECT_EQ(result, 0) << "module_load refused the module";
    if (result == 0) session.start();
}

}  // namespace

std::vector<traced_row> trace_ours(const std::vector<u8>& image, uint64_t frames) {
    std::vector<traced_row> rows;
    module_session session;
    start_session(session, image);
    if (!session.context().loaded) return rows;
    bool advanced = trace_song(session, frames, [&](const traced_row& row) { rows.push_back(row); });
    EXPECT_TRUE(advanced) << "playback stopped advancing";
    return rows;
}

std::vector<int16_t> render_ours(const std::vector<u8>& image, uint64_t frames) {
    std::vector<int16_t> pcm;
    module_session session;
    start_session(session, image);
    if (!session.context().loaded) return pcm;
    pcm.reserve(frames * 2);
    render_song(session, frames,
                [&](const i16* stereo, size_t count) { pcm.insert(pcm.end(), stereo, stereo + count * 2); });
    return pcm;
}
