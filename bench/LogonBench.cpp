// Time to log one user on (credential decode, index lookup, key ring
// decryption and right check) with 10, 100 and 1000 accounts, and the size
// of the account file at each.
//
//   logon_bench [file]   (default: /tmp/logon-bench.pwd; the file is replaced)

#include "CAccountManager.h"
#include "CRandom.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace
{
std::string Credential(const std::string& name, const std::string& password)
{
    std::vector<unsigned char> text(name.begin(), name.end());
    unsigned char salt[4] = {7, 7, 7, 7}, key[8];
    CXCrypt::DeriveKey({uint32_t(text.size()), text.data()}, {4, salt}, 9, key);
    std::vector<unsigned char> plain(password.begin(), password.end());
    tagSTREAMBUF in{uint32_t(plain.size()), plain.data()}, cipher{};
    CXCrypt::DES_encode(key, in, cipher, true);
    text.push_back('@');
    text.insert(text.end(), salt, salt + 4);
    text.push_back(9);
    text.push_back(0);
    text.insert(text.end(), cipher.data, cipher.data + cipher.length);
    FreeStreamBuf(cipher);
    std::string out(text.size() * 2, '\0');
    unsigned long length = out.size();
    CRandom::ByteToR64(reinterpret_cast<unsigned char*>(&out[0]), length, text.data(), text.size());
    out.resize(length);
    return out;
}
} // namespace

int main(int argc, char** argv)
{
    const char* path = argc > 1 ? argv[1] : "/tmp/logon-bench.pwd";
    CAccountManager am;
    CAccountManager::m_AccountDataBase = path;
    if (am.Init("admin", "secret") != 0)
    {
        fprintf(stderr, "logon_bench: cannot make %s\n", path);
        return 1;
    }
    void* admin = nullptr;
    am.LoginUser("admin", "secret", &admin);
    unsigned long accounts = 1;
    const int kRounds = 200;
    printf("%8s %12s %14s\n", "accounts", "file bytes", "logon us");
    for (unsigned long target : {10ul, 100ul, 1000ul})
    {
        for (; accounts < target; ++accounts)
        {
            std::string name = "user" + std::to_string(accounts);
            if (am.AddUser(admin, name.c_str(), "password", 0x10) != 0)
            {
                fprintf(stderr, "logon_bench: adding %s failed\n", name.c_str());
                return 1;
            }
        }
        // The last account is the deepest in the index and the user table.
        std::string credential = Credential("user" + std::to_string(accounts - 1), "password");
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kRounds; ++i)
        {
            CXCrypt decoder;
            void* user = nullptr;
            if (!decoder.DecodeUserProfile(credential.c_str()) ||
                am.LoginUser(decoder.m_strUser, decoder.m_strPassword, &user) != 0)
            {
                fprintf(stderr, "logon_bench: logon failed\n");
                return 1;
            }
            am.LogoutUser(user);
        }
        double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
        struct stat info;
        stat(path, &info);
        printf("%8lu %12lld %14.1f\n", accounts, static_cast<long long>(info.st_size), us / kRounds);
    }
    am.LogoutUser(admin);
    return 0;
}
