#include "CAccountManager.h"
#include "StatusWords.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

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
} // namespace
