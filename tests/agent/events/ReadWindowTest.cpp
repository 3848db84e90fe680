#include "CReadWindow.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
const char kPath[] = "/tmp/read-window-test.bin";
const uint32_t kReach = 16448;

std::string Pattern(size_t n, int seed)
{
    std::string bytes(n, '\0');
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251 + seed) % 256);
    return bytes;
}

// A file of known bytes, open for reading while the test runs.
class ReadWindowTest : public testing::Test
{
protected:
    void SetUp() override { Write(Pattern(300000, 0)); }
    void TearDown() override
    {
        close(m_fd);
        unlink(kPath);
    }
    void Write(const std::string& bytes)
    {
        if (m_fd >= 0)
            close(m_fd);
        int fd = open(kPath, O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        close(fd);
        m_strBytes = bytes;
        m_fd = open(kPath, O_RDONLY);
        ASSERT_GE(m_fd, 0);
    }
    // Fetches each stretch in turn and checks it against the file's bytes.
    void Expect(CReadWindow& window, const std::vector<std::pair<uint32_t, uint32_t>>& stretches)
    {
        const uint32_t limit = static_cast<uint32_t>(m_strBytes.size());
        for (auto [offset, n] : stretches)
        {
            std::string got(n, '\0');
            ASSERT_TRUE(window.Fetch(m_fd, offset, n, limit, got.data())) << offset << "+" << n;
            ASSERT_EQ(got, m_strBytes.substr(offset, n)) << offset << "+" << n;
        }
    }

    int m_fd = -1;
    std::string m_strBytes;
};

// Records of a walk: short words and texts up to the longest, read one
// after the other forward, then the same backward record by record.
std::vector<std::pair<uint32_t, uint32_t>> Walk(bool forward)
{
    const uint32_t sizes[] = {4, 4, 4, 4, 37, 4, 8192, 4, 1, 4, 4096, 4, 8191, 4};
    std::vector<std::vector<std::pair<uint32_t, uint32_t>>> records;
    uint32_t recordSize = 0;
    for (uint32_t n : sizes)
        recordSize += n;
    for (uint32_t offset = 36; offset + recordSize <= 300000;)
    {
        std::vector<std::pair<uint32_t, uint32_t>> record;
        for (uint32_t n : sizes)
        {
            record.push_back({offset, n});
            offset += n;
        }
        records.push_back(record);
    }
    std::vector<std::pair<uint32_t, uint32_t>> stretches;
    for (size_t i = 0; i < records.size(); ++i)
    {
        const auto& record = records[forward ? i : records.size() - 1 - i];
        stretches.insert(stretches.end(), record.begin(), record.end());
    }
    return stretches;
}

TEST_F(ReadWindowTest, GivesTheFilesBytesInEveryOrder)
{
    struct
    {
        const char* name;
        std::vector<std::pair<uint32_t, uint32_t>> stretches;
    } const cases[] = {
        {"a forward walk", Walk(true)},
        {"a backward walk", Walk(false)},
        {"jumps both ways",
         {{299996, 4},
          {100, 8192},
          {250000, 4},
          {4000, 200},
          {4090, 12},
          {65530, 12},
          {0, 65536},
          {234464, 65536},
          {5, 1}}},
        {"the edges of the file", {{0, 1}, {299999, 1}, {0, 4}, {299000, 1000}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        CReadWindow window(kReach);
        Expect(window, c.stretches);
        window.Drop();
        Expect(window, c.stretches);
    }
}

TEST_F(ReadWindowTest, RefusesWhatLiesAtOrPastTheLimit)
{
    CReadWindow window(kReach);
    char bytes[CReadWindow::kLargestFill + 1];
    struct
    {
        uint32_t offset, n, limit;
    } const refused[] = {
        {996, 5, 1000},
        {1000, 1, 1000},
        {UINT32_MAX, 2, UINT32_MAX},
        {0, CReadWindow::kLargestFill + 1, 300000},
        // Past the end of the file, though below the limit.
        {299999, 2, 400000},
        {350000, 4, 400000},
    };
    for (auto r : refused)
        EXPECT_FALSE(window.Fetch(m_fd, r.offset, r.n, r.limit, bytes)) << r.offset << "+" << r.n;
    ASSERT_TRUE(window.Fetch(m_fd, 996, 4, 1000, bytes));
    EXPECT_EQ(std::string(bytes, 4), m_strBytes.substr(996, 4));
}

// What a window holds stays as it was read until it is dropped.
TEST_F(ReadWindowTest, DropReadsTheFileAgain)
{
    CReadWindow window(kReach);
    Expect(window, {{1000, 100}});
    const std::string old = m_strBytes;
    Write(Pattern(300000, 1));
    char bytes[100];
    ASSERT_TRUE(window.Fetch(m_fd, 1000, 100, 300000, bytes));
    EXPECT_EQ(std::string(bytes, 100), old.substr(1000, 100));
    window.Drop();
    Expect(window, {{1000, 100}, {200000, 100}});
}
} // namespace
