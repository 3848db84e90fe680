// The client's logon credential as the agent's decoder reads it.

#include "CXCrypt.h"
#include "HalsenClient.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
TEST(ClientCredentialTest, R64MatchesTheAgentsAlphabet)
{
    const struct
    {
        std::string bytes;
        const char* text;
    } cases[] = {{"abc", "YWJj"}, {"\xFF", "_w"}, {"\xFB\xEF\xBE", "++++"}, {"", ""}, {"abcd", "YWJjZA"}};
    for (const auto& c : cases)
    {
        EXPECT_EQ(halsen::ToR64(c.bytes), c.text);
        EXPECT_EQ(halsen::FromR64(c.text), c.bytes) << c.text;
    }
    EXPECT_EQ(halsen::FromR64("YWJjY"), "abc");
}

TEST(ClientCredentialTest, TheAgentDecodesWhatTheClientEncodes)
{
    const struct
    {
        std::string user, password, salt;
        unsigned char count;
    } cases[] = {
        {"admin", "secret", "salt", 7},
        {"admin", "", std::string(4, '\0'), 1},
        {"a", std::string(200, 'p'), "\xFF\x01\x80\x7F", 0},
        {"user with blanks", "pass@word with @ signs", "abcd", 255},
        {"eight-ch", "12345678", "wxyz", 16},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.user + "/" + c.password);
        const std::string text = halsen::EncodeCredential(c.user, c.password, c.salt, c.count);
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+_"),
                  std::string::npos);
        CXCrypt decoder;
        ASSERT_TRUE(decoder.DecodeUserProfile(text.c_str()));
        EXPECT_EQ(std::string(decoder.m_strUser.GetBuffer()), c.user);
        EXPECT_EQ(std::string(decoder.m_strPassword.GetBuffer()), c.password);
    }
    // Fresh salts: two encodings of the same logon differ, both decode.
    const std::string first = halsen::EncodeCredential("admin", "secret");
    const std::string second = halsen::EncodeCredential("admin", "secret");
    EXPECT_NE(first, second);
    CXCrypt decoder;
    EXPECT_TRUE(decoder.DecodeUserProfile(second.c_str()));
    EXPECT_TRUE(halsen::EncodeCredential("admin", "x", "short", 1).empty());
}

TEST(ClientCredentialTest, TheLogonBodyCarriesTheLocationInHex)
{
    const unsigned long location[2] = {0xDEADBEEFUL, 7};
    EXPECT_EQ(halsen::LogonBody(location, "CRED"), "logon deadbeef 7@CRED");
    EXPECT_EQ(halsen::LogonBody(nullptr, "CRED"), "logon 0 0@CRED");
}
} // namespace
