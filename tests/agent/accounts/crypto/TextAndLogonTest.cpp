#include "CRandom.h"
#include "CXCrypt.h"
#include "StatusWords.h"
#include "TestBytes.h"

#include <gtest/gtest.h>

namespace
{
std::string ToR64(Bytes in, unsigned long room = 1000)
{
    std::string out(room, '\0');
    unsigned long length = room;
    CRandom::ByteToR64(reinterpret_cast<unsigned char*>(&out[0]), length, in.data(), in.size());
    out.resize(length);
    return out;
}

Bytes FromR64(std::string in, unsigned long room = 1000)
{
    Bytes out(room);
    unsigned long length = room;
    CRandom::R64ToBytes(out.data(), length, reinterpret_cast<unsigned char*>(&in[0]), in.size());
    out.resize(length);
    return out;
}

TEST(R64, EncodesGroupsWithPlusAndUnderscore)
{
    const std::pair<Bytes, std::string> table[] = {
        {FromText("abc"), "YWJj"},      {Bytes{0xFF}, "_w"},       {Bytes{0xFB, 0xEF, 0xBE}, "++++"},
        {Bytes{0xFF, 0xFF, 0xFF}, "____"}, {FromText("ab"), "YWI"}, {Bytes{}, ""},
        {Bytes{0, 0x10, 0x83}, "ABCD"},
    };
    for (const auto& row : table)
    {
        EXPECT_EQ(ToR64(row.first), row.second);
        EXPECT_EQ(FromR64(row.second), row.first) << row.second;
    }
}

TEST(R64, StopsAtTheRoomGivenAndIgnoresALoneCharacter)
{
    EXPECT_EQ(ToR64(FromText("abcabc"), 5), "YWJjY");
    EXPECT_EQ(FromR64("YWJjYWJj", 4), FromText("abca"));
    EXPECT_EQ(FromR64("YWJjY"), FromText("abc"));
    // Characters outside the alphabet count as "A".
    EXPECT_EQ(FromR64("Y/Jj"), FromR64("YAJj"));
    EXPECT_EQ(CRandom::r64toC('_'), 63);
    EXPECT_EQ(CRandom::c2r64(62), '+');
}

TEST(R64, EncodesInPlace)
{
    Bytes buffer = {'a', 'b', 'c', 0xFF, 0, 0, 0, 0};
    unsigned long length = buffer.size();
    CRandom::ByteToR64(buffer.data(), length, buffer.data(), 4);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + length), "YWJj_w");
}

// Builds a logon credential the way a management server does.
std::string Credential(const std::string& name, const std::string& password, Bytes salt,
                       unsigned char count)
{
    Bytes nameBytes = FromText(name), plain = FromText(password);
    unsigned char key[8];
    EXPECT_EQ(CXCrypt::DeriveKey(View(nameBytes), View(salt), count ? count : 256, key), S_OK);
    tagSTREAMBUF in = View(plain), cipher{};
    EXPECT_EQ(CXCrypt::DES_encode(key, in, cipher, true), S_OK);
    Bytes text = nameBytes;
    text.push_back('@');
    text.insert(text.end(), salt.begin(), salt.end());
    text.push_back(count);
    text.push_back(0x5A);
    Bytes c = Take(cipher);
    text.insert(text.end(), c.begin(), c.end());
    return ToR64(text);
}

TEST(Credential, DecodesNameAndPassword)
{
    struct Case
    {
        std::string name, password;
        unsigned char count;
    };
    const Case cases[] = {{"admin", "secret", 7}, {"a", "", 1}, {"operator", "pass word 12345678", 0}};
    for (const Case& c : cases)
    {
        CXCrypt x;
        ASSERT_TRUE(x.DecodeUserProfile(Credential(c.name, c.password, Bytes{1, 2, 3, 4}, c.count).c_str()))
            << c.name;
        EXPECT_STREQ(x.m_strUser, c.name.c_str());
        EXPECT_STREQ(x.m_strPassword, c.password.c_str());
    }
}

TEST(Credential, RefusesMalformedTexts)
{
    std::string good = Credential("admin", "secret", Bytes{9, 9, 9, 9}, 3);
    Bytes noAt = FromText("adminsecretsecret");
    Bytes shortTail = FromText("admin@abc");
    Bytes zeroInName = FromText("adm");
    zeroInName.push_back(0);
    zeroInName.push_back('@');
    zeroInName.insert(zeroInName.end(), 14, 1);
    std::string cut = good.substr(0, good.size() - 3);
    const std::string bad[] = {"", ToR64(noAt), ToR64(shortTail), ToR64(zeroInName), cut};
    for (const std::string& text : bad)
    {
        CXCrypt x;
        EXPECT_FALSE(x.DecodeUserProfile(text.c_str())) << text;
    }
    CXCrypt x;
    EXPECT_FALSE(x.DecodeUserProfile(nullptr));
    // A wrong salt gives a wrong key: the padding check fails or the text differs.
    Bytes changedSalt = FromR64(good);
    changedSalt[6] ^= 1;
    CXCrypt y;
    EXPECT_TRUE(!y.DecodeUserProfile(ToR64(changedSalt).c_str()) || y.m_strPassword != "secret");
}

} // namespace
