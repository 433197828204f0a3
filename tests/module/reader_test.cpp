// The bounded reader through which every loader reads its file.
#include <gtest/gtest.h>

#include <vector>

#include "reader.h"

namespace {

const u8 image[6] = {0x01, 0x02, 0x03, 0x04, 0x05, 0xF6};

TEST(ByteReader, ReadsBothByteOrdersAndZerosPastTheEnd) {
    byte_reader file(image, sizeof image);
    EXPECT_EQ(file.u16le(), 0x0201);
    EXPECT_EQ(file.u16be(), 0x0304);
    EXPECT_EQ(file.u8le(), 0x05);
    EXPECT_EQ(file.i8le(), -10);
    EXPECT_FALSE(file.failed());
    EXPECT_EQ(file.u8le(), 0);
    EXPECT_TRUE(file.failed());
    file.seek(3);
    EXPECT_EQ(file.u32le(), 0x00F60504u);  // the missing byte reads as zero

    byte_reader copy(image, sizeof image);
    u8 bytes[4] = {9, 9, 9, 9};
    copy.seek(4);
    EXPECT_EQ(copy.copy_available(bytes, 4), 2u);  // what is there, without failing
    EXPECT_FALSE(copy.failed());
    copy.seek(4);
    copy.bytes(bytes, 4);
    EXPECT_EQ(std::vector<u8>(bytes, bytes + 4), (std::vector<u8>{0x05, 0xF6, 0, 0}));
    EXPECT_TRUE(copy.failed());
    EXPECT_FALSE(copy.matches(5, "\xF6\x00", 2));
    EXPECT_EQ(copy.byte_at(6), 0);
}

// Offsets are 64-bit: one past 4 GiB must not wrap to the start of the image.
constexpr uint64_t beyond_32_bits = (uint64_t{1} << 32) + 1;

TEST(ByteReader, MovesAndSubReadersStayInsideTheImage) {
    const struct {
        bool skip;        // else seek
        uint64_t amount;  // offset or count, from position 2
        bool moved;
        size_t position;
    } moves[] = {
        {false, 6, true, 6}, {false, 7, false, 6}, {false, beyond_32_bits, false, 6},
        {true, 4, true, 6},  {true, 5, false, 6},  {true, beyond_32_bits, false, 6},
        {true, 0, true, 2},  {false, 0, true, 0},
    };
    for (const auto& move : moves) {
        byte_reader file(image, sizeof image);
        file.seek(2);
        EXPECT_EQ(move.skip ? file.skip(move.amount) : file.seek(move.amount), move.moved) << move.amount;
        EXPECT_EQ(file.position(), move.position) << move.amount;
        EXPECT_EQ(file.failed(), !move.moved) << move.amount;
    }

    const struct {
        uint64_t offset, count;
        bool held;
        std::vector<u8> read;  // the sub-reader's bytes
    } windows[] = {
        {2, 3, true, {0x03, 0x04, 0x05}},
        {4, 10, false, {0x05, 0xF6}},
        {6, 0, true, {}},
        {7, 0, false, {}},
        {beyond_32_bits, 1, false, {}},
        {2, UINT64_MAX, false, {0x03, 0x04, 0x05, 0xF6}},
    };
    const byte_reader file(image, sizeof image);
    for (const auto& window : windows) {
        EXPECT_EQ(file.holds(window.offset, window.count), window.held) << window.offset << "+" << window.count;
        byte_reader part = file.sub_reader(window.offset, window.count);
        std::vector<u8> read;
        while (part.remaining()) read.push_back(part.u8le());
        EXPECT_EQ(read, window.read) << window.offset << "+" << window.count;
        part.u8le();
        EXPECT_TRUE(part.failed());  // the end of the window is an end
    }
}

}  // namespace
