// The system's wave output: blocks of 16-bit audio queued to the first wave device.
#include <windows.h>

#include <mmsystem.h>

#include <array>
#include <vector>

#include "host/exceptions.h"
#include "minihost/host/playback.h"

namespace minihost {
namespace {

class wave_output final : public audio_output {
public:
    wave_output() : done_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~wave_output() override {
        close();
        CloseHandle(done_);
    }

    void write(const int16_t* samples, size_t frames, unsigned rate, unsigned channels) override {
        if (device_ == nullptr || rate != rate_ || channels != channels_) open(rate, channels);
        block& free = free_block();
        free.samples.assign(samples, samples + frames * channels);
        free.header = {};
        free.header.lpData = reinterpret_cast<LPSTR>(free.samples.data());
        free.header.dwBufferLength = static_cast<DWORD>(free.samples.size() * sizeof(int16_t));
        waveOutPrepareHeader(device_, &free.header, sizeof free.header);
        if (waveOutWrite(device_, &free.header, sizeof free.header) != MMSYSERR_NOERROR)
            throw velmora_io::exception_io("The wave output refused a block");
        free.queued = true;
    }
    void pause(bool paused) override {
        if (device_) paused ? waveOutPause(device_) : waveOutRestart(device_);
    }
    void flush() override {
        if (device_) waveOutReset(device_);
        release_done();
    }

private:
    struct block {
        WAVEHDR header{};
        std::vector<int16_t> samples;
        bool queued = false;
    };

    void open(unsigned rate, unsigned channels) {
        close();
        WAVEFORMATEX format{};
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.nChannels = static_cast<WORD>(channels);
        format.nSamplesPerSec = rate;
        format.wBitsPerSample = 16;
        format.nBlockAlign = static_cast<WORD>(2 * channels);
        format.nAvgBytesPerSec = rate * format.nBlockAlign;
        if (waveOutOpen(&device_, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(done_), 0, CALLBACK_EVENT) !=
            MMSYSERR_NOERROR) {
            device_ = nullptr;
            throw velmora_io::exception_io("The wave output cannot play this format");
        }
        rate_ = rate;
        channels_ = channels;
    }
    void close() {
        if (device_ == nullptr) return;
        waveOutReset(device_);
        release_done();
        waveOutClose(device_);
        device_ = nullptr;
    }
    // Unprepares the blocks the device has played.
    void release_done() {
        for (block& each : blocks_)
            if (each.queued && (each.header.dwFlags & WHDR_DONE)) {
                waveOutUnprepareHeader(device_, &each.header, sizeof each.header);
                each.queued = false;
            }
    }
    // A block the device is not playing, waiting for one while every block is queued.
    block& free_block() {
        for (;;) {
            release_done();
            for (block& each : blocks_)
                if (!each.queued) return each;
            WaitForSingleObject(done_, 1000);
        }
    }

    HANDLE done_;
    HWAVEOUT device_ = nullptr;
    unsigned rate_ = 0, channels_ = 0;
    std::array<block, 8> blocks_;
};

}  // namespace

std::unique_ptr<audio_output> make_system_output() {
    if (waveOutGetNumDevs() == 0) return nullptr;
    return std::make_unique<wave_output>();
}

}  // namespace minihost
