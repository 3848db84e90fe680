#include "CAccountFile.h"
#include "CAccountManager.h"
#include "StatusWords.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace
{
struct CommandResult
{
    int status;
    std::string out;
};

CommandResult Command(const std::string& command)
{
    CommandResult run{-1, ""};
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p)
        return run;
    std::array<char, 4096> chunk;
    for (size_t n; (n = fread(chunk.data(), 1, chunk.size(), p)) > 0;)
        run.out.append(chunk.data(), n);
    int status = pclose(p);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

const std::string kAgent = std::string(TAVRINE_BUILD_DIR) + "/agent/dorvik";
const std::string kDump = std::string(TAVRINE_BUILD_DIR) + "/tools/pwdump/pwdump";

TEST(InitAndDump, TheInspectionToolReadsWhatInitAndTheOperationsWrote)
{
    Command("touch /etc/tavrine/Dorvik.rc");
    CommandResult init = Command(kAgent + " --init admin secret");
    ASSERT_EQ(init.status, 0) << init.out;
    CommandResult dump = Command(kDump + " secret");
    EXPECT_EQ(dump.status, 0) << dump.out;
    EXPECT_NE(dump.out.find("version 0x00010000, users 1\n"), std::string::npos) << dump.out;
    EXPECT_NE(dump.out.find("section index offset 64 size 256\n"), std::string::npos) << dump.out;
    EXPECT_NE(dump.out.find("user 0 name \"admin\" right 0xf7ffffff signed 0xf7ffffff admin-key yes\n"),
              std::string::npos)
        << dump.out;
    EXPECT_NE(dump.out.find("structure ok\n"), std::string::npos);

    CAccountManager am;
    void* admin = nullptr;
    ASSERT_EQ(am.LoginUser("admin", "secret", &admin), S_OK);
    ASSERT_EQ(am.AddUser(admin, "worker", "w", 0x100), S_OK);
    void* worker = nullptr;
    EXPECT_EQ(am.LoginUser("worker", "wrong", &worker), E_FAIL);
    EXPECT_EQ(am.LoginUser("worker", "w", &worker), S_OK);
    dump = Command(kDump + " secret");
    EXPECT_EQ(dump.status, 0) << dump.out;
    EXPECT_NE(dump.out.find("user 1 name \"worker\" right 0x00000101 signed 0x00000101 admin-key no\n"),
              std::string::npos)
        << dump.out;
    // An ordinary user's password opens no administrator key ring.
    EXPECT_EQ(Command(kDump + " w").status, 1);
    EXPECT_EQ(Command(kDump).status, 2);
    am.LogoutUser(worker);
    am.LogoutUser(admin);
}

TEST(InitAndDump, TheToolReportsDamage)
{
    CAccountManager am;
    ASSERT_EQ(am.Init("admin", "secret"), S_OK);
    // Flip the first salt byte of the name list's envelope: the list then
    // either fails its padding check or yields a name unlike its digest.
    FILE* f = fopen("/etc/tavrine/ZELRAID.PWD", "r+");
    ASSERT_NE(f, nullptr);
    fseek(f, 16736 + 14, SEEK_SET);
    int c = fgetc(f);
    fseek(f, 16736 + 14, SEEK_SET);
    fputc(c ^ 0x55, f);
    fclose(f);
    CommandResult dump = Command(kDump + " secret");
    EXPECT_EQ(dump.status, 1) << dump.out;
    EXPECT_NE(dump.out.find("structure damaged\n"), std::string::npos) << dump.out;
}

TEST(InitAndDump, HelpIsUsageAndAnyPasswordCanStillBeGiven)
{
    CAccountManager am;
    ASSERT_EQ(am.Init("admin", "secret"), S_OK);
    const struct
    {
        const char* args;
        int status;
        const char* shown;
    } cases[] = {
        {" -h", 0, "usage: pwdump [--file PATH] [--] PASSWORD\n"},
        {" --help", 0, "usage: pwdump [--file PATH] [--] PASSWORD\n"},
        {" -- -h", 1, "the password opens no administrator's key ring"},
        {" -- secret", 0, "structure ok\n"},
        {" --file /etc/tavrine/ZELRAID.PWD -- secret", 0, "structure ok\n"},
        {" -h secret", 2, "usage: pwdump"},
        {"", 2, "usage: pwdump"},
    };
    for (const auto& c : cases)
    {
        CommandResult dump = Command(kDump + c.args);
        EXPECT_EQ(dump.status, c.status) << c.args << "\n" << dump.out;
        EXPECT_NE(dump.out.find(c.shown), std::string::npos) << c.args << "\n" << dump.out;
    }
}

// Opens the key ring of the file's first user with its password, sets the
// byte at offset of its key at index, and seals the ring back in place.
void AlterKeyRing(const char* password, int index, size_t offset, unsigned char value)
{
    std::vector<unsigned char> file;
    {
        std::ifstream in("/etc/tavrine/ZELRAID.PWD", std::ios::binary);
        file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ASSERT_GT(file.size(), 1000u);
    ASN1 record{}, parts[4]{}, keys[4]{};
    ASSERT_EQ(CAccountFile::ParseExactly(tagSTREAMBUF{uint32_t(file.size() - 320), file.data() + 320}, &record, 1, '2'),
              S_OK);
    ASSERT_EQ(CAccountFile::ParseExactly(record.value, parts, 4, '6'), S_OK);
    tagSTREAMBUF key{uint32_t(strlen(password)), reinterpret_cast<unsigned char*>(const_cast<char*>(password))};
    tagSTREAMBUF ring{};
    ASSERT_EQ(CAccountManager::AM_DES_decode(key, parts[0].value, ring), S_OK);
    ASSERT_EQ(CAccountFile::ParseExactly(tagSTREAMBUF{ring.length - 1, ring.data}, keys, 4, '5'), S_OK);
    ASSERT_LT(offset, keys[index].value.length);
    keys[index].value.data[offset] = value;
    // The envelope's salt has a random length; the ring is sealed again
    // until it takes the room of the old one.
    tagSTREAMBUF plain{ring.length - 1, ring.data}, sealed{};
    for (int i = 0; i < 500 && sealed.length != parts[0].value.length; ++i)
    {
        FreeStreamBuf(sealed);
        ASSERT_EQ(CAccountManager::AM_DES_encode(key, plain, sealed), S_OK);
    }
    ASSERT_EQ(sealed.length, parts[0].value.length);
    memcpy(parts[0].value.data, sealed.data, sealed.length);
    FreeStreamBuf(sealed);
    FreeStreamBuf(ring);
    std::ofstream("/etc/tavrine/ZELRAID.PWD", std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
}

TEST(InitAndDump, TheToolReportsADamagedKeyRing)
{
    const struct
    {
        const char* what;
        int key;
        size_t offset;
        unsigned char value;
        const char* problem;
    } cases[] = {
        // The key ring: database key, public key, private key, the
        // administrators' public key. A key record: bit count, modulus,
        // public exponent.
        {"private modulus", 2, 4 + 127, 0x01, "problem: user 0's key ring: public and private moduli differ\n"},
        {"public modulus", 1, 4 + 64, 0xAA, "problem: user 0's key ring: public and private moduli differ\n"},
        {"public exponent", 1, 4 + 128 + 127, 0x03, "problem: user 0's key ring: public exponent is not 65537\n"},
        {"private's exponent", 2, 4 + 128 + 100, 0x01, "problem: user 0's key ring: public exponent is not 65537\n"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        CAccountManager am;
        ASSERT_EQ(am.Init("admin", "secret"), S_OK);
        ASSERT_EQ(Command(kDump + " secret").status, 0);
        AlterKeyRing("secret", c.key, c.offset, c.value);
        CommandResult dump = Command(kDump + " secret");
        EXPECT_EQ(dump.status, 1) << dump.out;
        EXPECT_NE(dump.out.find(c.problem), std::string::npos) << dump.out;
        EXPECT_NE(dump.out.find("structure damaged\n"), std::string::npos) << dump.out;
    }
}
} // namespace
