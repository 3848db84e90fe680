#include "CRSACrypt.h"

#include "CRandom.h"
#include "CScopedBuf.h"
#include "LittleEndian.h"
#include "StatusWords.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>

namespace
{
const int kBigField = 128;
const int kHalfField = 64;

// The numbers of a key record in stored order with their field sizes.
struct KeyField
{
    const char* name;
    int size;
};
const KeyField kPrivateFields[] = {
    {OSSL_PKEY_PARAM_RSA_N, kBigField},          {OSSL_PKEY_PARAM_RSA_E, kBigField},
    {OSSL_PKEY_PARAM_RSA_D, kBigField},          {OSSL_PKEY_PARAM_RSA_FACTOR1, kHalfField},
    {OSSL_PKEY_PARAM_RSA_FACTOR2, kHalfField},   {OSSL_PKEY_PARAM_RSA_EXPONENT1, kHalfField},
    {OSSL_PKEY_PARAM_RSA_EXPONENT2, kHalfField}, {OSSL_PKEY_PARAM_RSA_COEFFICIENT1, kHalfField},
};
const int kPublicFieldCount = 2;
const int kPrivateFieldCount = sizeof kPrivateFields / sizeof kPrivateFields[0];

// Builds the library's key from a stored record of fieldCount numbers; null
// when the record is short, its bit count is out of range or disagrees with
// the modulus.
EVP_PKEY* KeyFromRecord(tagSTREAMBUF record, int fieldCount, uint32_t recordLength)
{
    if (!record.data || record.length < recordLength)
        return nullptr;
    uint32_t bits = GetLE32(record.data);
    // Below 512 bits a block would hold no room for the padding rules.
    if (bits < CRSACrypt::kKeyBits || bits > uint32_t(kBigField * 8))
        return nullptr;
    OSSL_PARAM_BLD* builder = OSSL_PARAM_BLD_new();
    BIGNUM* numbers[kPrivateFieldCount] = {};
    bool ok = builder != nullptr;
    const unsigned char* at = record.data + 4;
    for (int i = 0; ok && i < fieldCount; ++i)
    {
        numbers[i] = BN_bin2bn(at, kPrivateFields[i].size, nullptr);
        at += kPrivateFields[i].size;
        ok = numbers[i] && OSSL_PARAM_BLD_push_BN(builder, kPrivateFields[i].name, numbers[i]);
    }
    ok = ok && uint32_t(BN_num_bits(numbers[0])) == bits && !BN_is_zero(numbers[1]);
    OSSL_PARAM* params = ok ? OSSL_PARAM_BLD_to_param(builder) : nullptr;
    EVP_PKEY* key = nullptr;
    EVP_PKEY_CTX* ctx = params ? EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr) : nullptr;
    int selection = fieldCount == kPublicFieldCount ? EVP_PKEY_PUBLIC_KEY : EVP_PKEY_KEYPAIR;
    if (ctx && EVP_PKEY_fromdata_init(ctx) > 0)
        EVP_PKEY_fromdata(ctx, &key, selection, params);
    EVP_PKEY_CTX_free(ctx);
    OSSL_PARAM_free(params);
    for (BIGNUM* n : numbers)
        BN_clear_free(n);
    OSSL_PARAM_BLD_free(builder);
    return key;
}

// Writes the key's numbers into a record of fieldCount numbers; false when
// a number is missing or does not fit its field.
bool RecordFromKey(EVP_PKEY* key, int fieldCount, unsigned char* record)
{
    PutLE32(record, uint32_t(EVP_PKEY_get_bits(key)));
    unsigned char* at = record + 4;
    for (int i = 0; i < fieldCount; ++i)
    {
        BIGNUM* number = nullptr;
        bool ok = EVP_PKEY_get_bn_param(key, kPrivateFields[i].name, &number) &&
                  BN_bn2binpad(number, at, kPrivateFields[i].size) == kPrivateFields[i].size;
        BN_clear_free(number);
        if (!ok)
            return false;
        at += kPrivateFields[i].size;
    }
    return true;
}

typedef int (*BlockInit)(EVP_PKEY_CTX*);
typedef int (*BlockOperation)(EVP_PKEY_CTX*, unsigned char*, size_t*, const unsigned char*, size_t);

// One PKCS #1 v1.5 operation of the library under a stored key.
struct Direction
{
    int fieldCount;
    uint32_t recordLength;
    BlockInit init;
    BlockOperation run;
    bool encrypt;
};

const Direction kPublicEncrypt = {kPublicFieldCount, CRSACrypt::kPublicKeyLength,
                                  EVP_PKEY_encrypt_init, EVP_PKEY_encrypt, true};
const Direction kPublicDecrypt = {kPublicFieldCount, CRSACrypt::kPublicKeyLength,
                                  EVP_PKEY_verify_recover_init, EVP_PKEY_verify_recover, false};
const Direction kPrivateEncrypt = {kPrivateFieldCount, CRSACrypt::kPrivateKeyLength,
                                   EVP_PKEY_sign_init, EVP_PKEY_sign, true};
const Direction kPrivateDecrypt = {kPrivateFieldCount, CRSACrypt::kPrivateKeyLength,
                                   EVP_PKEY_decrypt_init, EVP_PKEY_decrypt, false};

long RunBlocks(const Direction& d, tagSTREAMBUF in, tagSTREAMBUF& out, tagSTREAMBUF keyRecord)
{
    EVP_PKEY* key = KeyFromRecord(keyRecord, d.fieldCount, d.recordLength);
    if (!key)
        return E_FAIL;
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr);
    bool ok = ctx && d.init(ctx) > 0 && EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PADDING) > 0;
    uint32_t k = uint32_t(EVP_PKEY_get_size(key));
    uint32_t piece = d.encrypt ? k - 11 : k;
    ok = ok && (d.encrypt || in.length % k == 0);
    uint32_t blocks = ok ? (in.length + piece - 1) / piece : 0;
    CScopedBuf result;
    result.Get().length = d.encrypt ? blocks * k : blocks * (k - 11);
    ok = ok && AllocStreamBuf(result) == 0;
    uint32_t written = 0;
    for (uint32_t i = 0; ok && i < blocks; ++i)
    {
        uint32_t from = i * piece;
        size_t n = in.length - from < piece ? in.length - from : piece;
        // Decryption may give up to k bytes before the padding check.
        unsigned char block[kBigField];
        size_t outLength = sizeof block;
        ok = d.run(ctx, block, &outLength, in.data + from, n) > 0 &&
             written + outLength <= result.Length();
        if (ok)
        {
            memcpy(result.Data() + written, block, outLength);
            written += uint32_t(outLength);
        }
    }
    EVP_PKEY_CTX_free(ctx);
    EVP_PKEY_free(key);
    if (!ok)
        return E_FAIL;
    result.Get().length = written;
    out = result.Detach();
    return S_OK;
}
} // namespace

CRSACrypt::CRSACrypt() = default;
CRSACrypt::~CRSACrypt() = default;

long CRSACrypt::GenRSAKeySet(tagSTREAMBUF& pub, tagSTREAMBUF& priv)
{
    CScopedBuf publicKey, privateKey;
    publicKey.Get().length = kPublicKeyLength;
    privateKey.Get().length = kPrivateKeyLength;
    if (AllocStreamBuf(publicKey) != 0 || AllocStreamBuf(privateKey) != 0)
        return E_OUTOFMEMORY;
    memset(publicKey.Data(), 0, kPublicKeyLength);
    memset(privateKey.Data(), 0, kPrivateKeyLength);
    CRandom random;
    EVP_PKEY* key = nullptr;
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr);
    BIGNUM* exponent = BN_new();
    bool ok = ctx && exponent && BN_set_word(exponent, RSA_F4) &&
              EVP_PKEY_keygen_init(ctx) > 0 && EVP_PKEY_CTX_set_rsa_keygen_bits(ctx, kKeyBits) > 0 &&
              EVP_PKEY_CTX_set1_rsa_keygen_pubexp(ctx, exponent) > 0 &&
              EVP_PKEY_keygen(ctx, &key) > 0;
    ok = ok && RecordFromKey(key, kPublicFieldCount, publicKey.Data()) &&
         RecordFromKey(key, kPrivateFieldCount, privateKey.Data());
    EVP_PKEY_free(key);
    BN_free(exponent);
    EVP_PKEY_CTX_free(ctx);
    if (!ok)
        return E_FAIL;
    FreeStreamBuf(pub);
    FreeStreamBuf(priv);
    pub = publicKey.Detach();
    priv = privateKey.Detach();
    return S_OK;
}

long CRSACrypt::PublicEncrypt(tagSTREAMBUF in, tagSTREAMBUF& out, tagSTREAMBUF key)
{
    return RunBlocks(kPublicEncrypt, in, out, key);
}

long CRSACrypt::PublicDecrypt(tagSTREAMBUF in, tagSTREAMBUF& out, tagSTREAMBUF key)
{
    return RunBlocks(kPublicDecrypt, in, out, key);
}

long CRSACrypt::PrivateEncrypt(tagSTREAMBUF in, tagSTREAMBUF& out, tagSTREAMBUF key)
{
    return RunBlocks(kPrivateEncrypt, in, out, key);
}

long CRSACrypt::PrivateDecrypt(tagSTREAMBUF in, tagSTREAMBUF& out, tagSTREAMBUF key)
{
    return RunBlocks(kPrivateDecrypt, in, out, key);
}
