#include "ByteOrder.h"

#include <gtest/gtest.h>

using namespace quillmark;

namespace {
tEndInd Block(std::string bytes, bool bigEndian) {
    tEndInd b;
    b.SetData(std::move(bytes));
    b.BigEndian = bigEndian;
    return b;
}
} // namespace

TEST(ByteOrder, ReadersFollowTheDeclaredOrder) {
    auto ii = Block(std::string("\x01\x02\x03\x04", 4), false);
    auto mm = Block(std::string("\x01\x02\x03\x04", 4), true);
    EXPECT_EQ(ii.Read16(1), 0x0201);
    EXPECT_EQ(mm.Read16(1), 0x0102);
    EXPECT_EQ(ii.Read32(1), 0x04030201);
    EXPECT_EQ(mm.Read32(1), 0x01020304);
    EXPECT_EQ(mm.Read16(3), 0x0304);
}

TEST(ByteOrder, ReadsOutsideTheBufferAreRefused) {
    auto b = Block("abcd", true);
    EXPECT_THROW(b.Read16(4), ReadError);
    EXPECT_THROW(b.Read16(0), ReadError);
    EXPECT_THROW(b.Read16(-5), ReadError);
    EXPECT_THROW(b.Read32(2), ReadError);
    EXPECT_THROW(b.Read32(INT64_MAX - 1), ReadError);
    EXPECT_NO_THROW(b.Read32(1));
    // Value bytes: only those that exist, none before the start or past the end.
    EXPECT_EQ(b.Bytes(3, 10), "cd");
    EXPECT_EQ(b.Bytes(5, 1), "");
    EXPECT_EQ(b.Bytes(0, 3), "");
    EXPECT_EQ(b.Bytes(-100, 200), "");
    EXPECT_EQ(b.Bytes(1, INT64_MAX), "abcd");
}

TEST(ByteOrder, BytesToIntKeepsTheLow32BitsWithoutSignExtension) {
    EXPECT_EQ(BytesToInt(std::string("\x01\x00\x00\x00\x00", 5), true), 0);
    EXPECT_EQ(BytesToInt(std::string("\x00\x00\x00\x00\x01", 5), false), 0);
    EXPECT_EQ(BytesToInt(std::string("\x01\x00\x00\x00\x05", 5), true), 5);
    EXPECT_EQ(BytesToInt("\xFF\xFF", true), 65535);
    EXPECT_EQ(BytesToInt("\xFF\xFF\xFF\xFF", false), -1);
    EXPECT_EQ(BytesToInt("", true), 0);
    EXPECT_EQ(BytesToInt(std::string("\x12\x34", 2), false), 0x3412);
}

TEST(ByteOrder, ComponentSizesAndNumbers) {
    const int sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    for (int t = 0; t <= 12; ++t)
        EXPECT_EQ(ComponentSize(t), sizes[t]) << t;
    EXPECT_EQ(ComponentSize(13), 0);
    EXPECT_EQ(ComponentSize(65535), 0);
    EXPECT_EQ(ComponentSize(-1), 0);

    const std::string r0(8, '\0');
    EXPECT_EQ(ValueAsNumber(r0, ttRational, true), 0.0);
    EXPECT_EQ(ValueAsNumber(std::string("\0\0\0\x05\0\0\0\0", 8), ttRational, true), 0.0);
    EXPECT_DOUBLE_EQ(ValueAsNumber(std::string("\0\0\0\x47\0\0\0\x0A", 8), ttRational, true), 7.1);
    // A negative SRATIONAL numerator comes out negative; a RATIONAL of 2^31 or more does too.
    EXPECT_DOUBLE_EQ(ValueAsNumber(std::string("\xFF\xFF\xFF\xFF\0\0\0\x02", 8), ttSRational, true), -0.5);
    EXPECT_DOUBLE_EQ(ValueAsNumber(std::string("\x80\0\0\0\0\0\0\x01", 8), ttRational, true), -2147483648.0);
    // Several integer components combine into one integer.
    EXPECT_EQ(ValueAsNumber(std::string("\x00\x01\x00\x02", 4), ttShort, true), 65538.0);
    EXPECT_EQ(ValueAsNumber("Canon", ttAscii, true), 0.0);
    EXPECT_EQ(ValueAsNumber("1234", ttUndefined, true), 0.0);
    EXPECT_EQ(ValueAsNumber("1234", 99, true), 0.0);
    EXPECT_EQ(ValueAsNumber("\x01", ttRational, true), 0.0); // truncated rational
}

TEST(ByteOrder, RoundingIsToEvenAndClamped) {
    EXPECT_EQ(RoundToInt(2.5), 2);
    EXPECT_EQ(RoundToInt(3.5), 4);
    EXPECT_EQ(RoundToInt(-2.5), -2);
    EXPECT_EQ(RoundToInt(1e300), INT32_MAX);
    EXPECT_EQ(RoundToInt(-1e300), INT32_MIN);
}
