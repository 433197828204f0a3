// minihost's implementations of the host records the component fills (the information record and
// the audio chunk are the host interface's own: host/file_info_impl.h, host/audio_chunk_impl.h).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/audio_chunk_impl.h"
#include "host/file_info_impl.h"
#include "host/records.h"

namespace minihost {

// The chunk is the host interface's own record, as the information record is.
using ::audio_chunk_impl;

class mem_block_impl final : public mem_block_container {
public:
    void set_size(size_t bytes) override { bytes_.resize(bytes); }
    size_t get_size() const override { return bytes_.size(); }
    void* get_ptr() override { return bytes_.data(); }

private:
    std::vector<uint8_t> bytes_;
};

}  // namespace minihost
