#include "CAgentDoc.h"
#include "CEmail.h"
#include "CProfile.h"
#include "CSocket.h"
#include "EventsTestSupport.h"
#include "SmtpPeer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
// A misbehaving server: sends `replies[0]` on accepting, then one reply per
// line received; when the replies run out it closes the connection or,
// with `close` false, keeps it open and says nothing more. Each reply but
// the greeting comes `delayMs` after its line.
class ScriptedPeer
{
public:
    ScriptedPeer(std::vector<std::string> replies, bool close, int delayMs = 0)
        : m_Replies(std::move(replies)), m_bClose(close), m_nDelayMs(delayMs)
    {
        m_nListen = socket(AF_INET, SOCK_STREAM, 0);
        int on = 1;
        setsockopt(m_nListen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(25);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(bind(m_nListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        EXPECT_EQ(listen(m_nListen, 4), 0);
        m_Thread = std::thread([this] { Serve(); });
    }

    ~ScriptedPeer()
    {
        m_bStop = true;
        m_Thread.join();
        close(m_nListen);
    }

    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    std::string Received() const { return m_strReceived; }

private:
    bool WaitReadable(int fd)
    {
        pollfd p = {fd, POLLIN, 0};
        while (!m_bStop)
        {
            if (poll(&p, 1, 50) == 1)
                return true;
        }
        return false;
    }

    void Serve()
    {
        if (!WaitReadable(m_nListen))
            return;
        int fd = accept(m_nListen, nullptr, nullptr);
        for (size_t i = 0; i < m_Replies.size(); ++i)
        {
            if (i > 0 && !ReadLine(fd))
                break;
            if (i > 0)
                usleep(m_nDelayMs * 1000);
            send(fd, m_Replies[i].data(), m_Replies[i].size(), MSG_NOSIGNAL);
        }
        if (!m_bClose)
        {
            while (!m_bStop)
                usleep(50000);
        }
        close(fd);
    }

    bool ReadLine(int fd)
    {
        char c = 0;
        while (c != '\n')
        {
            if (!WaitReadable(fd) || recv(fd, &c, 1, 0) != 1)
                return false;
            m_strReceived += c;
        }
        return true;
    }

    std::vector<std::string> m_Replies;
    bool m_bClose;
    int m_nDelayMs;
    int m_nListen = -1;
    std::atomic<bool> m_bStop{false};
    std::string m_strReceived;
    std::thread m_Thread;
};

class EmailTest : public testing::Test
{
protected:
    void SetUp() override
    {
        RequireSandbox();
        m_Mail.m_strSender = "Morliven";
        m_Mail.SetSMTPServer("127.0.0.1");
        m_Mail.SetEmailID("\"Raid Admin\" <admin@example.com>");
        CSocket probe;
        m_strIP = probe.GetLocalIP();
        m_strHost = g_AgentDoc.m_strHostName.GetBuffer();
    }

    bool Send(const char* subject, const char* body)
    {
        testing::internal::CaptureStdout();
        bool sent = m_Mail.SendMessage(subject, body, m_strError);
        m_strOutput = testing::internal::GetCapturedStdout();
        return sent;
    }

    CEmail m_Mail;
    CString m_strError;
    std::string m_strOutput;
    std::string m_strIP;
    std::string m_strHost;
};

TEST_F(EmailTest, DeliversHeadersAndBodyToTheReceiver)
{
    SmtpPeer peer;
    ASSERT_TRUE(m_Mail.AddReceiver("\"Ann\" <ann@example.com>"));
    ASSERT_TRUE(Send("Error-Disk Fail", "12/10/26 08:00:00 Disk 3 failed"));
    EXPECT_STREQ(m_strError, "");
    std::vector<std::string> messages = peer.Messages();
    ASSERT_EQ(messages.size(), 1u);
    std::vector<std::string> lines = Split(messages[0], "\n");
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], "HELO " + m_strHost);
    EXPECT_EQ(lines[1], "MAIL FROM admin@example.com");
    EXPECT_EQ(lines[2], "RCPT TO ann@example.com");
    EXPECT_EQ(lines[3], "DATA");
    std::vector<std::string> content =
        Split(messages[0].substr(messages[0].find("DATA\n") + 5), "\r\n");
    ASSERT_EQ(content.size(), 7u) << messages[0];
    EXPECT_EQ(content[0], "From: \"Raid Admin\" <admin@example.com>");
    EXPECT_EQ(content[1], "To: \"Ann\" <ann@example.com>");
    EXPECT_EQ(content[2], "Subject: Error-Disk Fail");
    EXPECT_EQ(content[3].substr(0, 6), "Date: ");
    EXPECT_EQ(content[3].size(), 6u + 24u) << content[3];
    EXPECT_EQ(content[4], "");
    EXPECT_EQ(content[5], "Message from Morliven at " + m_strHost + " (" + m_strHost + "), IP=<" +
                              m_strIP + ">");
    EXPECT_EQ(content[6], "12/10/26 08:00:00 Disk 3 failed");
}

TEST_F(EmailTest, WithoutEmailIdTheSenderNameSigns)
{
    SmtpPeer peer;
    m_Mail.SetEmailID("");
    ASSERT_TRUE(m_Mail.AddReceiver("<ann@example.com>"));
    ASSERT_TRUE(Send("Information-Test", "body"));
    std::vector<std::string> messages = peer.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("MAIL FROM Morliven@" + m_strHost + "\n"), std::string::npos)
        << messages[0];
    EXPECT_NE(
        messages[0].find("From: \"Morliven at IP" + m_strIP + "\"<Morliven@" + m_strHost + ">\r\n"),
        std::string::npos)
        << messages[0];
}

struct BodyCase
{
    std::string body;
    std::string received;
};

// Every body line that begins with "." reaches the server as it was, and
// no line ends the message early; lines too long for a server are broken.
TEST_F(EmailTest, BodyReachesTheServerWhole)
{
    const std::string a997(997, 'a');
    const std::vector<BodyCase> cases = {
        {".", "."},
        {".start", ".start"},
        {"a\r\n.\r\nb", "a\r\n.\r\nb"},
        {"a\r\n..b\r\n.c", "a\r\n..b\r\n.c"},
        {"a\r\n.", "a\r\n."},
        {"x\r\n\r\n.\r\nQUIT", "x\r\n\r\n.\r\nQUIT"},
        {"no dots. at all.", "no dots. at all."},
        {a997, a997},
        {std::string(2500, 'a'), a997 + "\r\n" + a997 + "\r\n" + std::string(506, 'a')},
        {a997 + ".b\r\n.", a997 + "\r\n.b\r\n."},
    };
    SmtpPeer peer;
    ASSERT_TRUE(m_Mail.AddReceiver("<ann@example.com>"));
    for (const BodyCase& c : cases)
        ASSERT_TRUE(Send("Subject", c.body.c_str())) << c.body << ": " << m_strError;
    std::vector<std::string> messages = peer.Messages();
    ASSERT_EQ(messages.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i)
    {
        size_t first = messages[i].find("IP=<");
        ASSERT_NE(first, std::string::npos);
        std::string received = messages[i].substr(messages[i].find("\r\n", first) + 2);
        EXPECT_EQ(received, cases[i].received + "\r\n") << "case " << i;
    }
}

TEST_F(EmailTest, RefusedReceiverStillLetsTheOthersHaveTheMail)
{
    SmtpPeer peer({"bob@example.com"});
    ASSERT_TRUE(m_Mail.AddReceiver("\"Ann\" <ann@example.com>"));
    ASSERT_TRUE(m_Mail.AddReceiver("\"Bob\" <bob@example.com>"));
    ASSERT_TRUE(m_Mail.AddReceiver("\"Cid\" <cid@example.com>"));
    EXPECT_FALSE(Send("Warning-Hot", "too warm"));
    EXPECT_NE(std::string(m_strError).find("550"), std::string::npos) << m_strError;
    EXPECT_NE(m_strOutput.find("Occur error, when send eMail.\n"), std::string::npos);
    std::vector<std::string> messages = peer.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("RCPT TO ann@example.com\nRCPT TO cid@example.com\nDATA\n"),
              std::string::npos)
        << messages[0];
    EXPECT_NE(
        messages[0].find(
            "To: \"Ann\" <ann@example.com>,\"Bob\" <bob@example.com>,\"Cid\" <cid@example.com>"),
        std::string::npos);
}

// With no receiver accepted the server refuses DATA; the body must then not
// reach it, where its lines would be read as commands.
TEST_F(EmailTest, RefusedDataSendsNoBody)
{
    ScriptedPeer peer({"220 hi\r\n", "250 hello\r\n", "250 ok\r\n", "550 no\r\n",
                       "554 no receivers\r\n", "221 bye\r\n"},
                      true);
    ASSERT_TRUE(m_Mail.AddReceiver("<bob@example.com>"));
    EXPECT_FALSE(Send("Subject", "RSET\r\nMAIL FROM:<x@y.z>"));
    EXPECT_STREQ(m_strError, "550 no");
    std::string received = peer.Received();
    EXPECT_EQ(received, "HELO " + m_strHost +
                            "\r\nMAIL FROM:<admin@example.com>\r\nRCPT TO:<bob@example.com>\r\n"
                            "DATA\r\nQUIT\r\n");
}

struct FailureCase
{
    const char* name;
    std::vector<std::string> replies;
    bool close;
    bool listen;
    const char* error;
};

const FailureCase kFailureCases[] = {
    {"no server", {}, false, false, "Cannot Connect to 127.0.0.1"},
    {"accepts and never answers", {}, false, true, "Time Out waiting for 127.0.0.1"},
    {"greets and then falls silent", {"220 hi\r\n"}, false, true, "Time Out waiting for 127.0.0.1"},
    {"closes after the greeting", {"220 hi\r\n"}, true, true, "Connection closed by 127.0.0.1"},
    {"closes mid-dialogue",
     {"220 hi\r\n", "250 hello\r\n", "250 ok\r\n"},
     true,
     true,
     "Connection closed by 127.0.0.1"},
};

// A server that fails the dialogue makes the send fail within the time
// limits, whatever the way it fails.
TEST_F(EmailTest, BrokenDialoguesFailWithinTheTimeLimit)
{
    ASSERT_TRUE(m_Mail.AddReceiver("<ann@example.com>"));
    ASSERT_TRUE(m_Mail.AddReceiver("<bob@example.com>"));
    for (const FailureCase& c : kFailureCases)
    {
        SCOPED_TRACE(c.name);
        std::unique_ptr<ScriptedPeer> peer(c.listen ? new ScriptedPeer(c.replies, c.close)
                                                    : nullptr);
        auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(Send("Subject", "body"));
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_STREQ(m_strError, c.error);
        EXPECT_LT(seconds, CEmail::kStepSeconds + 2.0);
        std::cout << c.name << ": " << seconds << " s\n";
    }
}

// A server that answers every step just within its limit still cannot hold
// the agent longer than the dialogue's limit.
TEST_F(EmailTest, SlowServerIsGivenUpAtTheDialogueLimit)
{
    const int delayMs = (CEmail::kStepSeconds - 1) * 1000;
    ScriptedPeer peer({"220 hi\r\n", "250 hello\r\n", "250 ok\r\n", "250 ok\r\n", "250 ok\r\n",
                       "250 ok\r\n", "354 go on\r\n", "250 sent\r\n", "221 bye\r\n"},
                      false, delayMs);
    for (const char* r : {"<a@x.y>", "<b@x.y>", "<c@x.y>", "<d@x.y>"})
        ASSERT_TRUE(m_Mail.AddReceiver(r));
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Send("Subject", "body"));
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_STREQ(m_strError, "Time Out waiting for 127.0.0.1");
    EXPECT_GE(seconds, CEmail::kDialogueSeconds - 1.0);
    EXPECT_LT(seconds, CEmail::kDialogueSeconds + 2.0);
    std::cout << "slow server: " << seconds << " s\n";
}

TEST_F(EmailTest, HostNamesAreNotConnected)
{
    SmtpPeer peer;
    ASSERT_TRUE(m_Mail.AddReceiver("<ann@example.com>"));
    m_Mail.SetSMTPServer("localhost");
    EXPECT_FALSE(Send("Subject", "body"));
    EXPECT_STREQ(m_strError, "Cannot Connect to localhost");
    EXPECT_TRUE(peer.Messages().empty());
}

TEST_F(EmailTest, NothingIsSentWithoutReceiversOrServer)
{
    ScriptedPeer peer({}, false);
    EXPECT_TRUE(Send("Subject", "body"));
    ASSERT_TRUE(m_Mail.AddReceiver("<ann@example.com>"));
    m_Mail.SetSMTPServer("");
    EXPECT_TRUE(Send("Subject", "body"));
    EXPECT_STREQ(m_strError, "");
    EXPECT_EQ(peer.Received(), "");
}

struct NormalizeCase
{
    const char* entry;
    bool valid;
    const char* result;
};

const NormalizeCase kNormalizeCases[] = {
    {"Ann Lee <ann@example.com>", true, "\"Ann Lee\" <ann@example.com>"},
    {"   Ann   <  ann@example.com  >  ", true, "\"Ann\" <ann@example.com>"},
    {"\"Ann Lee\" <ann@example.com>", true, "\"Ann Lee\" <ann@example.com>"},
    {"Dr \"Ann\" Lee <ann@example.com>", true, "\"Ann\" <ann@example.com>"},
    {"<ann@example.com>", true, "\"\" <ann@example.com>"},
    {"Ann <annexample.com>", false, nullptr},
    {"Ann <ann@examplecom>", false, nullptr},
    {"Ann <@example.com>", false, nullptr},
    {"Ann <.ann@examplecom>", false, nullptr},
    {"Ann <>", false, nullptr},
    {"Ann <ann@example.com", false, nullptr},
    {"Ann ann@example.com", false, nullptr},
    {"\"Ann <ann@example.com>", false, nullptr},
    {"Ann <ann@example.com\r\nRCPT TO:<x@y.z>>", false, nullptr},
    {"", false, nullptr},
};

TEST(EmailSettingsTest, NormalizeProfileRewritesSoundEntriesOnly)
{
    for (const NormalizeCase& c : kNormalizeCases)
    {
        CString entry(c.entry);
        EXPECT_EQ(CEmail::NormalizeProfile(entry), c.valid) << c.entry;
        if (c.valid)
        {
            EXPECT_STREQ(entry, c.result) << c.entry;
        }
    }
}

TEST(EmailSettingsTest, AddressInsideAnEntry)
{
    const std::pair<const char*, const char*> cases[] = {
        {"\"Ann\" <ann@example.com>", "ann@example.com"},
        {"<a>", "a"},
        {"<>", ""},
        {"ann@example.com", ""},
        {"<ann@example.com", ""},
        {"x> <y>", "y"},
    };
    for (const auto& c : cases)
    {
        CString text(c.first);
        EXPECT_EQ(EmailFromUserProfile(text), *c.second != '\0' || std::string(c.first) == "<>")
            << c.first;
        EXPECT_STREQ(text, c.second) << c.first;
    }
}

TEST(EmailSettingsTest, ReceiversAreKeptOnceInOrder)
{
    RequireSandbox();
    CEmail mail;
    CString list("x");
    mail.ToString(list);
    EXPECT_STREQ(list, "");
    EXPECT_TRUE(mail.AddReceiver("\"A\" <a@x.y>"));
    EXPECT_TRUE(mail.AddReceiver("\"B\" <b@x.y>"));
    EXPECT_FALSE(mail.AddReceiver("\"A\" <a@x.y>"));
    EXPECT_EQ(mail.FindUser("\"B\" <b@x.y>"), 2);
    EXPECT_EQ(mail.FindUser("\"b\" <b@x.y>"), 0);
    mail.ToString(list);
    EXPECT_STREQ(list, "\"A\" <a@x.y>,\"B\" <b@x.y>");
    EXPECT_FALSE(mail.RemoveReceiver("\"C\" <c@x.y>"));
    EXPECT_TRUE(mail.RemoveReceiver("\"A\" <a@x.y>"));
    EXPECT_EQ(mail.FindUser("\"B\" <b@x.y>"), 1);
    mail.ToString(list);
    EXPECT_STREQ(list, "\"B\" <b@x.y>");
    CString server("x");
    EXPECT_FALSE(mail.GetSMTPServer(server));
    EXPECT_STREQ(server, "");
}

std::string Stored(const char* key)
{
    return ProfileValue("E-Mail log", key);
}

// The settings are read when the first object is made and written when the
// last one goes; objects in between share them.
TEST(EmailSettingsTest, SettingsLiveFromTheFirstObjectToTheLast)
{
    RequireSandbox();
    {
        CProfile profile;
        profile.WriteProfile("E-Mail log", "SMTP", "10.0.0.1");
        profile.WriteProfile("E-Mail log", "EmailID", "\"Me\" <me@x.y>");
        profile.WriteProfile("E-Mail log", "NumOfReceiptor", 3);
        profile.WriteProfile("E-Mail log", "Receiptor-1", "<a@x.y>");
        profile.WriteProfile("E-Mail log", "Receiptor-3", "<c@x.y>");
        profile.WriteProfile("E-Mail log", "EnableEmail", 1);
    }
    CEmail* first = new CEmail;
    CString text;
    EXPECT_TRUE(first->GetSMTPServer(text));
    EXPECT_STREQ(text, "10.0.0.1");
    first->GetEmailID(text);
    EXPECT_STREQ(text, "\"Me\" <me@x.y>");
    first->ToString(text);
    EXPECT_STREQ(text, "<a@x.y>,<c@x.y>");
    EXPECT_EQ(first->GetEnable(), 1);
    {
        CEmail second;
        second.RemoveReceiver("<a@x.y>");
        second.SetSMTPServer("10.0.0.2");
        second.SetEnable(0);
    }
    EXPECT_EQ(Stored("SMTP"), "10.0.0.1") << "saved only when the last object goes";
    first->GetSMTPServer(text);
    EXPECT_STREQ(text, "10.0.0.2");
    delete first;
    EXPECT_EQ(Stored("SMTP"), "10.0.0.2");
    EXPECT_EQ(Stored("NumOfReceiptor"), "1");
    EXPECT_EQ(Stored("Receiptor-1"), "<c@x.y>");
    EXPECT_EQ(Stored("Receiptor-3"), "") << "a key beyond the count holds no receiver that a count could bring back";
    EXPECT_EQ(Stored("EnableEmail"), "0");
    EXPECT_EQ(CEmail::m_iRef, 0);
    EXPECT_FALSE(CEmail::m_bInited);
    EXPECT_TRUE(CEmail::m_UserList.IsEmpty());
}
// Entries too long to be read whole are left as they stand by every save:
// a new identity replaces the long one, but receivers that cannot all be
// read are not changed at all. Values too long for the profile are refused.
TEST(EmailSettingsTest, EntriesTooLongToReadAreNeverWrittenBackCut)
{
    RequireSandbox();
    const std::string huge(CProfile::kMaxLine, 'h');
    const std::string file = "[E-Mail log]\nSMTP=10.0.0.1\nEmailID=\"" + huge + "\" <me@x.y>\nNumOfReceiptor=2\n"
                             "Receiptor-1=<a@x.y>\nReceiptor-2=\"" + huge + "\" <b@x.y>\nEnableEmail=1\n";
    std::ofstream("/etc/tavrine/Dorvik.rc", std::ios::binary) << file;
    {
        CEmail mail;
        CString text("x");
        mail.GetEmailID(text);
        EXPECT_STREQ(text, "");
        mail.ToString(text);
        EXPECT_STREQ(text, "<a@x.y>");
        EXPECT_FALSE(mail.AddReceiver("<c@x.y>"));
        EXPECT_FALSE(mail.RemoveReceiver("<a@x.y>"));
        EXPECT_FALSE(mail.SetEmailID(("\"" + huge + "\" <me@x.y>").c_str()));
        EXPECT_FALSE(mail.SetSMTPServer(huge.c_str()));
        EXPECT_TRUE(mail.SetSMTPServer("10.0.0.2"));
    }
    std::string expected = file;
    expected.replace(expected.find("10.0.0.1"), 8, "10.0.0.2");
    EXPECT_EQ(ReadBytes("/etc/tavrine/Dorvik.rc"), expected);
    {
        CEmail mail;
        EXPECT_TRUE(mail.SetEmailID("\"Me\" <me@x.y>"));
    }
    EXPECT_EQ(Stored("EmailID"), "\"Me\" <me@x.y>");
    EXPECT_NE(ReadBytes("/etc/tavrine/Dorvik.rc").find("Receiptor-2=\"" + huge + "\" <b@x.y>\n"), std::string::npos);
    CEmail mail;
    EXPECT_FALSE(mail.CanAddReceiver(("\"" + huge + "\" <c@x.y>").c_str()));
    EXPECT_TRUE(mail.CanAddReceiver("<c@x.y>"));
}

// Settings that cannot be written are reported, and read again they show
// what the profile holds.
TEST(EmailSettingsTest, ASaveThatCannotBeWrittenIsReported)
{
    RequireSandbox();
    // The agent document made the profile at start; a full disk takes its place.
    std::filesystem::remove_all("/etc/tavrine");
    FullDisk disk("/etc/tavrine");
    {
        CProfile profile;
        ASSERT_TRUE(profile.WriteProfile("E-Mail log", "SMTP", "10.0.0.1"));
    }
    {
        CEmail mail;
        disk.Fill();
        EXPECT_TRUE(mail.SetSMTPServer("10.0.0.2"));
        EXPECT_FALSE(mail.SaveSetting());
        mail.InitSetting();
        CString server;
        mail.GetSMTPServer(server);
        EXPECT_STREQ(server, "10.0.0.1");
    }
    disk.Free();
    EXPECT_EQ(Stored("SMTP"), "10.0.0.1");
}
} // namespace
