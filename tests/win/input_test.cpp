// The module input of kiv_ambrel.dll, loaded the way velmora loads it, under Wine.
#include <gtest/gtest.h>

#include "host/service_lookup.h"
#include "minihost/host/input_registry.h"
#include "tests/win/component_run.h"

namespace {

using namespace test_support;

// The Debian game music that the tests decode besides the demo songs (drive Z: is the Unix root).
const char* const debian_module_folders[] = {"Z:/usr/share/games/heroes/mod", "Z:/usr/share/games/gl-117/music",
                                             "Z:/usr/share/games/freedroid/sound"};
// Seconds of every module that the native build renders as reference (the Makefile's reference-pcm).
constexpr size_t reference_seconds = 60;

std::vector<std::string> reference_modules() {
    std::vector<std::string> modules = {demo_song("demo.mod"), demo_song("demo.s3m"), demo_song("demo.xm")};
    for (const char* folder : debian_module_folders) {
        std::vector<std::string> found;
        std::error_code error;
        for (const auto& item : std::filesystem::directory_iterator(folder, error)) {
            const std::string extension = item.path().extension().string();  // as the Makefile's, in lower case
            if (extension == ".mod" || extension == ".s3m" || extension == ".xm")
                found.push_back(std::string(folder) + "/" + item.path().filename().string());
        }
        std::sort(found.begin(), found.end());
        modules.insert(modules.end(), found.begin(), found.end());
    }
    return modules;
}

// The component in a started host, and the input it registers.
class InputDll : public component_dll_test {
protected:
    // The host has an input of its own for WAV files; the module input is the one for modules.
    InputDll() { entry = minihost::input_registry(host).find("song.mod").query_as<input_entry_v3>(); }
    service_ptr_t<input_decoder> open_decoder(const std::string& path) {
        service_ptr_t<input_decoder> decoder;
        entry->open_for_decoding(decoder, {}, path.c_str(), abort);
        return decoder;
    }

    minihost::host& host = run.host;
    service_ptr_t<input_entry_v3> entry;
    abort_callback_dummy abort;
};

// Each failure reaches the host with its text, creates no instance and leaves the file alone.
TEST_F(InputDll, FailuresCrossTheBoundaryWithTheirTextsAndChangeNothing) {
    const std::string path = folder.file("demo.xm");
    write_bytes(path, read_bytes(demo_song("demo.xm")));
    const bytes_t before = read_bytes(path);
    minihost::input_registry inputs(host);
    service_ptr_t<input_info_writer> writer = inputs.open_for_info_write(path, abort);
    service_ptr_t<input_decoder_v2> decoder = open_decoder(path).query_as<input_decoder_v2>();
    service_ptr_t<input_info_reader> reader = inputs.open_for_info_read(path, abort);
    file_info_impl info;
    info.meta_add("title", "changed");
    minihost::audio_chunk_impl chunk;
    minihost::mem_block_impl raw;
    const std::pair<std::function<void()>, const char*> failures[] = {
        {[&] { reader->read_info(1, info, abort); }, "Unexpected subsong index"},
        {[&] { writer->write_info(0, info, abort); }, "Unsupported file format"},
        {[&] { decoder->run_with_raw(chunk, raw, abort); }, "Feature not implemented"},
    };
    for (const auto& [call, text] : failures) EXPECT_EQ(failure_text(call), text);
    EXPECT_EQ(info.info().size(), 0u);
    writer->finish_write(abort);
    writer.reset();
    EXPECT_EQ(read_bytes(path), before);

    // A file no loader takes fails at open; the failed open closed the file, which can go at once.
    const std::string bad = folder.file("header-only.xm");
    write_bytes(bad, bytes_t(before.begin(), before.begin() + 100));
    service_ptr_t<input_decoder> no_decoder;
    service_ptr_t<input_info_reader> no_reader;
    EXPECT_EQ(failure_text([&] { entry->open_for_decoding(no_decoder, {}, bad.c_str(), abort); }) + ", " +
                  failure_text([&] { entry->open_for_info_read(no_reader, {}, bad.c_str(), abort); }),
              "Unsupported file format, Unsupported file format");
    EXPECT_FALSE(no_decoder || no_reader);
    EXPECT_TRUE(std::filesystem::remove(native_path(bad)));
}

// The native build's `ambrel render` output of every module, converted to float, is exactly what
// the host receives from the DLL: the module library gives the same bits in both builds.
TEST_F(InputDll, DecodedAudioEqualsTheNativeRenderSampleForSample) {
    const std::string reference_folder = beside_executable("../reference-pcm/");
    const size_t frames = reference_seconds * 44100;
    minihost::input_registry inputs(host);
    size_t compared = 0;
    for (const std::string& module : reference_modules()) {
        const std::string name = module.substr(module.find_last_of('/') + 1);
        const std::vector<uint8_t> reference = read_bytes(reference_folder + name + ".pcm");
        ASSERT_EQ(reference.size(), frames * 4) << name << ": no reference PCM; `make reference-pcm` writes it";
        service_ptr_t<input_decoder> decoder = inputs.open_for_decoding(module, abort);
        const std::vector<float> decoded = decode_blocks(*decoder, (frames + 1023) / 1024);
        size_t mismatches = 0, first_mismatch = 0;
        for (size_t i = 0; i < frames * 2; ++i) {
            const auto expected = int16_t(reference[2 * i] | reference[2 * i + 1] << 8);
            if (decoded[i] * 32768.0f != float(expected) && mismatches++ == 0) first_mismatch = i;
        }
        EXPECT_EQ(mismatches, 0u) << name << ": first at sample " << first_mismatch;
        ++compared;
    }
    EXPECT_GE(compared, 3u + 13 + 8 + 8);  // the demo songs and the three packages' modules
}

}  // namespace
