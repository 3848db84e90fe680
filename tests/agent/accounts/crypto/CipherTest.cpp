#include "CDESCrypt.h"
#include "CHashMD5.h"
#include "CXCrypt.h"
#include "StatusWords.h"
#include "TestBytes.h"

#include <gtest/gtest.h>

namespace
{
struct DesVector
{
    const char* key;
    const char* iv;
    const char* plain;
    const char* cipher;
};

// FIPS 81 (CBC example of appendix C) and the classic single-block
// vectors, the latter as CBC with a zero initialisation vector.
const DesVector kDesVectors[] = {
    {"0123456789abcdef", "1234567890abcdef",
     "4e6f77206973207468652074696d6520666f7220616c6c20",
     "e5c7cdde872bf27c43e934008c389c0f683788499a7c05f6"},
    {"133457799bbcdff1", "0000000000000000", "0123456789abcdef", "85e813540f0ab405"},
    {"0123456789abcdef", "0000000000000000", "4e6f772069732074", "3fa40e8a984d4815"},
};

TEST(DesCbc, MatchesPublishedVectorsBothWays)
{
    for (const DesVector& v : kDesVectors)
    {
        Bytes key = FromHex(v.key), iv = FromHex(v.iv), plain = FromHex(v.plain);
        Bytes work = plain;
        CDESCrypt des;
        ASSERT_EQ(des.init(key.data(), iv.data(), true), S_OK);
        ASSERT_EQ(des.update(View(work), View(work)), S_OK) << v.cipher;
        EXPECT_EQ(work, FromHex(v.cipher));
        CDESCrypt back;
        ASSERT_EQ(back.init(key.data(), iv.data(), false), S_OK);
        Bytes out(work.size());
        ASSERT_EQ(back.update(View(work), View(out)), S_OK);
        EXPECT_EQ(out, plain);
    }
}

TEST(DesCbc, RestartBeginsTheChainAgainAndLengthsAreChecked)
{
    Bytes key = FromHex("0123456789abcdef"), iv = FromHex("1234567890abcdef");
    Bytes first = FromText("Now is t"), second = first;
    CDESCrypt des;
    ASSERT_EQ(des.init(key.data(), iv.data(), true), S_OK);
    ASSERT_EQ(des.update(View(first), View(first)), S_OK);
    ASSERT_EQ(des.restart(), S_OK);
    ASSERT_EQ(des.update(View(second), View(second)), S_OK);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, FromHex("e5c7cdde872bf27c"));

    Bytes seven(7), eight(8), sixteen(16);
    EXPECT_EQ(des.update(View(seven), View(seven)), E_INVALIDARG);
    EXPECT_EQ(des.update(View(eight), View(sixteen)), E_INVALIDARG);
}

TEST(DesEncode, PadsAWholeBlockAndAppendsAZeroOnDecryption)
{
    Bytes key = FromHex("0123456789abcdef");
    Bytes plain = FromText("12345678");
    tagSTREAMBUF in = View(plain), cipher{}, back{};
    ASSERT_EQ(CXCrypt::DES_encode(key.data(), in, cipher, true), S_OK);
    ASSERT_EQ(cipher.length, 16u);
    ASSERT_EQ(CXCrypt::DES_encode(key.data(), cipher, back, false), S_OK);
    Bytes out = Take(back);
    ASSERT_EQ(out.size(), 9u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 8), plain);
    EXPECT_EQ(out[8], 0);

    // Decrypting with the raw cipher shows the padding bytes themselves.
    Bytes raw(cipher.data, cipher.data + cipher.length);
    CDESCrypt des;
    ASSERT_EQ(des.init(key.data(), g_desiv, false), S_OK);
    ASSERT_EQ(des.update(View(raw), View(raw)), S_OK);
    EXPECT_EQ(Bytes(raw.begin() + 8, raw.end()), Bytes(8, 8));
    FreeStreamBuf(cipher);
}

TEST(DesEncode, RefusesBadPaddingAndBadLengths)
{
    Bytes key = FromHex("0123456789abcdef");
    struct Case
    {
        Bytes lastBlock; // plaintext of the final block before encryption
    };
    const Case cases[] = {{Bytes{1, 2, 3, 4, 5, 6, 7, 0}}, {Bytes{1, 2, 3, 4, 5, 6, 7, 9}},
                          {Bytes{1, 2, 3, 4, 5, 3, 2, 3}}};
    for (const Case& c : cases)
    {
        Bytes block = c.lastBlock;
        CDESCrypt des;
        ASSERT_EQ(des.init(key.data(), g_desiv, true), S_OK);
        ASSERT_EQ(des.update(View(block), View(block)), S_OK);
        tagSTREAMBUF in = View(block), out{};
        EXPECT_EQ(CXCrypt::DES_encode(key.data(), in, out, false), E_FAIL);
        EXPECT_EQ(out.data, nullptr);
    }
    Bytes odd(12), empty;
    tagSTREAMBUF in = View(odd), none = View(empty), out{};
    EXPECT_NE(CXCrypt::DES_encode(key.data(), in, out, false), S_OK);
    EXPECT_NE(CXCrypt::DES_encode(key.data(), none, out, false), S_OK);
}

TEST(Md5, MatchesTheRfc1321Suite)
{
    const std::pair<const char*, const char*> suite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& entry : suite)
    {
        Bytes text = FromText(entry.first), digest(16);
        // Fed in two pieces, to cover update() more than once.
        size_t half = text.size() / 2;
        CHashMD5 md5;
        ASSERT_EQ(md5.init(), S_OK);
        ASSERT_EQ(md5.update(tagSTREAMBUF{uint32_t(half), text.data()}), S_OK);
        ASSERT_EQ(md5.update(tagSTREAMBUF{uint32_t(text.size() - half), text.data() + half}), S_OK);
        ASSERT_EQ(md5.final(View(digest)), S_OK);
        EXPECT_EQ(digest, FromHex(entry.second)) << entry.first;
    }
}

TEST(KeyDerivation, IsMd5OfPasswordAndSaltThenRepeated)
{
    Bytes password = FromText("secret"), salt = FromText("saltsalt"), joined = FromText("secretsaltsalt");
    unsigned char once[8], thrice[8], digest[16];
    ASSERT_EQ(CXCrypt::DeriveKey(View(password), View(salt), 1, once), S_OK);
    ASSERT_EQ(CHashMD5::Digest(joined.data(), uint32_t(joined.size()), digest), S_OK);
    EXPECT_EQ(Bytes(once, once + 8), Bytes(digest, digest + 8));
    ASSERT_EQ(CXCrypt::DeriveKey(View(password), View(salt), 3, thrice), S_OK);
    CHashMD5::Digest(digest, 16, digest);
    CHashMD5::Digest(digest, 16, digest);
    EXPECT_EQ(Bytes(thrice, thrice + 8), Bytes(digest, digest + 8));
}
} // namespace
