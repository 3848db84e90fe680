// Selecting an adapter, the status texts, versions and the library's
// exported names.

#include "ApiHelpers.h"

#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>

using apitest::Select;
using simtest::LoadPreset;
using simtest::Shell;
using simtest::Sim;

namespace
{
TEST(ApiSelection, EveryFunctionWaitsForTheFirstSelection)
{
    char text[256];
    if (raGetDLLVersion(text) != reSApiNotInitialized)
        GTEST_SKIP() << "an adapter was selected earlier in this process";
    int n = 0;
    BOOL b = 0;
    ULONG u = 0;
    rasArrayInfo info;
    rasEvent events[RA_MAX_EVENTS];
    raeArrayFunctionalStatus f;
    raeArrayActivityStatus a;
    UCHAR disks[3] = {0, 1, 2};
    const std::function<raeStatus()> calls[] = {
        [&] { return raGetNumberOfAdapters(&n); },
        [&] { return raGetMaxChannelsPerAdapter(&n); },
        [&] { return raGetDeviceName(0, text); },
        [&] { return raGetArrayInfo(0, &info); },
        [&] { return raGetArrayStatus(0, &f, &a, &n); },
        [&] { return raNeedUpdate(&b); },
        [&] { return raHotSparesEnabled(reGET, &b); },
        [&] { return raReadThreshold(reGET, &u); },
        [&] { return raGetChargeCycle(0, nullptr); },
        [&] { return raGetDriverVersion(text, text); },
        [&]
        { return raCreateArray(nullptr, reRaidModeParityDistributed, 3, disks, 64, reFlagNone); },
        [&] { return raDeleteArray(0); },
        [&] { return raArrayRebuildDisk(0, 0, raeStart); },
        [&] { return raExpanConvMode(0, 1, nullptr, &n, nullptr); },
        [&] { return raGetEvents(events, &n); },
    };
    for (const auto& call : calls)
        EXPECT_EQ(call(), reSApiNotInitialized);
    EXPECT_STREQ(raErrorDescription(reSOK), "OK");
    raeHardwareType type = reUnknownType;
    EXPECT_EQ(raGetHardwareType(0, &type), reSOK);
    EXPECT_EQ(type, reMorlivenQV7K);
    EXPECT_EQ(raTerminate(nullptr), reSOK);
}

TEST(ApiSelection, IndexPicksTheAdapterAndABadIndexChangesNothing)
{
    LoadPreset("two-adapters");
    struct
    {
        bool nullIndex;
        int index;
        raeStatus status;
        const char* firstArray; // of the adapter selected afterwards
    } const rows[] = {
        {false, 1, reSOK, "Archive"},
        {true, 0, reSOK, "System"},
        {false, 1, reSOK, "Archive"},
        {false, 2, reSInvalidAdapter, "Archive"},
        {false, -1, reSInvalidAdapter, "Archive"},
        {false, 0, reSOK, "System"},
        {false, 1000000, reSInvalidAdapter, "System"},
    };
    for (const auto& r : rows)
    {
        int index = r.index;
        void* handle = r.nullIndex ? nullptr : &index;
        EXPECT_EQ(raInitialize(&handle), r.status) << r.index;
        EXPECT_EQ(handle != nullptr, r.status == reSOK) << r.index;
        char name[64];
        ASSERT_EQ(raGetArrayName(0, name), reSOK);
        EXPECT_STREQ(name, r.firstArray) << r.index;
        EXPECT_EQ(raTerminate(handle), reSOK);
    }
    EXPECT_EQ(raInitialize(nullptr), reSGenericError);
}

TEST(ApiSelection, MissingDriverIsReportedAndAskedAgainNextTime)
{
    LoadPreset("one-adapter");
    Shell("zelsim driver none");
    void* handle = nullptr;
    EXPECT_EQ(raInitialize(&handle), reSDriverNotFound);
    EXPECT_EQ(handle, nullptr);
    Shell("zelsim driver ok");
    EXPECT_EQ(raInitialize(&handle), reSOK);
    EXPECT_NE(handle, nullptr);
}

TEST(ApiSelection, StatusTexts)
{
    const std::pair<int, const char*> rows[] = {
        {-1, "Not Implemented for this platform"},
        {0, "OK"},
        {1, "API Not Initialized"},
        {2, "Generic Error"},
        {3, "Function Not Supported"},
        {4, "No Adapter"},
        {5, "Driver Not Found"},
        {6, "Version Mismatch"},
        {7, "No Disk Present"},
        {8, "Invalid Array Id"},
        {9, "Array Status Error"},
        {10, "Cannot create Mailslot, max=4"},
        {11, "Cannot Delete: No Such Array Exists"},
        {12, "Cannot Create: Invalid Array Number"},
        {13, "Error Creating Array, Please Wait Driver Free"},
        {14, "Cannot Create: Invalid RAID Mode"},
        {15, "Cannot Create: Invalid Array Configuration"},
        {16, "Cannot Conversion: Target Size Too Small"},
        {17, "Cannot Conversion: Same Array Error"},
        {18, "Cannot Conversion: Invalid Disk"},
        {19, "Cannot DeleteArray:Array Busy"},
        {20, "Cannot Synchronize JBOD or Striping"},
        {21, "Cannot Rebuild JBOD or Striping"},
        {22, "Cannot Convert"},
        {23, "Driver is busy"},
        {24, "Not find the adapter"},
        {25, "Unknown Status"},
        {-2, "Unknown Status"},
        {1 << 30, "Unknown Status"},
    };
    for (const auto& [status, text] : rows)
        EXPECT_STREQ(raErrorDescription(static_cast<raeStatus>(status)), text) << status;
}

TEST(ApiSelection, Versions)
{
    Select("one-adapter");
    char version[256];
    char timestamp[256];
    ASSERT_EQ(raGetDriverVersion(version, timestamp), reSOK);
    EXPECT_STREQ(version, "1.12.3");
    EXPECT_STREQ(timestamp, "2026-11-02 10:41");
    ASSERT_EQ(raGetDLLVersion(version), reSOK);
    EXPECT_STREQ(version, "v1.30.0.23");
    apitest::NoDriver();
    EXPECT_EQ(raGetDriverVersion(version, timestamp), reSGenericError);
}

TEST(ApiSelection, HardwareType)
{
    Select("one-adapter");
    const std::pair<uint32_t, raeHardwareType> rows[] = {
        {0x6621, reMorlivenQV7K},
        {0x6622, reMorlivenQ150QV7},
        {0x1234, reVossmereQV}, // left as the caller had it
    };
    for (const auto& [device, type] : rows)
    {
        Sim([&](zelsim::SimState& s) { s.adapters[0].deviceId = device; });
        raeHardwareType t = reVossmereQV;
        EXPECT_EQ(raGetHardwareType(0, &t), reSOK);
        EXPECT_EQ(t, type) << device;
    }
}

std::string ReadFile(const char* path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The library exports exactly the functions its public header declares.
TEST(ApiSelection, ExportsExactlyTheHeadersFunctions)
{
    std::string header = ReadFile(RAIDAPI_HEADER);
    // Each declaration: RAIDAPI_EXPORT, the result type, then the name up
    // to its opening parenthesis.
    std::set<std::string> declared;
    const std::string mark = "RAIDAPI_EXPORT ";
    for (size_t at = header.find(mark); at != std::string::npos; at = header.find(mark, at + 1))
    {
        size_t paren = header.find('(', at);
        size_t name = header.rfind(' ', paren) + 1;
        while (header[name] == '*')
            name++;
        if (header.compare(name, 2, "ra") == 0)
            declared.insert(header.substr(name, paren - name));
    }
    EXPECT_EQ(declared.size(), 67u);

    int status = -1;
    std::string symbols = Shell(std::string("nm -D --defined-only ") + MVRAIDAPI_PATH, &status);
    ASSERT_EQ(status, 0);
    std::set<std::string> exported;
    std::istringstream lines(symbols);
    std::string address, kind, name;
    while (lines >> address >> kind >> name)
        exported.insert(name);
    EXPECT_EQ(exported, declared);
}
} // namespace
