#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

#include "commands.h"
#include "peer_players.h"

namespace {

const char* const bench_usage = "bench [--seconds N] [--rounds N] [--length] FILE...";
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

// Each round repeats the pass for at least this long, so that short passes are timed
// well above the clock's resolution.
constexpr double length_round_seconds = 0.02;

// Microseconds of one length pass, the best of `rounds` rounds; negative when it fails.
double time_length_pass(const module_session& session, int rounds, module_pass& pass) {
    double best = -1;
    for (int round = 0; round < rounds; ++round) {
        int passes = 0;
        bench_clock::time_point begin = bench_clock::now();
        double elapsed = 0;
        do {
            if (session.measure(pass) < 0) return -1;
            ++passes;
            elapsed = std::chrono::duration<double>(bench_clock::now() - begin).count();
        } while (elapsed < length_round_seconds);
        double each = elapsed / passes * 1e6;
        if (best < 0 || each < best) best = each;
    }
    return best;
}

// Microseconds of a seek to the end of the first pass (the longest silent run), the best
// of `rounds`; negative when it fails.
double time_seek_to_end(module_session& session, int rounds, uint64_t frames) {
    double best = -1;
    for (int round = 0; round < rounds; ++round) {
        bench_clock::time_point begin = bench_clock::now();
        if (session.seek(frames) < 0) return -1;
        double micros = std::chrono::duration<double>(bench_clock::now() - begin).count() * 1e6;
        if (best < 0 || micros < best) best = micros;
    }
    return best;
}

struct timing_summary {
    std::vector<double> times;
    double worst = -1;
    std::string worst_path;

    void add(double micros, const std::string& path) {
        times.push_back(micros);
        if (micros > worst) {
            worst = micros;
            worst_path = path;
        }
    }
    void print(const char* name) const {
        if (times.empty()) return;
        std::printf("median %s=%.1f worst %s=%.1f (%s) over %zu modules\n", name, median(times), name, worst,
                    worst_path.c_str(), times.size());
    }
};

// The length pass of every file, and a seek to the end of its first pass: their times,
// and the median and worst over all of them.
int bench_length(const command_options& options) {
    timing_summary lengths, seeks;
    int status = 0;
    for (const std::string& path : options.files) {
        module_session session;
        if (load_module_file(path, session) != 0) {
            status = 1;
            continue;
        }
        module_pass pass;
        double micros = time_length_pass(session, options.rounds, pass);
        if (micros < 0) {
            std::fprintf(stderr, "%s: cannot measure the song\n", path.c_str());
            status = 1;
            continue;
        }
        session.start();
        double seek_micros = time_seek_to_end(session, options.rounds, pass.frames);
        std::printf("%s length_us=%.1f seek_to_end_us=%.1f rows=%u duration=%.3f\n", path.c_str(), micros, seek_micros,
                    pass.rows, frames_to_seconds(pass.frames));
        std::fflush(stdout);
        lengths.add(micros, path);
        if (seek_micros >= 0) seeks.add(seek_micros, path);
    }
    lengths.print("length_us");
    seeks.print("seek_to_end_us");
    return status;
}

}  // namespace

int command_bench(const argument_list& arguments) {
    command_options options;
    options.seconds = default_bench_seconds;
    options.rounds = default_bench_rounds;
    if (!parse_command_options(arguments, option_seconds | option_rounds | option_length, bench_usage, options))
        return 2;
    if (options.length) return bench_length(options);
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
