#include "sim/sim_md5.h"

#include <gtest/gtest.h>

#include <string>

// The test suite of RFC 1321.
TEST(sim_md5, ReferenceSuite)
{
    EXPECT_EQ(sim_md5_hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(sim_md5_hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(sim_md5_hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(sim_md5_hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(sim_md5_hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(sim_md5_hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(sim_md5_hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

// Where the padding changes shape: the length field fits after the marker up to 55 bytes of tail,
// needs a second block from 56 on, and whole blocks are consumed before the tail.
TEST(sim_md5, PaddingBoundaries)
{
    const struct {
        size_t length;
        const char *digest;
    } cases[] = {
        {55, "ef1772b6dff9a122358552954ad0df65"},  {56, "3b0c8ac703f828b04c6c197006d17218"},
        {57, "652b906d60af96844ebd21b674f35e93"},  {63, "b06521f39153d618550606be297466d5"},
        {64, "014842d480b571495a4a0363793f7367"},  {65, "c743a45e0d2e6a95cb859adae0248435"},
        {119, "8a7bd0732ed6a28ce75f6dabc90e1613"}, {120, "5f61c0ccad4cac44c75ff505e1f1e537"},
        {1000000, "7707d6ae4e027c70eea2a935c2296f21"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(sim_md5_hex(std::string(c.length, 'a')), c.digest) << c.length << " bytes";
}

TEST(sim_md5, EveryByteValue)
{
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i);
    EXPECT_EQ(sim_md5_hex(bytes), "e2c865db4162bed963bfaa9ef6ac18f0");
}
