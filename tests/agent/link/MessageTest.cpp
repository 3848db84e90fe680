#include "CMessage.h"
#include "PacketForm.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

std::string Bytes(const CMessage& msg)
{
    return std::string(msg.GetBuf(), static_cast<size_t>(msg.GetLength()));
}

std::string Header(int command, int stamp, int kind, int nBody)
{
    unsigned char out[PacketForm::kLongHeader];
    PacketForm::WriteHeader(out, command, stamp, kind, nBody);
    return std::string(reinterpret_cast<char*>(out), static_cast<size_t>(PacketForm::HeaderSize(nBody)));
}

std::string Packet(int command, int stamp, int kind, const std::string& body)
{
    return Header(command, stamp, kind, static_cast<int>(body.size())) + body;
}

struct EncodeCase
{
    int nBody;
    int nPacket;
    std::string lengthBytes;
};

TEST(MessageTest, EncodesBothLengthFormsAtTheirBorders)
{
    const EncodeCase cases[] = {
        {0, 13, std::string(1, '\0')},
        {1, 14, "\x01"},
        {254, 267, "\xFE"},
        {255, 270, std::string("\xFF\xFF\x00", 3)},
        {256, 271, std::string("\xFF\x00\x01", 3)},
        {1009, 1024, std::string("\xFF\xF1\x03", 3)},
        {CString::kMaxLength, CString::kMaxLength + 15, "\xFF\xDF\xFF"},
    };
    for (const EncodeCase& c : cases)
    {
        CMessage msg;
        msg.m_nCommand = 4100;
        msg.m_nStamp = -2;
        msg.m_nType = CMessage::kFinish;
        msg.m_strBody = std::string(static_cast<size_t>(c.nBody), 'b').c_str();
        msg.MakePackage();
        const std::string wire = Bytes(msg);
        ASSERT_EQ(wire.size(), static_cast<size_t>(c.nPacket)) << c.nBody;
        EXPECT_EQ(wire.substr(0, 12), std::string("\x04\x10\0\0\xFE\xFF\xFF\xFF\x03\0\0\0", 12)) << c.nBody;
        EXPECT_EQ(wire.substr(12, c.lengthBytes.size()), c.lengthBytes) << c.nBody;
        EXPECT_EQ(wire.substr(12 + c.lengthBytes.size()), std::string(static_cast<size_t>(c.nBody), 'b'));
    }
}

// The largest body the length field carries is 65533 bytes; longer ones go
// as empty bodies.
TEST(MessageTest, LongestBodyRuleAndDeclaredLengths)
{
    EXPECT_EQ(PacketForm::WireBodyLength(65533), 65533);
    EXPECT_EQ(PacketForm::WireBodyLength(65534), 0);
    EXPECT_EQ(PacketForm::WireBodyLength(1L << 20), 0);

    const struct
    {
        int nBody;
        int nDeclared;
    } cases[] = {{0, 13}, {254, 267}, {255, 270}, {65533, 65548}};
    for (const auto& c : cases)
    {
        const std::string header = Header(1, 2, 3, c.nBody);
        EXPECT_EQ(PacketForm::PacketLength(reinterpret_cast<const unsigned char*>(header.data()),
                                           static_cast<int>(header.size())),
                  c.nDeclared)
            << c.nBody;
    }
}

TEST(MessageTest, DeclaredLengthNeedsTheWholeHeaderAndRefusesAWrongLongForm)
{
    const struct
    {
        std::string bytes;
        int expected;
    } cases[] = {
        {"", PacketForm::kNeedMore},
        {std::string(12, '\0'), PacketForm::kNeedMore},
        {std::string(12, '\0') + "\xFF", PacketForm::kNeedMore},
        {std::string(12, '\0') + "\xFF\x01", PacketForm::kNeedMore},
        {std::string(12, '\0') + std::string("\xFF\xFE\x00", 3), PacketForm::kMalformed},
        {std::string(12, '\0') + std::string("\xFF\x00\x00", 3), PacketForm::kMalformed},
        {std::string(12, '\0') + "\xFF\xFE\xFF", PacketForm::kMalformed},
        {std::string(12, '\0') + "\xFF\xFF\xFF", PacketForm::kMalformed},
        {std::string(12, '\0') + "\xFE", 13 + 254},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PacketForm::PacketLength(reinterpret_cast<const unsigned char*>(c.bytes.data()),
                                           static_cast<int>(c.bytes.size())),
                  c.expected)
            << c.bytes.size();
}

TEST(MessageTest, DecodesWordsKindsAndBodies)
{
    const struct
    {
        int command, stamp, kind;
        std::string body;
    } cases[] = {
        {4105, 0, CMessage::kNotice, ""},
        {4100, 1733800000, CMessage::kData, "name@prw@db01"},
        {-1, -7, CMessage::kFinish, std::string(254, 'x')},
        {8195, 0x7FFFFFFF, CMessage::kNotice, std::string(255, 'y')},
        {4098, 12345, 0, std::string(1009, 'z')},
    };
    for (const auto& c : cases)
    {
        const std::string wire = Packet(c.command, c.stamp, c.kind, c.body);
        CMessage msg;
        ASSERT_TRUE(msg.ParsePool(wire.data(), static_cast<int>(wire.size()))) << c.body.size();
        EXPECT_EQ(msg.m_nCommand, c.command);
        EXPECT_EQ(msg.m_nStamp, c.stamp);
        EXPECT_EQ(msg.m_nType, c.kind);
        EXPECT_EQ(std::string(msg.m_strBody), c.body);
    }
}

TEST(MessageTest, BodyEndsAtTheFirstNul)
{
    const std::string wire = Packet(4100, 9, 2, std::string("abc\0def", 7));
    CMessage msg;
    ASSERT_TRUE(msg.ParsePool(wire.data(), static_cast<int>(wire.size())));
    EXPECT_EQ(std::string(msg.m_strBody), "abc");
}

TEST(MessageTest, EncodedPacketDecodesToTheSameMessage)
{
    CMessage sent;
    sent.m_nCommand = 4102;
    sent.m_nStamp = 77;
    sent.m_nType = CMessage::kData;
    sent.m_strBody = "0@Functional";
    sent.MakePackage();
    CMessage got;
    ASSERT_TRUE(got.ParsePool(sent.GetBuf(), sent.GetLength()));
    EXPECT_EQ(got.m_nCommand, 4102);
    EXPECT_EQ(got.m_nStamp, 77);
    EXPECT_EQ(got.m_nType, CMessage::kData);
    EXPECT_EQ(std::string(got.m_strBody), "0@Functional");
}

TEST(MessageTest, MalformedPacketsAreRejectedWithADump)
{
    const struct
    {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"twelve bytes", std::string(12, 'A')},
        {"long marker without its length", std::string(13, '\0').replace(12, 1, "\xFF")},
        {"long form under 255", Header(1, 2, 3, 0).replace(12, 1, std::string("\xFF\x10\x00", 3))},
        {"length beyond the data", Header(1, 2, 3, 10) + "short"},
        {"long length beyond the data", Header(1, 2, 3, 300) + std::string(299, 'q')},
    };
    for (const auto& c : cases)
    {
        CMessage msg;
        CaptureStdout();
        EXPECT_FALSE(msg.ParsePool(c.bytes.data(), static_cast<int>(c.bytes.size()))) << c.what;
        const std::string out = GetCapturedStdout();
        const std::string n = std::to_string(c.bytes.size());
        EXPECT_EQ(out.find("ParsePool,Not an invalid message!\nParsePool,nLength is " + n + "(Dec)\t"), 0u)
            << c.what << "\n" << out;
        EXPECT_NE(out.find("Dump Memory at "), std::string::npos) << c.what;
        EXPECT_EQ(msg.m_nCommand, -1) << c.what;
    }
}

TEST(MessageTest, TwelveBytePacketPrintsItsLengthTwiceAndEveryByte)
{
    const std::string wire(12, 'A');
    CMessage msg;
    CaptureStdout();
    msg.ParsePool(wire.data(), 12);
    const std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("ParsePool,nLength is 12(Dec)\tc(Hex)\n"), std::string::npos);
    EXPECT_NE(out.find("with length c(Hex)\t12(Dec):\n"), std::string::npos);
    EXPECT_NE(out.find("11\tA\t41\n"), std::string::npos);
}

TEST(MessageTest, InitEmptiesAUsedMessage)
{
    CMessage msg;
    msg.m_nCommand = 5;
    msg.m_nStamp = 6;
    msg.m_nType = 7;
    msg.m_strBody = "x";
    msg.Init();
    EXPECT_EQ(msg.m_nCommand, -1);
    EXPECT_EQ(msg.m_nStamp, 0);
    EXPECT_EQ(msg.m_nType, 0);
    EXPECT_TRUE(msg.m_strBody.IsEmpty());
}
} // namespace
