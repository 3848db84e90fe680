// halsenctl --user: where the password comes from, and that nothing but
// ping and the root is served without a good logon.

#include "LogonFixture.h"
#include "TmuxSession.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <sys/wait.h>

namespace
{
using namespace logontest;

struct CtlRun
{
    int status;
    std::string out;
};

// Runs halsenctl through the shell, prefixed by environment (an env or
// setsid command line).
CtlRun Halsenctl(const std::string& environment, const std::string& arguments)
{
    const std::string command = environment + std::string(TAVRINE_BUILD_DIR) + "/client/halsenctl --timeout 2000 " +
                                arguments + " </dev/null 2>&1";
    CtlRun run{-1, ""};
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return run;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        run.out.append(buf.data(), n);
    const int rc = pclose(p);
    run.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return run;
}

class HalsenctlTest : public AgentFixture
{
};

TEST_F(HalsenctlTest, TheUserIsLoggedOnBeforeTheRequests)
{
    std::ofstream("/tmp/good") << kAdminPassword << "\n";
    std::ofstream("/tmp/bad") << "not-it\n";
    const struct
    {
        const char* what;
        std::string arguments;
        int status;
        const char* shown;
    } cases[] = {
        {"password file", "--user admin --password-file /tmp/good send 'cd Users' dir", 0, "data    admin@or-@13\n"},
        {"environment", "--user admin send 'cd Users' dir", 0, "data    admin@or-@13\n"},
        {"file before environment", "--user admin --password-file /tmp/bad send dir", 3,
         "halsenctl: logon of admin refused: 802@Access Denied\n"},
        {"missing file", "--user admin --password-file /tmp/none send dir", 3,
         "halsenctl: cannot read the password file /tmp/none"},
        {"no terminal to ask", "--user admin send dir", 3, "halsenctl: no terminal to ask for the password"},
        {"no logon", "send 'cd \\\\' dir", 3, "notice  8192\n"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        const std::string environment = std::string(c.what) == "no terminal to ask"
                                            ? "env -u HALSEN_PASSWORD setsid "
                                            : std::string("env HALSEN_PASSWORD=") + kAdminPassword + " ";
        const CtlRun result = Halsenctl(environment, c.arguments);
        EXPECT_EQ(result.status, c.status) << result.out;
        EXPECT_NE(result.out.find(c.shown), std::string::npos) << result.out;
    }
}
// Asked on its terminal, the password is not echoed, and the terminal
// echoes again once it is read.
TEST_F(HalsenctlTest, ThePasswordTypedOnTheTerminalIsNotShown)
{
    tmuxtest::TmuxSession tty("env -u HALSEN_PASSWORD " + std::string(TAVRINE_BUILD_DIR) +
                              "/client/halsenctl --user admin send 'cd Users' dir; read -p 'again: ' x; echo got $x");
    ASSERT_TRUE(tty.Started());
    EXPECT_SCREEN(tty, "Password:");
    tty.Type(kAdminPassword);
    tty.Keys({"Enter"});
    EXPECT_SCREEN(tty, "data    admin@or-@13");
    EXPECT_EQ(tty.Screen().find(kAdminPassword), std::string::npos) << tty.Screen();
    tty.Type("visible");
    EXPECT_SCREEN(tty, "again: visible");
    tty.Keys({"Enter"});
    EXPECT_SCREEN(tty, "got visible");
}
} // namespace
