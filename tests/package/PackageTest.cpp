#include "CProfile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
const std::string kLibDir = TAVRINE_LIBDIR;
const std::string kPrefix = TAVRINE_PREFIX;

// Runs a shell command and returns its standard output; fails the test on
// a non-zero exit status.
std::string Shell(const std::string& command)
{
    std::string out;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0)
        out.append(buf, n);
    const int status = pclose(pipe);
    EXPECT_EQ(status, 0) << command << "\n" << out;
    return out;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

bool Exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// The package installed into a fresh root with its own dpkg database; the
// maintainer scripts see that root as $DPKG_ROOT and leave the machine's
// own systemd alone.
class PackageTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        char dir[] = "/tmp/package-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        s_root = dir;
        const std::string deb = Shell("ls " TAVRINE_PACKAGE_DIR "/tavrine_*.deb");
        ASSERT_EQ(Lines(deb).size(), 1u) << deb;
        Shell("mkdir -p " + Root("/var/lib/dpkg/info") + " " + Root("/var/lib/dpkg/updates") + " && touch " +
            Root("/var/lib/dpkg/status"));
        Shell(Dpkg() + " --force-depends -i " + Lines(deb)[0]);
    }

    static void TearDownTestSuite() { Shell("rm -rf " + s_root); }

    static std::string Dpkg()
    {
        return "dpkg --root=" + s_root + " --force-script-chrootless --log=/dev/null";
    }

    static std::string Root(const std::string& path) { return s_root + path; }

    // Files and links the package holds, directories left out.
    static std::set<std::string> PackagedFiles()
    {
        std::set<std::string> files;
        for (const std::string& path : Lines(Shell(Dpkg() + " -L tavrine")))
        {
            struct stat st;
            if (lstat(Root(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
                files.insert(path);
        }
        return files;
    }

    static std::string s_root;
};

std::string PackageTest::s_root;
} // namespace

TEST_F(PackageTest, HoldsTheProductAndNothingElse)
{
    const std::set<std::string> expected = {
        kPrefix + "/sbin/dorvik",
        kPrefix + "/sbin/velcon",
        kPrefix + "/bin/halsenctl",
        kPrefix + "/sbin/halsend",
        kPrefix + "/lib/systemd/system/halsend.service",
        kPrefix + "/share/man/man8/halsend.8",
        kPrefix + "/share/tavrine/halsend-alerts.yml",
        "/etc/tavrine/halsend.conf",
        kLibDir + "/libvoska.so.1",
        kLibDir + "/libvoska.so.1.30.10",
        kLibDir + "/libmvraidapi.so",
        kLibDir + "/libmvraidapi.so.1",
        kLibDir + "/libmvraidapi.so.1.30.10",
        kLibDir + "/libmvraid.so",
        kPrefix + "/include/Raidapi.h",
        kPrefix + "/lib/systemd/system/dorvik.service",
        kPrefix + "/share/man/man8/dorvik.8",
        kPrefix + "/share/man/man8/velcon.8",
        kPrefix + "/share/man/man1/halsenctl.1",
        "/etc/tavrine/Dorvik.rc",
        "/etc/tavrine/velcon.hlp",
        "/etc/logrotate.d/tavrine",
    };
    EXPECT_EQ(PackagedFiles(), expected);
    struct stat st;
    ASSERT_EQ(stat(Root("/var/log/tavrine/misc").c_str(), &st), 0) << "the agent does not make its misc log folder";
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(PackageTest, EtcFilesAreConffilesAndDependenciesAreDeclared)
{
    const std::string fields =
        Shell("dpkg-query --admindir=" + Root("/var/lib/dpkg") + " -W -f='${Depends}\\n${Conffiles}\\n' tavrine");
    for (const char* conffile :
         {"/etc/tavrine/Dorvik.rc", "/etc/tavrine/velcon.hlp", "/etc/logrotate.d/tavrine", "/etc/tavrine/halsend.conf"})
        EXPECT_NE(fields.find(conffile), std::string::npos) << fields;
    EXPECT_NE(fields.find("libc6"), std::string::npos) << fields;
    EXPECT_NE(fields.find("libssl"), std::string::npos) << fields;
}

TEST_F(PackageTest, ExampleProfileLoadsTheShippedPluginAndKeepsItsCommentsInert)
{
    const std::string path = Root("/etc/tavrine/Dorvik.rc");
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "the profile holds the agent identity";

    // A note line holding "=" or "[" would read as an entry or a section.
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
    {
        if (!line.empty() && line[0] == '#')
        {
            EXPECT_EQ(line.find_first_of("=[]"), std::string::npos) << line;
        }
    }

    CProfile profile(path.c_str());
    int devices = 0, logs = 0;
    CString device, plugin;
    profile.GetProfile("Morliven", "NumOfDevice", &devices);
    profile.GetProfile("Morliven", "Device1", device);
    profile.GetProfile("Morliven", "Path1", plugin);
    profile.GetProfile("LogFile", "MaxNumber", &logs);
    EXPECT_EQ(devices, 1);
    EXPECT_STRNE(device.GetBuffer(), "");
    EXPECT_EQ(std::string(plugin.GetBuffer()), kLibDir + "/libmvraid.so");
    EXPECT_TRUE(Exists(Root(plugin.GetBuffer())));
    EXPECT_GT(logs, 0);
}

TEST_F(PackageTest, InstalledProgramsRunOnTheShippedLibraries)
{
    const std::string env = "LD_LIBRARY_PATH=" + Root(kLibDir) + " ";
    EXPECT_NE(Shell(env + Root(kPrefix + "/sbin/dorvik") + " --version").find("current version is : 1.30.10."),
              std::string::npos);
    EXPECT_NE(Shell(env + Root(kPrefix + "/bin/halsenctl") + " --help").find("Usage: halsenctl"), std::string::npos);
    const std::string needed = Shell("readelf -d " + Root(kPrefix + "/sbin/velcon"));
    EXPECT_NE(needed.find("[libmvraidapi.so.1]"), std::string::npos) << needed;
    const std::string unit = Shell("cat " + Root(kPrefix + "/lib/systemd/system/dorvik.service"));
    EXPECT_NE(unit.find("ExecStart=" + kPrefix + "/sbin/dorvik\n"), std::string::npos) << unit;
    EXPECT_NE(Shell(env + Root(kPrefix + "/sbin/halsend") + " --help").find("usage: halsend"), std::string::npos);
    const std::string server = Shell("cat " + Root(kPrefix + "/lib/systemd/system/halsend.service"));
    EXPECT_NE(server.find("ExecStart=" + kPrefix + "/sbin/halsend\n"), std::string::npos) << server;
    EXPECT_NE(server.find("UMask=0077\n"), std::string::npos) << server;
}

// The agent keeps its misc log open, so the rule copies and truncates it.
TEST_F(PackageTest, LogRotationKeepsACopyAndEmptiesTheMiscLog)
{
    Shell("mkdir -p -m 0700 /var/log/tavrine/misc && printf 'line\\n' > /var/log/tavrine/misc/Misc3.log");
    Shell("logrotate -f -s " + Root("/logrotate.state") + " " + Root("/etc/logrotate.d/tavrine"));
    EXPECT_EQ(Shell("cat /var/log/tavrine/misc/Misc3.log.1"), "line\n");
    EXPECT_EQ(Shell("cat /var/log/tavrine/misc/Misc3.log"), "");
}

TEST_F(PackageTest, PurgeLeavesNothingBehind)
{
    // What a running agent would have added.
    Shell("echo account > " + Root("/etc/tavrine/ZELRAID.PWD") + " && echo log > " +
        Root("/var/log/tavrine/misc/Misc1.log"));
    const std::set<std::string> files = PackagedFiles();
    Shell(Dpkg() + " --purge tavrine");
    for (const std::string& file : files)
        EXPECT_FALSE(Exists(Root(file))) << file;
    EXPECT_FALSE(Exists(Root("/etc/tavrine")));
    EXPECT_FALSE(Exists(Root("/var/log/tavrine")));
}
