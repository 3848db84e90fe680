// Each request code answered by the simulated driver, checked byte for
// byte against the driver's record layouts.

#include "SimDriver.h"
#include "SimModel.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

using namespace zelsim;

namespace
{
std::unique_ptr<SimState> Preset(const char* name)
{
    auto s = std::make_unique<SimState>();
    EXPECT_TRUE(InitPreset(*s, name));
    s->rate = 0;
    return s;
}

uint32_t Word(const uint8_t* b, size_t offset)
{
    uint32_t v;
    memcpy(&v, b + offset, 4);
    return v;
}

void PutWord(uint8_t* b, size_t offset, uint32_t v)
{
    memcpy(b + offset, &v, 4);
}

struct Case
{
    const char* name;
    unsigned long code;
    size_t size; // bytes the request's buffer holds
    std::function<void(uint8_t*)> send;
    std::function<void(const uint8_t*, const SimState&)> check;
};

void Preset1(uint8_t* b)
{
    PutWord(b, 0, 0xFFFFFFFF);
}

void AdapterThenPreset(uint8_t* b, uint32_t adapter)
{
    PutWord(b, 0, adapter);
    PutWord(b, 4, 0xFFFFFFFF);
}

const std::vector<Case>& Cases()
{
    static const std::vector<Case> cases = {
        {"version word", 0x4001, 4, Preset1,
         [](const uint8_t* b, const SimState&) { EXPECT_EQ(Word(b, 0), PackVersion(1, 12, 3)); }},
        {"version record", 0x4001, 112, nullptr,
         [](const uint8_t* b, const SimState&) {
             EXPECT_EQ(Word(b, 0), 6u);
             EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + 4), 6), "1.12.3");
             EXPECT_EQ(Word(b, 56), 16u);
             EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + 60), 16), "2026-11-02 10:41");
         }},
        {"controllers", 0x4003, 4, nullptr, [](const uint8_t* b, const SimState&) { EXPECT_EQ(Word(b, 0), 2u); }},
        {"arrays", 0x4004, 1092, nullptr,
         [](const uint8_t* b, const SimState&) {
             EXPECT_EQ(Word(b, 0), 0xFFFFu);
             const uint8_t* a0 = b + 4;
             EXPECT_EQ(a0[2], 0x0F);                          // blFlag: healthy
             EXPECT_EQ(a0[3], 1);                             // blRAID: mirror
             EXPECT_EQ(a0[4], 2);                             // bWidth
             EXPECT_EQ(a0[32], 0x03);                         // first slot valid and online
             EXPECT_STREQ(reinterpret_cast<const char*>(a0 + 64), "System");
             const uint8_t* a4 = b + 4 + 4 * 136;
             EXPECT_EQ(a4[4], 4);                             // adapter 1's first array: 4 disks
             EXPECT_EQ(a4[33], 8);                            // its first member is disk 8
             EXPECT_EQ(b[4 + 3 * 136 + 2], 0);                // array 3 undefined
         }},
        {"controller 1", 0x4005, 4180, [](uint8_t* b) { PutWord(b, 0, 1); },
         [](const uint8_t* b, const SimState&) {
             EXPECT_EQ(Word(b, 4), 4172u);
             const uint8_t* ext = b + 8;
             EXPECT_EQ(Word(ext, 4), 11u);        // InterruptLine
             EXPECT_EQ(Word(ext, 36), 4u);        // NumberChannels
             EXPECT_EQ(Word(ext, 4136), 1u);      // DevicePresent[0]
             EXPECT_EQ(Word(ext, 4136 + 28), 0u); // position 7 empty
             EXPECT_EQ(ext[4168], 7);             // BlockCount
         }},
        {"controller beyond the count", 0x4005, 4180, [](uint8_t* b) { PutWord(b, 0, 2); },
         [](const uint8_t* b, const SimState&) { EXPECT_NE(Word(b, 4), 4172u); }},
        {"disk blocks", 0x4006, 388, nullptr,
         [](const uint8_t* b, const SimState&) {
             EXPECT_EQ(Word(b, 0), 384u);
             const uint8_t* d9 = b + 4 + 9 * 24;
             EXPECT_EQ(d9[0], 0x07); // present, usable, member
             EXPECT_EQ(d9[2], 4);    // global channel 4: adapter 1, channel 0
             EXPECT_EQ(d9[3], 1);    // slave
             EXPECT_EQ(Word(d9, 16), 156301488u);
             EXPECT_EQ(b[4 + 15 * 24], 0); // adapter 1 position 7 absent
         }},
        {"integrity check", 0x4008, 64, [](uint8_t* b) { b[0] = 1, PutWord(b, 8, 0x70001001); },
         [](const uint8_t* b, const SimState& st) {
             EXPECT_EQ(b[2], 1); // Status: started
             EXPECT_EQ(st.status[1].status, AS_SYNC);
         }},
        {"rebuild of a healthy array", 0x4009, 64, [](uint8_t* b) { b[0] = 0, PutWord(b, 60, 1); },
         [](const uint8_t* b, const SimState&) { EXPECT_EQ(b[2], 0); }},
        {"expansion of an empty slot", 0x401f, 56, [](uint8_t* b) { b[0] = 3, b[18] = 2; },
         [](const uint8_t* b, const SimState&) { EXPECT_EQ(Word(b, 4), 0x80000003u); }},
        {"array status", 0x400a, 36, nullptr,
         [](const uint8_t* b, const SimState&) {
             EXPECT_EQ(Word(b, 0), 0xFFFFu);
             for (int i = 0; i < 8; i++)
                 EXPECT_EQ(b[4 + 4 * i], 0) << i;
         }},
        {"notification", 0x400b, 3, nullptr, [](const uint8_t* b, const SimState&) { EXPECT_EQ(b[0], 0); }},
        {"channel threshold", 0x400c, 4, Preset1, [](const uint8_t* b, const SimState&) { EXPECT_EQ(b[0], 8); }},
        {"put channel threshold", 0x400d, 8, [](uint8_t* b) { Preset1(b), PutWord(b, 4, 6); },
         [](const uint8_t*, const SimState& s) { EXPECT_EQ(s.settings.channelThreshold, 6u); }},
        {"original channel count", 0x400e, 4, Preset1, [](const uint8_t* b, const SimState&) { EXPECT_EQ(b[0], 4); }},
        {"put original channel count", 0x400f, 8, [](uint8_t* b) { Preset1(b), PutWord(b, 4, 2); },
         [](const uint8_t*, const SimState& s) { EXPECT_EQ(s.settings.originalChannelCount, 2u); }},
        {"put maintenance length", 0x4010, 8, [](uint8_t* b) { Preset1(b), PutWord(b, 4, 9); },
         [](const uint8_t*, const SimState& s) { EXPECT_EQ(s.settings.maintenanceLength, 9u); }},
        {"maintenance length", 0x4011, 4, Preset1, [](const uint8_t* b, const SimState&) { EXPECT_EQ(b[0], 1); }},
        {"event count", 0x4012, 8, Preset1,
         [](const uint8_t* b, const SimState&) {
             EXPECT_EQ(Word(b, 0), 4u);
             EXPECT_EQ(Word(b, 4), 0u);
         }},
        {"smart status", 0x4014, 8, [](uint8_t* b) { Preset1(b), b[4] = 1, b[5] = 2, b[6] = 1, b[7] = 255; },
         [](const uint8_t* b, const SimState&) { EXPECT_EQ(b[7], 1); }},
        {"smart status of an empty position", 0x4014, 8,
         [](uint8_t* b) { Preset1(b), b[4] = 1, b[5] = 3, b[6] = 1, b[7] = 255; },
         [](const uint8_t* b, const SimState&) { EXPECT_EQ(b[7], 255); }},
        {"hardware type", 0x4015, 28, [](uint8_t* b) { AdapterThenPreset(b, 0); },
         [](const uint8_t* b, const SimState&) { EXPECT_EQ(Word(b, 16), 0x6621u); }},
        {"smart check", 0x4016, 8, [](uint8_t* b) { Preset1(b), PutWord(b, 4, 255); },
         [](const uint8_t* b, const SimState&) { EXPECT_EQ(Word(b, 4), 1u); }},
        {"set smart check", 0x4017, 8, [](uint8_t* b) { Preset1(b), PutWord(b, 4, 0); },
         [](const uint8_t*, const SimState& s) { EXPECT_EQ(s.settings.smartCheck, 0u); }},
        {"enclosure type without enclosure", 0x4018, 12, [](uint8_t* b) { Preset1(b), b[4] = 0, b[5] = 5; },
         [](const uint8_t* b, const SimState&) {
             EXPECT_EQ(Word(b, 0), 0xFFFFu);
             EXPECT_EQ(Word(b, 8), 0xFFu);
         }},
        {"create", 0x4019, 56,
         [](uint8_t* b) {
             Preset1(b);
             PutWord(b + 4, 0, 8); // spanning
             b[8] = 1;             // one disk
             b[9] = 7;             // disk 7
             b[17] = 32;
             strcpy(reinterpret_cast<char*>(b + 18), "Spare room");
             PutWord(b + 4, 48, 0xFFFFFFFF);
         },
         [](const uint8_t* b, const SimState& s) {
             EXPECT_EQ(Word(b, 0), 0xFFFFu);
             EXPECT_EQ(Word(b + 4, 48), 1u);
             EXPECT_EQ(b[4], 3); // the new array's number in blRAID's low byte
             EXPECT_STREQ(reinterpret_cast<const char*>(s.arrays[3].Name), "Spare room");
         }},
        {"delete", 0x401a, 12, [](uint8_t* b) { Preset1(b), b[4] = 2, PutWord(b, 8, 0xFFFFFFFF); },
         [](const uint8_t* b, const SimState& s) {
             EXPECT_EQ(Word(b, 0), 0xFFFFu);
             EXPECT_EQ(Word(b, 8), 1u);
             EXPECT_EQ(s.arrays[2].blFlag, 0);
         }},
        {"delete of an empty slot", 0x401a, 12, [](uint8_t* b) { Preset1(b), b[4] = 3, PutWord(b, 8, 0xFFFFFFFF); },
         [](const uint8_t* b, const SimState&) { EXPECT_EQ(Word(b, 8), 0u); }},
        {"set sync rate", 0x401b, 8, [](uint8_t* b) { Preset1(b), b[4] = 1, b[5] = 1, b[6] = 0, b[7] = 77; },
         [](const uint8_t*, const SimState& s) { EXPECT_EQ(s.adapters[1].syncRate[2], 77); }},
        {"rebuild rate", 0x401e, 8, [](uint8_t* b) { Preset1(b), b[4] = 0, b[5] = 0, b[6] = 1; },
         [](const uint8_t* b, const SimState&) { EXPECT_EQ(b[7], 50); }},
        {"write cache", 0x4024, 8, [](uint8_t* b) { Preset1(b), PutWord(b, 4, 255); },
         [](const uint8_t* b, const SimState&) { EXPECT_EQ(Word(b, 4), 1u); }},
        {"set hot spares", 0x4025, 8, [](uint8_t* b) { Preset1(b), PutWord(b, 4, 0); },
         [](const uint8_t*, const SimState& s) { EXPECT_EQ(s.settings.hotSpares, 0u); }},
        {"hot swap", 0x4028, 8, [](uint8_t* b) { Preset1(b), PutWord(b, 4, 255); },
         [](const uint8_t* b, const SimState&) { EXPECT_EQ(Word(b, 4), 1u); }},
        {"set buzzer", 0x402b, 8, [](uint8_t* b) { Preset1(b), PutWord(b, 4, 0); },
         [](const uint8_t*, const SimState& s) { EXPECT_EQ(s.settings.buzzer, 0u); }},
        {"set submit threshold", 0x4032, 8, [](uint8_t* b) { Preset1(b), PutWord(b, 4, 9); },
         [](const uint8_t* b, const SimState& s) {
             EXPECT_NE(Word(b, 0), 0u);
             EXPECT_EQ(s.settings.submitThreshold, 9u);
         }},
        {"expansion rate", 0x4021, 8, [](uint8_t* b) { Preset1(b), b[4] = 1, b[5] = 3, b[6] = 0; },
         [](const uint8_t* b, const SimState&) { EXPECT_EQ(b[7], 50); }},
        {"read threshold", 0x402d, 4, Preset1, [](const uint8_t* b, const SimState&) { EXPECT_EQ(Word(b, 0), 100u); }},
        {"set write threshold", 0x4030, 8, [](uint8_t* b) { Preset1(b), PutWord(b, 4, 42); },
         [](const uint8_t* b, const SimState& s) {
             EXPECT_NE(Word(b, 0), 0u);
             EXPECT_EQ(s.settings.writeThreshold, 42u);
         }},
        {"write mode", 0x4033, 4, Preset1, [](const uint8_t* b, const SimState&) { EXPECT_EQ(Word(b, 0), 0u); }},
        {"set write mode out of range", 0x4034, 8, [](uint8_t* b) { Preset1(b), PutWord(b, 4, 7); },
         [](const uint8_t* b, const SimState& s) {
             EXPECT_EQ(Word(b, 0), 0u);
             EXPECT_EQ(s.settings.writeMode, 0u);
         }},
        {"rename", 0x4035, 72,
         [](uint8_t* b) {
             Preset1(b);
             PutWord(b, 4, 4);
             memset(b + 8, 'x', 64); // no terminator
         },
         [](const uint8_t* b, const SimState& s) {
             EXPECT_NE(Word(b, 0), 0u);
             EXPECT_EQ(strlen(reinterpret_cast<const char*>(s.arrays[4].Name)), 63u);
         }},
        {"battery module", 0x4036, 8, [](uint8_t* b) { AdapterThenPreset(b, 0); },
         [](const uint8_t* b, const SimState&) { EXPECT_EQ(Word(b, 4), 0u); }},
        {"clear log", 0x4042, 4, Preset1, [](const uint8_t* b, const SimState&) { EXPECT_NE(Word(b, 0), 0xFFFFFFFFu); }},
        {"dimm size", 0x4043, 112, [](uint8_t* b) { PutWord(b, 0, 1); },
         [](const uint8_t* b, const SimState&) { EXPECT_EQ(Word(b, 56), 64u); }},
        {"busy", 0x4044, 4, nullptr, [](const uint8_t* b, const SimState&) { EXPECT_EQ(Word(b, 0), 0u); }},
        {"reset disk information", 0x4045, 4, Preset1, nullptr},
    };
    return cases;
}

class RequestTest : public ::testing::TestWithParam<size_t>
{
};

TEST_P(RequestTest, AnswersInTheDriverLayout)
{
    const Case& c = Cases()[GetParam()];
    SCOPED_TRACE(c.name);
    auto s = Preset("two-adapters");
    // A guard zone after the buffer shows any write past the record.
    std::vector<uint8_t> buf(c.size + 64, 0);
    if (c.send)
        c.send(buf.data());
    EXPECT_EQ(FrameSize(c.code, buf.data()), c.size);
    ASSERT_EQ(DriverIoctl(*s, c.code, buf.data()), 0);
    for (size_t i = c.size; i < buf.size(); i++)
        ASSERT_EQ(buf[i], 0) << "byte " << i << " written past the record";
    if (c.check)
        c.check(buf.data(), *s);
}

INSTANTIATE_TEST_SUITE_P(Codes, RequestTest, ::testing::Range<size_t>(0, Cases().size()),
                         [](const ::testing::TestParamInfo<size_t>& param) {
                             std::string name = Cases()[param.param].name;
                             for (char& ch : name)
                                 if (!isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

TEST(RequestCodes, UnusedCodesAreRefused)
{
    auto s = Preset("one-adapter");
    uint8_t buf[128] = {};
    for (unsigned long code : {0x4002ul, 0x4007ul, 0x4022ul, 0x4029ul, 0x402aul, 0x403aul, 0x403ful, 0x4046ul})
        EXPECT_EQ(DriverIoctl(*s, code, buf), EINVAL) << std::hex << code;
    EXPECT_EQ(DriverIoctl(*s, 0x4003, nullptr), EINVAL);
}

TEST(RequestCodes, EnclosureAndBatteryValues)
{
    auto s = Preset("enclosure-battery");
    struct
    {
        uint8_t cmd, ch;
        uint32_t value;
    } const rows[] = {
        {0, 0, 17}, {1, 0, 4200}, {2, 0, 70}, {3, 0, 5020}, {4, 0, 12050}, {5, 0, 0x0C}, {0, 1, 1}, {5, 2, 0x4C},
    };
    for (const auto& r : rows)
    {
        IOCTL_ENCLOSURE_FRAME f = {0xFFFFFFFF, r.cmd, r.ch, 0, 0, 0};
        ASSERT_EQ(DriverIoctl(*s, IOCTL_ENCLOSURE, &f), 0);
        EXPECT_EQ(f.ReturnCode, 0xFFFFu);
        EXPECT_EQ(f.dwValue, r.value) << int(r.cmd) << " on channel " << int(r.ch);
    }
    const std::pair<unsigned long, uint32_t> battery[] = {
        {IOCTL_BATTERY_MODULE, 1}, {IOCTL_BATTERY_PACK, 1},         {IOCTL_CHARGE_STATUS, 0x20},
        {IOCTL_CHARGE_CYCLE, 12},  {IOCTL_BATTERY_TEMPERATURE, 30}, {IOCTL_BATTERY_VOLTAGE, 8200},
    };
    for (const auto& [code, value] : battery)
    {
        IOCTL_ADAPTER_FRAME f = {0, 0xFFFFFFFF};
        ASSERT_EQ(DriverIoctl(*s, code, &f), 0);
        EXPECT_EQ(f.ReturnCode, value) << std::hex << code;
    }
    IOCTL_ADAPTER_FRAME missing = {1, 0xFFFFFFFF};
    EXPECT_EQ(DriverIoctl(*s, IOCTL_BATTERY_MODULE, &missing), EINVAL);
}

TEST(RequestCodes, EventsAreHandedOutAtMostTwentyAtATime)
{
    auto s = Preset("one-adapter");
    for (uint32_t i = 0; i < 25; i++)
        QueueEvent(*s, EV_DISK_PLUGIN, kInfo, {i});
    IOCTL_VALUE_FRAME count = {0xFFFFFFFF, 0};
    ASSERT_EQ(DriverIoctl(*s, IOCTL_EVENT_COUNT, &count), 0);
    EXPECT_EQ(count.val, 25u);
    auto f = std::make_unique<IOCTL_EVENTS_FRAME>();
    f->ReturnCode = 0xFFFFFFFF;
    f->EventCount = 25;
    ASSERT_EQ(DriverIoctl(*s, IOCTL_GET_EVENTS, f.get()), 0);
    EXPECT_EQ(f->EventCount, 20u);
    EXPECT_EQ(f->Events[0].ParamList[0], 0u);
    EXPECT_EQ(f->Events[19].ParamList[0], 19u);
    EXPECT_EQ(f->Events[19].QueueNum, f->Events[0].QueueNum + 19);
    EXPECT_EQ(s->numEvents, 5u);
}

TEST(RequestCodes, QueueKeepsTheNewestWhenFull)
{
    auto s = Preset("one-adapter");
    for (uint32_t i = 0; i < kMaxQueuedEvents + 3; i++)
        QueueEvent(*s, EV_DISK_PLUGIN, kInfo, {i});
    EXPECT_EQ(s->numEvents, uint32_t(kMaxQueuedEvents));
    EXPECT_EQ(s->events[0].ParamList[0], 3u);
    // What a reader of the queue can tell it missed.
    EXPECT_EQ(s->counters.droppedEvents, 3u);
    EXPECT_EQ(s->nextQueueNum - 1, uint32_t(kMaxQueuedEvents + 3));
}
} // namespace
