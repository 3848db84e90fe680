#include "CAccountManager.h"
#include "CRSACrypt.h"
#include "RsaVectors.h"
#include "StatusWords.h"
#include "TestBytes.h"

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/sha.h>

namespace
{
void PutField(Bytes& record, size_t& at, const char* hex, size_t size)
{
    Bytes number = FromHex(hex);
    ASSERT_LE(number.size(), size);
    std::copy(number.begin(), number.end(), record.begin() + at + (size - number.size()));
    at += size;
}

Bytes Record(const char* const* fields, int count, uint32_t bits)
{
    static const size_t sizes[] = {128, 128, 128, 64, 64, 64, 64, 64};
    Bytes record(count == 2 ? 260 : 708, 0);
    for (int i = 0; i < 4; ++i)
        record[i] = static_cast<unsigned char>(bits >> (8 * i));
    size_t at = 4;
    for (int i = 0; i < count; ++i)
        PutField(record, at, fields[i], sizes[i]);
    return record;
}

struct PublishedKey
{
    Bytes pub, priv;
};

PublishedKey CryptKey()
{
    const char* const f[] = {kCrypt_n, kCrypt_e, kCrypt_d, kCrypt_p, kCrypt_q, kCrypt_dp, kCrypt_dq, kCrypt_qinv};
    return {Record(f, 2, 1024), Record(f, 8, 1024)};
}

PublishedKey SignKey()
{
    const char* const f[] = {kSign_n, kSign_e, kSign_d, kSign_p, kSign_q, kSign_dp, kSign_dq, kSign_qinv};
    return {Record(f, 2, 1024), Record(f, 8, 1024)};
}

TEST(RsaPublished, BlockType2CiphertextDecryptsToItsMessage)
{
    PublishedKey key = CryptKey();
    Bytes cipher = FromHex(kCrypt_ct);
    tagSTREAMBUF out{};
    ASSERT_EQ(CRSACrypt().PrivateDecrypt(View(cipher), out, View(key.priv)), S_OK);
    EXPECT_EQ(Take(out), FromHex(kCrypt_msg));
}

TEST(RsaPublished, BlockType1EncryptionIsThePublishedSignature)
{
    PublishedKey key = SignKey();
    Bytes message = FromHex(kSign_msg);
    Bytes info = FromHex("3021300906052b0e03021a05000414");
    unsigned char hash[SHA_DIGEST_LENGTH];
    SHA1(message.data(), message.size(), hash);
    info.insert(info.end(), hash, hash + sizeof hash);
    tagSTREAMBUF sig{}, back{};
    ASSERT_EQ(CRSACrypt().PrivateEncrypt(View(info), sig, View(key.priv)), S_OK);
    Bytes signature = Take(sig);
    EXPECT_EQ(signature, FromHex(kSign_sig));
    ASSERT_EQ(CRSACrypt().PublicDecrypt(View(signature), back, View(key.pub)), S_OK);
    EXPECT_EQ(Take(back), info);
}

class GeneratedKey : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(CRSACrypt().GenRSAKeySet(m_Pub, m_Priv), S_OK); }
    void TearDown() override
    {
        FreeStreamBuf(m_Pub);
        FreeStreamBuf(m_Priv);
    }
    BIGNUM* Number(size_t at, size_t size) { return BN_bin2bn(m_Priv.data + at, int(size), nullptr); }

    tagSTREAMBUF m_Pub{}, m_Priv{};
};

TEST_F(GeneratedKey, RecordsHoldA512BitKeyInTheStoredLayout)
{
    ASSERT_EQ(m_Pub.length, 260u);
    ASSERT_EQ(m_Priv.length, 708u);
    EXPECT_EQ(Bytes(m_Pub.data, m_Pub.data + 4), (Bytes{0x00, 0x02, 0, 0}));
    EXPECT_EQ(Bytes(m_Pub.data, m_Pub.data + 260), Bytes(m_Priv.data, m_Priv.data + 260));
    // Right-aligned big-endian numbers: 64 leading zero bytes in each
    // 128-byte field of a 512-bit key, and the exponent 65537 at the end.
    EXPECT_EQ(Bytes(m_Pub.data + 4, m_Pub.data + 68), Bytes(64, 0));
    EXPECT_EQ(Bytes(m_Pub.data + 257, m_Pub.data + 260), (Bytes{1, 0, 1}));
    BN_CTX* ctx = BN_CTX_new();
    BIGNUM *n = Number(4, 128), *e = Number(132, 128), *d = Number(260, 128), *p = Number(388, 64),
           *q = Number(452, 64), *dp = Number(516, 64), *dq = Number(580, 64), *qinv = Number(644, 64);
    BIGNUM *t = BN_new(), *one = BN_new();
    BN_one(one);
    BN_mul(t, p, q, ctx);
    EXPECT_EQ(BN_cmp(t, n), 0);
    EXPECT_EQ(BN_num_bits(n), 512);
    BN_sub(t, p, one);
    BN_mod(t, d, t, ctx);
    EXPECT_EQ(BN_cmp(t, dp), 0);
    BN_sub(t, q, one);
    BN_mod(t, d, t, ctx);
    EXPECT_EQ(BN_cmp(t, dq), 0);
    BN_mod_mul(t, qinv, q, p, ctx);
    EXPECT_TRUE(BN_is_one(t));
    EXPECT_EQ(BN_get_word(e), 65537u);
    for (BIGNUM* b : {n, e, d, p, q, dp, dq, qinv, t, one})
        BN_free(b);
    BN_CTX_free(ctx);
}

TEST_F(GeneratedKey, BlockSizesFollowTheModulus)
{
    struct Case
    {
        size_t in, out;
    };
    const Case cases[] = {{0, 0}, {1, 64}, {53, 64}, {54, 128}, {106, 128}, {716, 896}};
    for (const Case& c : cases)
    {
        Bytes plain(c.in);
        for (size_t i = 0; i < c.in; ++i)
            plain[i] = static_cast<unsigned char>(i * 7);
        tagSTREAMBUF sealed{}, opened{}, signedData{}, checked{};
        ASSERT_EQ(CRSACrypt().PublicEncrypt(View(plain), sealed, m_Pub), S_OK);
        EXPECT_EQ(sealed.length, c.out);
        ASSERT_EQ(CRSACrypt().PrivateDecrypt(sealed, opened, m_Priv), S_OK);
        EXPECT_EQ(Take(opened), plain);
        ASSERT_EQ(CRSACrypt().PrivateEncrypt(View(plain), signedData, m_Priv), S_OK);
        EXPECT_EQ(signedData.length, c.out);
        ASSERT_EQ(CRSACrypt().PublicDecrypt(signedData, checked, m_Pub), S_OK);
        EXPECT_EQ(Take(checked), plain);
        FreeStreamBuf(sealed);
        FreeStreamBuf(signedData);
    }
}

TEST_F(GeneratedKey, RefusesPartialBlocksWrongKeysAndDamagedRecords)
{
    Bytes odd(65), data(20, 1);
    tagSTREAMBUF out{}, sealed{};
    EXPECT_EQ(CRSACrypt().PrivateDecrypt(View(odd), out, m_Priv), E_FAIL);
    EXPECT_EQ(out.data, nullptr);
    ASSERT_EQ(CRSACrypt().PublicEncrypt(View(data), sealed, m_Pub), S_OK);
    tagSTREAMBUF otherPub{}, otherPriv{};
    ASSERT_EQ(CRSACrypt().GenRSAKeySet(otherPub, otherPriv), S_OK);
    EXPECT_EQ(CRSACrypt().PrivateDecrypt(sealed, out, otherPriv), E_FAIL);
    Bytes shortKey(100, 0), badBits(m_Pub.data, m_Pub.data + 260);
    badBits[0] = 0x01; // 513 bits claimed for a 512-bit modulus
    EXPECT_EQ(CRSACrypt().PublicEncrypt(View(data), out, View(shortKey)), E_FAIL);
    EXPECT_EQ(CRSACrypt().PublicEncrypt(View(data), out, View(badBits)), E_FAIL);
    FreeStreamBuf(sealed);
    FreeStreamBuf(otherPub);
    FreeStreamBuf(otherPriv);
}

TEST(SignedData, MarkerIsAddedCheckedAndStripped)
{
    Bytes data = FromText("mask");
    tagSTREAMBUF out{}, rest{};
    ASSERT_EQ(CAccountManager::SignData(View(data), out), S_OK);
    Bytes signedData = Take(out);
    EXPECT_EQ(Bytes(signedData.begin(), signedData.begin() + 8), (Bytes{'q', 'u', 'e', 'n', 'l', 'o', 'r', 0}));
    ASSERT_EQ(CAccountManager::VerifyData(View(signedData), rest), S_OK);
    EXPECT_EQ(Bytes(rest.data, rest.data + rest.length), data);

    Bytes seven(signedData.begin(), signedData.begin() + 7), marker(signedData.begin(), signedData.begin() + 8);
    EXPECT_EQ(CAccountManager::VerifyData(View(seven), rest), E_FAIL);
    ASSERT_EQ(CAccountManager::VerifyData(View(marker), rest), S_OK);
    EXPECT_EQ(rest.length, 0u);
    signedData[3] ^= 1;
    EXPECT_EQ(CAccountManager::VerifyData(View(signedData), rest), E_FAIL);
}
} // namespace
