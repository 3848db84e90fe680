// The listings against what the simulator holds ("zelsim show").

#include "VelconScreen.h"


namespace
{
class ListingScreen : public VelconScreen
{
protected:
    // From the line of "zelsim show" holding `line`: the text after
    // `before` up to the next `end`.
    static std::string Shown(const std::string& line, const std::string& before, char end)
    {
        std::string show = Zelsim("show");
        size_t at = show.find(line);
        size_t from = at == std::string::npos ? at : show.find(before, at);
        EXPECT_NE(from, std::string::npos) << line << " / " << before << "\n" << show;
        if (from == std::string::npos)
            return "";
        from += before.size();
        return show.substr(from, show.find(end, from) - from);
    }
};

TEST_F(ListingScreen, ArraysAndTheirDetails)
{
    Start("two-adapters");
    Open("F", "/adapter1");
    Open("A", "/adapter1/array");
    SeeRows("\"System\"\n\"Data\"\n\"Scratch\"\n<View more>|<Cancel>");
    EXPECT_NE(Row("\"Data\"").find("2"), std::string::npos) << tmux->Screen();
    Keys({"Down"});
    Open("", "/adapter1/arraydetail");
    std::string sectors = Shown("array 1: \"Data\"", "distributed-parity, ", ' ');
    // The simulator counts the stripe in sectors.
    std::string stripe = std::to_string(std::stoi(Shown("array 1: \"Data\"", "stripe ", ',')) / 2);
    SeeRows("Array Id|2\nArray Name|Data\nArray Mode|PARITY DISTRIBUTED\nDisk Number|3\nStripe Size|" + stripe +
            "K\nStatus|Functional\nSectors|" + sectors + "\nC H S|\n Member disk 1|5 ZELSIM HD-80G\n"
            " Member disk 3|7 ZELSIM HD-80G");
    SeeRows("Array Size|" + std::to_string(std::stol(sectors) / (1L << 21)) + ".0GB");
}

TEST_F(ListingScreen, DiskDetailWithItsEnclosure)
{
    Start("enclosure-battery");
    Open("", "/adapter1/disk"); // the first entry
    SeeRows("View disk 1|ZELSIM HD-80G\n     disk 3|ZELSIM HD-80G\nToggle Write Cache|Enabled\n"
            "Toggle S.M.A.R.T. Status|Enabled");
    Open("V", "/adapter1/disk/detail");
    SeeRows("Device Id|1\nChannel Id|1\nArray Id|1\nStatus|Assigned\nModel|ZELSIM HD-80G\nSectors|" +
            Shown("disk 0.0:", "\", ", ' ') +
            "\nEnclosure Type|Tindalow\n 5v|5.0v\n Temperature|35.0C/95F\n Fan Speed|4200RPM");
    Keys({"Escape"});
    See("Toggle Write Cache");
    Open("T", "Disabled");
    EXPECT_NE(Zelsim("show").find("write cache 0"), std::string::npos);
}

TEST_F(ListingScreen, AdapterDriverAndBattery)
{
    Start("enclosure-battery");
    Keys({"End", "Enter"});
    See("/adapter1/misc");
    Open("A", "/adapter1/misc/adapter");
    SeeRows("Card Type|Morliven\nDimm size|" + Shown("battery 0:", "dimm ", ' ') + "M\nChannel|4\nBattery Backup|YES");
    Keys({"Escape"});
    Open("D", "/adapter1/driverversion");
    SeeRows("Version|" + Shown("driver loaded", "(\"", '"') + "\nDate|" +
            Shown("driver loaded", "\", \"", '"') + "\nSize|98304B");
    EXPECT_NE(tmux->Screen().find("Type F1 to get help"), std::string::npos);
    Keys({"Escape"});
    Open("BB", "/adapter1/misc/batterybackup");
    SeeRows("Back Module|Exist\nPack|Exist\nCharge Status|Battery_Fully_Charged\nCycle|12\nVoltage|8.200V");
    Keys({"Escape"});
    Open("T", "Toggle Buzzer");
    SeeRows("Toggle Buzzer|Off");
    EXPECT_NE(Zelsim("show").find("buzzer 0"), std::string::npos);
}

TEST_F(ListingScreen, HelpOfTheScreenInFront)
{
    Start();
    See("/adapter1");
    Keys({"F1"});
    See("Adapter menu");
    Keys({"Escape"});
    Open("D", "/adapter1/disk");
    Keys({"F1"});
    See("S.M.A.R.T. checking");
}
} // namespace
