#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

#include "commands.h"
#include "peer_players.h"

namespace {

const char* const bench_usage = "bench [--seconds N] [--rounds N] FILE...";
constexpr double default_bench_seconds = 300;
constexpr int default_bench_rounds = 3;

typedef std::chrono::steady_clock bench_clock;

// Seconds spent rendering `frames` frames through one player, loading excluded;
// negative when the player refuses the file.
typedef std::function<double(const std::vector<u8>& image, uint64_t frames)> timed_render;

// Pulls `frames` frames from `render` in 1024-frame blocks, the size the module input asks for.
template <typename render_block>
double time_blocks(uint64_t frames, render_block render) {
    std::vector<i16> block(module_session::chunk_frames * 2);
    bench_clock::time_point begin = bench_clock::now();
    for (uint64_t done = 0; done < frames; done += module_session::chunk_frames)
        if (render(block.data()) == 0) return -1;
    return std::chrono::duration<double>(bench_clock::now() - begin).count();
}

double time_ambrel(const std::vector<u8>& image, uint64_t frames) {
    module_session session;
    if (session.load(image.data(), image.size()) != 0) return -1;
    session.start();
    return time_blocks(frames, [&](i16* block) {
        session.render_chunk(block);
        return module_session::chunk_frames;
    });
}

double time_openmpt(const std::vector<u8>& image, uint64_t frames) {
    openmpt_player player;
    if (!player.open(image.data(), image.size(), true)) return -1;
    return time_blocks(frames, [&](i16* block) { return player.render(block, module_session::chunk_frames); });
}

double time_xmp(const std::vector<u8>& image, uint64_t frames) {
    xmp_player player;
    if (!player.open(image.data(), image.size())) return -1;
    return time_blocks(frames, [&](i16* block) { return player.render(block, module_session::chunk_frames); });
}

struct bench_player {
    const char* name;
    timed_render render;
    std::vector<double> speeds;  // times faster than real time, one per file it played
};

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int command_bench(const argument_list& arguments) {
    command_options options;
    options.seconds = default_bench_seconds;
    options.rounds = default_bench_rounds;
    if (!parse_command_options(arguments, option_seconds | option_rounds, bench_usage, options)) return 2;
    uint64_t frames = seconds_to_frames(options.seconds);
    bench_player players[] = {{"ambrel", time_ambrel, {}}, {"openmpt", time_openmpt, {}}, {"xmp", time_xmp, {}}};
    int status = 0;
    for (const std::string& path : options.files) {
        std::vector<u8> image;
        if (!read_whole_file(path, image)) {
            status = 1;
            continue;
        }
        // The players take turns within each round, so that a slow spell of a
        // shared machine hits all of them; the best round counts.
        double best[std::size(players)];
        std::fill(std::begin(best), std::end(best), -1.0);
        for (int round = 0; round < options.rounds; ++round)
            for (size_t p = 0; p < std::size(players); ++p) {
                double elapsed = players[p].render(image, frames);
                if (elapsed > 0 && (best[p] < 0 || elapsed < best[p])) best[p] = elapsed;
            }
        std::printf("%s", path.c_str());
        for (size_t p = 0; p < std::size(players); ++p) {
            if (best[p] < 0) {
                std::printf(" %s_x=-", players[p].name);
                continue;
            }
            double speed = options.seconds / best[p];
            players[p].speeds.push_back(speed);
            std::printf(" %s_x=%.1f", players[p].name, speed);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    double ours = median(players[0].speeds);
    std::printf("median");
    for (const bench_player& player : players) std::printf(" %s_x=%.1f", player.name, median(player.speeds));
    for (size_t p = 1; p < std::size(players); ++p) {
        double theirs = median(players[p].speeds);
        if (theirs > 0) std::printf(" ambrel/%s=%.2f", players[p].name, ours / theirs);
    }
    std::printf("\n");
    return status;
}
