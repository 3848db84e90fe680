#include "HalsenClient.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
halsen::Packet MakePacket(int command, int stamp, int kind, const std::string& body)
{
    halsen::Packet p;
    p.command = command;
    p.stamp = stamp;
    p.kind = kind;
    p.body = body;
    return p;
}

TEST(ClientPacketTest, EncodesBothFormsAndTheLongestBodyRule)
{
    const struct
    {
        size_t nBody;
        size_t nPacket;
        std::string lengthBytes;
    } cases[] = {
        {0, 13, std::string(1, '\0')},
        {254, 267, "\xFE"},
        {255, 270, std::string("\xFF\xFF\x00", 3)},
        {65533, 65548, "\xFF\xFD\xFF"},
        {65534, 13, std::string(1, '\0')},
        {100000, 13, std::string(1, '\0')},
    };
    for (const auto& c : cases)
    {
        const std::string wire = halsen::Encode(MakePacket(4100, 7, 2, std::string(c.nBody, 'x')));
        ASSERT_EQ(wire.size(), c.nPacket) << c.nBody;
        EXPECT_EQ(wire.substr(0, 12), std::string("\x04\x10\0\0\x07\0\0\0\x02\0\0\0", 12));
        EXPECT_EQ(wire.substr(12, c.lengthBytes.size()), c.lengthBytes) << c.nBody;
    }
}

TEST(ClientPacketTest, ReaderCutsAStreamFedByteByByte)
{
    const halsen::Packet sent[] = {
        MakePacket(4105, 0, 4, "hello buddy!"),
        MakePacket(4098, -3, 2, std::string(300, 'd')),
        MakePacket(4098, -3, 3, "800@Functional"),
        MakePacket(65535, 1, 2, std::string(65533, 'e')),
    };
    std::string stream;
    for (const halsen::Packet& p : sent)
        stream += halsen::Encode(p);
    halsen::PacketReader reader;
    std::vector<halsen::Packet> got;
    for (char c : stream)
    {
        reader.Feed(&c, 1);
        halsen::Packet p;
        while (reader.Next(p) == halsen::PacketReader::kPacket)
            got.push_back(p);
    }
    ASSERT_EQ(got.size(), 4u);
    for (size_t i = 0; i < got.size(); ++i)
    {
        EXPECT_EQ(got[i].command, sent[i].command);
        EXPECT_EQ(got[i].stamp, sent[i].stamp);
        EXPECT_EQ(got[i].kind, sent[i].kind);
        EXPECT_EQ(got[i].body, sent[i].body);
    }
    EXPECT_EQ(reader.Buffered(), 0u);
}

TEST(ClientPacketTest, ReaderRefusesALongFormThatFitsTheShortOne)
{
    halsen::PacketReader reader;
    const std::string bad = std::string(12, '\0') + std::string("\xFF\x05\x00", 3) + "abcde";
    reader.Feed(bad.data(), bad.size());
    halsen::Packet p;
    EXPECT_EQ(reader.Next(p), halsen::PacketReader::kMalformed);
}

TEST(ClientTextTest, CommandsRepliesAndAnnouncements)
{
    EXPECT_EQ(halsen::CommandCode("access"), 4097);
    EXPECT_EQ(halsen::CommandCode("ping"), 4105);
    EXPECT_EQ(halsen::CommandCode("4100"), 4100);
    EXPECT_EQ(halsen::CommandCode("PING"), -1);
    EXPECT_EQ(halsen::CommandCode("41a"), -1);
    EXPECT_EQ(halsen::CommandCode(""), -1);
    EXPECT_EQ(halsen::CommandName(4104), "close");
    EXPECT_EQ(halsen::CommandName(8195), "8195");

    EXPECT_EQ(halsen::ReplyCode(MakePacket(1, 0, 3, "803@Not found")), 803);
    EXPECT_EQ(halsen::ReplyCode(MakePacket(1, 0, 3, "hello")), -1);
    EXPECT_EQ(halsen::ReplyCode(MakePacket(1, 0, 3, "@x")), -1);

    EXPECT_EQ(halsen::Describe(MakePacket(4100, 0, 2, "name@pr-@db01")), "data    name@pr-@db01");
    EXPECT_EQ(halsen::Describe(MakePacket(4100, 0, 3, "803@Not found")), "done    803@Not found");
    EXPECT_EQ(halsen::Describe(MakePacket(4104, 0, 4, "")), "notice  close");
    EXPECT_EQ(halsen::Describe(MakePacket(8195, 5, 4, "\\A@x")), "notice  8195 \\A@x");

    std::string host;
    EXPECT_TRUE(halsen::ParseAnnouncement("TAVRINE_RAID#db01#Hello World!", host));
    EXPECT_EQ(host, "db01");
    EXPECT_TRUE(halsen::ParseAnnouncement("TAVRINE_RAID##Hello World!", host));
    EXPECT_EQ(host, "");
    EXPECT_FALSE(halsen::ParseAnnouncement("TAVRINE_HALSEN#db01#Hello World!", host));
    EXPECT_FALSE(halsen::ParseAnnouncement("TAVRINE_RAID#db01", host));
}
} // namespace
