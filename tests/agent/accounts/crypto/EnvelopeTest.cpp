#include "CAccountManager.h"
#include "StatusWords.h"
#include "TestBytes.h"

#include <gtest/gtest.h>

namespace
{
class Envelope : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tagSTREAMBUF plain = View(m_Plain), env{};
        ASSERT_EQ(CAccountManager::AM_DES_encode(View(m_Password), plain, env), S_OK);
        m_Envelope = Take(env);
    }

    long Open(Bytes& envelope, Bytes& password, Bytes* out = nullptr)
    {
        tagSTREAMBUF env = View(envelope), plain{};
        long status = CAccountManager::AM_DES_decode(View(password), env, plain);
        Bytes opened = Take(plain);
        if (out)
            *out = opened;
        return status;
    }

    // The three parts of the envelope body and the two parameters.
    void Split(Bytes& envelope, ASN1* parts, ASN1* params)
    {
        ASN1 outer{};
        ASSERT_EQ(CAccountManager::ASN1ParseRecord(View(envelope), &outer, 1), S_OK);
        ASSERT_EQ(outer.tag, '8');
        ASSERT_EQ(CAccountManager::ASN1ParseRecord(outer.value, parts, 3), S_OK);
        ASSERT_EQ(CAccountManager::ASN1ParseRecord(parts[1].value, params, 2), S_OK);
    }

    Bytes m_Password = FromText("secret");
    Bytes m_Plain = FromText("a plaintext of 22 byte");
    Bytes m_Envelope;
};

TEST_F(Envelope, OpensWithThePasswordAndFollowsTheRecordLayout)
{
    Bytes opened;
    ASSERT_EQ(Open(m_Envelope, m_Password, &opened), S_OK);
    Bytes expected = m_Plain;
    expected.push_back(0);
    EXPECT_EQ(opened, expected);

    ASN1 parts[3]{}, params[2]{};
    Split(m_Envelope, parts, params);
    EXPECT_EQ(Bytes(parts[0].value.data, parts[0].value.data + parts[0].value.length),
              (Bytes{0x96, 0x27, 0x38, 0x00}));
    for (const ASN1& r : parts)
        EXPECT_EQ(r.tag, '7');
    EXPECT_GE(params[0].value.length, 8u);
    EXPECT_LE(params[0].value.length, 15u);
    ASSERT_EQ(params[1].value.length, 4u);
    unsigned count = params[1].value.data[0];
    EXPECT_EQ(count % 2, 1u);
    EXPECT_LE(count, 15u);
    EXPECT_EQ(parts[2].value.length, 24u);
}

TEST_F(Envelope, EverySealingDiffers)
{
    tagSTREAMBUF plain = View(m_Plain), env{};
    ASSERT_EQ(CAccountManager::AM_DES_encode(View(m_Password), plain, env), S_OK);
    EXPECT_NE(Take(env), m_Envelope);
}

TEST_F(Envelope, TamperingIsRefused)
{
    ASN1 parts[3]{}, params[2]{};
    Split(m_Envelope, parts, params);
    Bytes wrongId = m_Envelope;
    wrongId[parts[0].value.data - m_Envelope.data()] ^= 0xFF;
    EXPECT_EQ(Open(wrongId, m_Password), E_INVALIDARG);

    // Flipping a bit in the last-but-one block flips the same bit of the
    // final padding byte: 2 becomes 0x12, which no padding holds.
    Bytes badPadding = m_Envelope;
    size_t cipherAt = parts[2].value.data - m_Envelope.data();
    badPadding[cipherAt + 15] ^= 0x10;
    EXPECT_EQ(Open(badPadding, m_Password), E_FAIL);

    Bytes wrong = FromText("Secret"), opened;
    long status = Open(m_Envelope, wrong, &opened);
    EXPECT_TRUE(status == E_FAIL || opened != m_Plain);

    Bytes truncated(m_Envelope.begin(), m_Envelope.end() - 1), empty;
    EXPECT_EQ(Open(truncated, m_Password), E_INVALIDARG);
    EXPECT_EQ(Open(empty, m_Password), E_INVALIDARG);

    Bytes hugeCount = m_Envelope;
    hugeCount[params[1].value.data - m_Envelope.data() + 3] = 0x7F;
    EXPECT_EQ(Open(hugeCount, m_Password), E_INVALIDARG);
}

TEST(RecordCodec, HeaderLengthsFollowTheDefiniteLengthRules)
{
    struct Case
    {
        size_t length;
        Bytes header;
    };
    const Case cases[] = {{0, {'6', 0x00}},          {127, {'6', 0x7F}},         {128, {'6', 0x81, 0x80}},
                          {255, {'6', 0x81, 0xFF}},  {256, {'6', 0x82, 0x01, 0x00}},
                          {65536, {'6', 0x83, 0x01, 0x00, 0x00}}};
    for (const Case& c : cases)
    {
        Bytes content(c.length, 0xAB);
        ASN1 record{'6', View(content)};
        EXPECT_EQ(CAccountManager::ASN1HeaderLength(record.value), c.header.size());
        tagSTREAMBUF out{};
        ASSERT_EQ(CAccountManager::ASN1EncodeRecord(out, &record, 1), S_OK);
        Bytes encoded = Take(out);
        EXPECT_EQ(Bytes(encoded.begin(), encoded.begin() + c.header.size()), c.header) << c.length;
        ASN1 back{};
        unsigned long parsed = 0;
        ASSERT_EQ(CAccountManager::ASN1ParseRecord(View(encoded), &back, 1, &parsed), S_OK);
        EXPECT_EQ(parsed, 1u);
        EXPECT_EQ(back.value.length, c.length);
    }
    Bytes room(1);
    tagSTREAMBUF small = View(room);
    Bytes content(200);
    EXPECT_EQ(CAccountManager::ASN1EncodeLength(small, ASN1{'6', View(content)}), E_INVALIDARG);
}

TEST(RecordCodec, ParsingStopsAtTheEndAndRefusesOverruns)
{
    Bytes list = {'3', 2, 'a', 'b', '3', 1, 'c'};
    ASN1 out[4]{};
    unsigned long parsed = 0;
    ASSERT_EQ(CAccountManager::ASN1ParseRecord(View(list), out, 4, &parsed), S_OK);
    EXPECT_EQ(parsed, 2u);
    EXPECT_EQ(out[1].value.length, 1u);
    EXPECT_EQ(out[2].value.data, nullptr);
    const Bytes bad[] = {{'3', 5, 'a'}, {'3'}, {'3', 0x81}, {'3', 0x85, 1, 1, 1, 1, 1}, {'3', 0x80}};
    for (Bytes b : bad)
        EXPECT_EQ(CAccountManager::ASN1ParseRecord(View(b), out, 4), E_INVALIDARG);
}
} // namespace
