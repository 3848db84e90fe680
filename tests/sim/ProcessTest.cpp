// The simulator as processes meet it: one state shared under a lock, the
// preloaded library in front of the C library, and the control program.

#include "SimDriver.h"
#include "SimHelpers.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zelsim;
using simtest::LoadPreset;
using simtest::Shell;
using simtest::Sim;
using simtest::Snapshot;

namespace
{
std::string ReadAll(FILE* f)
{
    std::string text;
    int c;
    while ((c = fgetc(f)) != EOF)
        text += static_cast<char>(c);
    fclose(f);
    return text;
}

class Processes : public ::testing::Test
{
protected:
    void SetUp() override { LoadPreset("two-adapters"); }
};

TEST_F(Processes, ChangesOfConcurrentProcessesAreAllKept)
{
    const int kChildren = 3;
    const int kRounds = 100;
    for (int c = 0; c < kChildren; c++)
    {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
        {
            for (int i = 0; i < kRounds; i++)
                UpdateState([](SimState& s) { s.settings.readThreshold++; });
            _exit(0);
        }
    }
    for (int c = 0; c < kChildren; c++)
    {
        int status = 0;
        wait(&status);
        EXPECT_EQ(status, 0);
    }
    EXPECT_EQ(Snapshot()->settings.readThreshold, 100u + kChildren * kRounds);
}

TEST_F(Processes, ControlProgramAndStateAgree)
{
    int status = 0;
    Shell("zelsim fail-disk 0 1", &status);
    ASSERT_EQ(status, 0);
    auto s = Snapshot();
    EXPECT_TRUE(s->arrays[0].blFlag & ARRAY_DEGRADED);
    std::string events = Shell("zelsim events");
    EXPECT_NE(events.find("id 0x80000100, level 2, params 1"), std::string::npos) << events;
    EXPECT_NE(events.find("id 0x40000001, level 0, params 0 7"), std::string::npos) << events;
    Shell("zelsim fail-disk 0 9", &status);
    EXPECT_NE(status, 0);
    Shell("zelsim bogus", &status);
    EXPECT_NE(status, 0);
}

TEST_F(Processes, DevicesListingFollowsTheDriver)
{
    struct
    {
        const char* command;
        const char* line; // expected, or null for no driver line
    } const rows[] = {
        {"zelsim driver ok", "\n253 zel_st\n"},
        {"zelsim driver low-major", "\n 60 zel_st\n"},
        {"zelsim driver major 300", "\n300 zel_st\n"},
        {"zelsim driver none", nullptr},
    };
    for (const auto& r : rows)
    {
        int status = 0;
        Shell(r.command, &status);
        ASSERT_EQ(status, 0) << r.command;
        FILE* f = fopen("/proc/devices", "r");
        ASSERT_NE(f, nullptr);
        std::string text = ReadAll(f);
        EXPECT_NE(text.find("Block devices:\n"), std::string::npos);
        if (r.line)
            EXPECT_NE(text.find(r.line), std::string::npos) << r.command << "\n" << text;
        else
            EXPECT_EQ(text.find("zel_st"), std::string::npos) << text;
    }
}

TEST_F(Processes, NodeIsCheckedAndAnswers)
{
    EXPECT_EQ(open("/dev/zeldev", O_RDWR), -1) << "no node yet";
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(unlink("/dev/zeldev"), -1);
    ASSERT_EQ(mknod("/dev/zeldev", S_IFBLK | 0644, 253 << 8), 0);
    EXPECT_EQ(mknod("/dev/zeldev", S_IFBLK | 0644, 253 << 8), -1);
    EXPECT_EQ(errno, EEXIST);
    int fd = open("/dev/zeldev", O_RDWR);
    ASSERT_GE(fd, 0);
    StructNUMBER n = {0};
    EXPECT_EQ(ioctl(fd, IOCTL_NUM_CONTROLLER, &n), 0);
    EXPECT_EQ(n.number, 2u);
    EXPECT_EQ(ioctl(fd, 0x4002, &n), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(close(fd), 0);

    ASSERT_EQ(unlink("/dev/zeldev"), 0);
    ASSERT_EQ(mknod("/dev/zeldev", S_IFBLK | 0644, makedev(254, 0)), 0);
    EXPECT_EQ(open("/dev/zeldev", O_RDWR), -1) << "wrong major";
    EXPECT_EQ(errno, ENXIO);
    ASSERT_EQ(unlink("/dev/zeldev"), 0);
    ASSERT_EQ(mknod("/dev/zeldev", S_IFCHR | 0644, 253 << 8), 0);
    EXPECT_EQ(open("/dev/zeldev", O_RDWR), -1) << "not a block device";
    EXPECT_EQ(Snapshot()->counters.badMknods, 2u);
}

TEST_F(Processes, OtherPathsAndDescriptorsPassThrough)
{
    const char* path = "/tmp/zelsim-pass-through";
    int fd = open(path, O_CREAT | O_RDWR | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "abc", 3), 3);
    struct stat st;
    ASSERT_EQ(fstat(fd, &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    int pipefd[2];
    ASSERT_EQ(pipe(pipefd), 0);
    ASSERT_EQ(write(pipefd[1], "xy", 2), 2);
    int pending = 0;
    EXPECT_EQ(ioctl(pipefd[0], FIONREAD, &pending), 0);
    EXPECT_EQ(pending, 2);
    close(pipefd[0]);
    close(pipefd[1]);
    close(fd);
    FILE* f = fopen(path, "r");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ReadAll(f), "abc");
    EXPECT_EQ(unlink(path), 0);
    EXPECT_EQ(access(path, F_OK), -1);
    EXPECT_EQ(mknod("/tmp/zelsim-fifo", S_IFIFO | 0600, 0), 0);
    EXPECT_EQ(unlink("/tmp/zelsim-fifo"), 0);
}

TEST_F(Processes, ScsiWritesAreRecordedAndMountsConfigured)
{
    FILE* f = fopen("/proc/scsi/scsi", "w");
    ASSERT_NE(f, nullptr);
    const char text[] = "scsi add-single-device 0 0 2 0";
    ASSERT_EQ(fwrite(text, 1, sizeof(text), f), sizeof(text));
    fclose(f);
    auto s = Snapshot();
    ASSERT_EQ(s->numScsi, 1u);
    EXPECT_EQ(s->scsi[0].length, 31u);
    EXPECT_EQ(std::string(s->scsi[0].text, 31), std::string(text, 31));
    EXPECT_EQ(Shell("zelsim scsi"), "scsi add-single-device 0 0 2 0\\0\n");

    int status = 0;
    Shell("zelsim mount '/dev/sdb1 /data ext4 rw 0 0\n'", &status);
    ASSERT_EQ(status, 0);
    f = fopen("/proc/mounts", "r");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ReadAll(f), "/dev/sdb1 /data ext4 rw 0 0\n");
}

TEST_F(Processes, InjectedFaultsLastTheirCount)
{
    int status = 0;
    Shell("zelsim fault 4003 fail 2", &status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(mknod("/dev/zeldev", S_IFBLK | 0644, 253 << 8), 0);
    int fd = open("/dev/zeldev", O_RDWR);
    ASSERT_GE(fd, 0);
    StructNUMBER n = {0};
    EXPECT_EQ(ioctl(fd, IOCTL_NUM_CONTROLLER, &n), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(ioctl(fd, IOCTL_NUM_CONTROLLER, &n), -1);
    EXPECT_EQ(ioctl(fd, IOCTL_NUM_CONTROLLER, &n), 0);
    EXPECT_EQ(n.number, 2u);

    Shell("zelsim fault 4004 garbage 1", &status);
    ASSERT_EQ(status, 0);
    auto f = std::make_unique<IOCTL_ARRAYS_FRAME>();
    memset(f.get(), 0, sizeof(*f));
    EXPECT_EQ(ioctl(fd, IOCTL_GET_ARRAYS, f.get()), 0);
    EXPECT_NE(f->ReturnCode, RC_DONE);
    EXPECT_EQ(ioctl(fd, IOCTL_GET_ARRAYS, f.get()), 0);
    EXPECT_EQ(f->ReturnCode, RC_DONE);

    Shell("zelsim busy on", &status);
    EXPECT_EQ(ioctl(fd, IOCTL_CHECK_BUSY, &n), 0);
    EXPECT_EQ(n.number, 1u);
    close(fd);
    Shell("zelsim fault 4002 fail 1", &status);
    EXPECT_NE(status, 0) << "unused codes cannot be armed";
}

TEST_F(Processes, StateLivesInTheSandboxAndItsAbsenceMeansNoDriver)
{
    EXPECT_EQ(StatePath().rfind("/run/tavrine-sandbox/", 0), 0u) << StatePath();
    std::string saved = StatePath();
    setenv("ZELSIM_STATE", "/tmp/no-such-state", 1);
    EXPECT_EQ(fopen("/proc/devices", "r"), nullptr);
    EXPECT_EQ(open("/dev/zeldev", O_RDWR), -1);
    int status = 0;
    Shell("zelsim show 2>/dev/null", &status);
    EXPECT_NE(status, 0);
    setenv("ZELSIM_STATE", saved.c_str(), 1);
    EXPECT_NE(Shell("zelsim show").find("driver loaded"), std::string::npos);
}

TEST_F(Processes, LibraryReadsWhatShowPrints)
{
    const char* compare = "zelprobe > /tmp/probe && zelsim show | grep -E '^(adapter|disk|array)' > /tmp/show && "
                          "diff /tmp/probe /tmp/show";
    for (const char* change : {"true", "zelsim set hot-spares 0 && zelsim fail-disk 0 4", "zelsim remove-disk 1 2",
                               "zelsim insert-disk 1 2 'ZELSIM NEW DISK' 78165360",
                               "zelsim set hot-spares 1 && zelsim fail-disk 0 0 && zelsim step 35"})
    {
        int status = 0;
        Shell(change, &status);
        ASSERT_EQ(status, 0) << change;
        std::string diff = Shell(compare, &status);
        EXPECT_EQ(status, 0) << change << "\n" << diff;
    }
    std::string show = Shell("zelsim show");
    EXPECT_NE(show.find("disk 0.7: \"ZELSIM HD-80G\", 156301488 sectors, member of array 0, needs rebuild"),
              std::string::npos)
        << show;
    EXPECT_NE(show.find("array 0: \"System\", mirror, 78156225 sectors, stripe 64, critical, members 7 1, rebuild 35%"),
              std::string::npos)
        << show;
}
} // namespace
