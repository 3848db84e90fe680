// Prints an account file's layout, users and rights and checks its
// structure, given the password of any administrator in it.
//
//   pwdump [--file PATH] [--] PASSWORD
//   pwdump -h | --help
//
// Exit status: 0 when the file is sound, 1 when a check fails, 2 on bad use.

#include "CAccountFile.h"
#include "CAccountManager.h"
#include "CHashMD5.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace
{
typedef std::vector<unsigned char> Bytes;

struct Layout
{
    uint32_t version, count, index, user, name, right, nameList, rightList;
};

struct User
{
    Bytes digest, record;
    ASN1 parts[4]{};
};

int g_nProblems = 0;

void Problem(const std::string& what)
{
    printf("problem: %s\n", what.c_str());
    ++g_nProblems;
}

uint32_t Le32(const Bytes& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

tagSTREAMBUF View(const Bytes& b, size_t at, size_t length)
{
    return tagSTREAMBUF{uint32_t(length), const_cast<unsigned char*>(b.data()) + at};
}

Bytes Copy(tagSTREAMBUF b)
{
    return Bytes(b.data, b.data + b.length);
}

Bytes Take(tagSTREAMBUF& b)
{
    Bytes out = Copy(b);
    FreeStreamBuf(b);
    return out;
}

bool ReadLayout(const Bytes& f, Layout& l)
{
    if (f.size() < 48 || f[0] != '0' || f[1] != 4 || f[6] != '1' || f[7] != 4)
        return false;
    l = {Le32(f, 2), Le32(f, 8), Le32(f, 16), Le32(f, 20), Le32(f, 24), Le32(f, 28), 0, 0};
    if (l.index < 48 || l.user < l.index || l.name < l.user || l.right < l.name || l.name + 16 > l.right ||
        size_t(l.right) + 112 > f.size())
        return false;
    l.nameList = Le32(f, l.name);
    l.rightList = Le32(f, l.right);
    return l.nameList >= l.name + 16 && l.nameList <= l.right && l.rightList >= l.right + 112 &&
           l.rightList <= f.size() && l.count <= (l.user - l.index) / 16;
}

// The content of the '8' list record at offset, opened with key.
bool OpenList(const Bytes& f, size_t offset, size_t end, const Bytes& key, Bytes& plain)
{
    ASN1 record{};
    if (CAccountFile::ParseExactly(View(f, offset, end - offset), &record, 1, '8') != 0)
        return false;
    tagSTREAMBUF out{};
    if (CAccountManager::AM_DES_decode(View(key, 0, key.size()), record.value, out) != 0)
        return false;
    plain = Take(out);
    plain.pop_back();
    return true;
}

struct Secrets
{
    Bytes dbKey, adminPublic, adminPrivate, adminPassword;
    long admin = -1;
    // The key pair of that administrator's own key ring.
    Bytes userPublic, userPrivate;
};

const size_t kPublicKeyLength = 260;
const size_t kPrivateKeyLength = 708;
const size_t kNumberLength = 128;

// The 128-byte big-endian number at offset of a key record.
Bytes Number(const Bytes& key, size_t offset)
{
    return Bytes(key.begin() + offset, key.begin() + offset + kNumberLength);
}

bool IsF4(const Bytes& number)
{
    Bytes f4(kNumberLength, 0);
    f4[kNumberLength - 3] = 1;
    f4[kNumberLength - 1] = 1;
    return number == f4;
}

// A key pair is sound when both records have their sizes, share their
// modulus and carry the public exponent 65537.
void CheckKeyPair(const Bytes& pub, const Bytes& priv, const std::string& whose)
{
    if (pub.size() != kPublicKeyLength || priv.size() != kPrivateKeyLength)
    {
        Problem(whose + " key ring holds keys of the wrong size");
        return;
    }
    if (Number(pub, 4) != Number(priv, 4))
        Problem(whose + " key ring: public and private moduli differ");
    if (!IsF4(Number(pub, 4 + kNumberLength)) || !IsF4(Number(priv, 4 + kNumberLength)))
        Problem(whose + " key ring: public exponent is not 65537");
}

// Finds the user whose key ring the password opens and unlocks the
// administrator secrets through its key blob.
bool Unlock(const Bytes& f, const Layout& l, std::vector<User>& users, const Bytes& password, Secrets& s)
{
    for (size_t i = 0; i < users.size() && s.admin < 0; ++i)
    {
        tagSTREAMBUF ring{};
        ASN1 keys[4]{};
        if (CAccountManager::AM_DES_decode(View(password, 0, password.size()), users[i].parts[0].value, ring) != 0)
            continue;
        Bytes plain = Take(ring);
        if (CAccountFile::ParseExactly(View(plain, 0, plain.size() - 1), keys, 4, '5') != 0)
            continue;
        tagSTREAMBUF blob = users[i].parts[3].value, opened{}, key{};
        if (!blob.length || CAccountManager::RSAPublicDecrypt(blob, opened, keys[3].value) != 0)
            continue;
        Bytes signedKey = Take(opened);
        if (CAccountManager::VerifyData(View(signedKey, 0, signedKey.size()), key) != 0 || key.length != 708)
            continue;
        s = {Copy(keys[0].value), Copy(keys[3].value), Copy(key), {}, long(i), Copy(keys[1].value),
             Copy(keys[2].value)};
    }
    if (s.admin < 0)
        return false;
    ASN1 sealed{}, inner{};
    tagSTREAMBUF out{};
    if (CAccountFile::ParseExactly(View(f, l.right + 16, 96), &sealed, 1, '7') != 0 ||
        CAccountManager::RSAPrivateDecrypt(sealed.value, out, View(s.adminPrivate, 0, s.adminPrivate.size())) != 0)
        return false;
    Bytes plain = Take(out);
    if (plain.empty() || CAccountFile::ParseExactly(View(plain, 0, plain.size()), &inner, 1, '7') != 0)
        return false;
    s.adminPassword = Copy(inner.value);
    return true;
}

bool ReadUsers(const Bytes& f, const Layout& l, std::vector<User>& users)
{
    size_t at = l.user;
    for (uint32_t i = 0; i < l.count; ++i)
    {
        User u;
        u.digest.assign(f.begin() + l.index + 16 * i, f.begin() + l.index + 16 * (i + 1));
        ASN1 record{};
        unsigned long parsed = 0;
        if (CAccountFile::ASN1ParseRecord(View(f, at, l.name - at), &record, 1, &parsed) != 0 || parsed != 1 ||
            record.tag != '2')
            return false;
        size_t length = size_t(record.value.data - (f.data() + at)) + record.value.length;
        u.record.assign(f.begin() + at, f.begin() + at + length);
        at += length;
        users.push_back(u);
    }
    for (User& u : users)
    {
        ASN1 record{};
        CAccountFile::ASN1ParseRecord(View(u.record, 0, u.record.size()), &record, 1);
        if (CAccountFile::ParseExactly(record.value, u.parts, 4, '6') != 0)
            return false;
    }
    return true;
}

void PrintUsers(const Bytes& f, const Layout& l, std::vector<User>& users, const Secrets& s)
{
    Bytes names, rights;
    ASN1 none{};
    std::vector<ASN1> nameList(users.size() + 1, none), rightList(users.size() + 1, none);
    if (!OpenList(f, l.nameList, l.right, s.dbKey, names) ||
        CAccountFile::ParseExactly(View(names, 0, names.size()), nameList.data(), users.size(), '3') != 0)
        Problem("name list does not open with the database key");
    if (!OpenList(f, l.rightList, f.size(), s.adminPassword, rights) ||
        CAccountFile::ParseExactly(View(rights, 0, rights.size()), rightList.data(), users.size(), '4') != 0)
        Problem("rights list does not open with the administrator password");
    for (size_t i = 0; i < users.size(); ++i)
    {
        std::string name = nameList[i].value.data ? std::string(nameList[i].value.data, nameList[i].value.data + nameList[i].value.length) : "?";
        unsigned long listed = rightList[i].value.length == 4 ? Le32(Copy(rightList[i].value), 0) : 0;
        tagSTREAMBUF out{}, mask{};
        unsigned long signedMask = 0;
        bool verified = CAccountManager::RSAPublicDecrypt(users[i].parts[1].value, out, View(s.adminPublic, 0, s.adminPublic.size())) == 0;
        Bytes sig = Take(out);
        verified = verified && CAccountManager::VerifyData(View(sig, 0, sig.size()), mask) == 0 && mask.length == 4;
        if (verified)
            signedMask = Le32(Copy(mask), 0);
        printf("user %zu name \"%s\" right 0x%08lx signed 0x%08lx admin-key %s\n", i, name.c_str(), listed,
               signedMask, users[i].parts[3].value.length ? "yes" : "no");
        unsigned char digest[16];
        CHashMD5::Digest(name.data(), uint32_t(name.size()), digest);
        if (nameList[i].value.data && Bytes(digest, digest + 16) != users[i].digest)
            Problem("index slot " + std::to_string(i) + " is not the digest of its name");
        if (!verified)
            Problem("right signature of user " + std::to_string(i) + " does not verify");
        else if (rightList[i].value.data && signedMask != listed)
            Problem("signed and listed rights of user " + std::to_string(i) + " differ");
    }
}
} // namespace

const char kUsage[] = "usage: pwdump [--file PATH] [--] PASSWORD\n"
                      "Prints an account file's sections, users and rights and checks its structure,\n"
                      "given the password of an administrator in it. Exit status 0 when it is sound.\n";

int main(int argc, char** argv)
{
    if (argc == 2 && (strcmp(argv[1], "-h") == 0 || strcmp(argv[1], "--help") == 0))
    {
        fputs(kUsage, stdout);
        return 0;
    }
    std::string path = CAccountFile::szAccountDataBase;
    int at = 1;
    if (argc >= 3 && strcmp(argv[1], "--file") == 0)
    {
        path = argv[2];
        at = 3;
    }
    // After "--" even a password that looks like an option is taken.
    if (at < argc && strcmp(argv[at], "--") == 0)
        ++at;
    if (argc != at + 1)
    {
        fputs(kUsage, stderr);
        return 2;
    }
    Bytes password(argv[at], argv[at] + strlen(argv[at]));
    std::ifstream in(path, std::ios::binary);
    if (!in)
    {
        fprintf(stderr, "pwdump: cannot open %s\n", path.c_str());
        return 1;
    }
    Bytes f((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    printf("file %s, %zu bytes\n", path.c_str(), f.size());
    Layout l{};
    if (!ReadLayout(f, l))
    {
        Problem("header or section table is damaged");
        return 1;
    }
    printf("version 0x%08x, users %u\n", l.version, l.count);
    printf("section index offset %u size %u\n", l.index, l.user - l.index);
    printf("section user offset %u size %u\n", l.user, l.name - l.user);
    printf("section name offset %u size %u list %u capacity %u\n", l.name, l.right - l.name, l.nameList,
           l.right - l.nameList);
    printf("section right offset %u list %u\n", l.right, l.rightList);
    if (l.version != CAccountFile::kVersion)
        Problem("unknown version");
    std::vector<User> users;
    Secrets secrets;
    if (!ReadUsers(f, l, users))
        Problem("user records are damaged");
    else if (!Unlock(f, l, users, password, secrets))
        Problem("the password opens no administrator's key ring");
    else
    {
        printf("administrator: user %ld\n", secrets.admin);
        CheckKeyPair(secrets.userPublic, secrets.userPrivate, "user " + std::to_string(secrets.admin) + "'s");
        CheckKeyPair(secrets.adminPublic, secrets.adminPrivate, "the administrators'");
        PrintUsers(f, l, users, secrets);
    }
    printf("structure %s\n", g_nProblems ? "damaged" : "ok");
    return g_nProblems ? 1 : 0;
}
