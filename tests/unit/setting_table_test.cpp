// Settings by name: the words agree with the panel's own buttons, every
// word and value finds its way back, and whatever the unit reports can be
// shown, as lines or as JSON.

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>

#include "control/setting_table.h"
#include "control/status.h"
#include "windows/window_tables.h"

namespace plenvo::control {
namespace {

std::string error_for(std::string_view name, std::optional<std::string_view> word)
{
    std::string error;
    EXPECT_FALSE(parse_assignment(name, word, error)) << name;
    return error;
}

TEST(SettingTable, ListsTheSettingsInTheUnitsReportOrder)
{
    ASSERT_EQ(kSettings.size(), protocol::kStateReportOrder.size());
    for (size_t i = 0; i < kSettings.size(); ++i)
        EXPECT_EQ(kSettings[i].command.field, protocol::kStateReportOrder[i].field) << kSettings[i].name;
}

TEST(SettingTable, EveryWordAndValueRoundTripsInAnyCase)
{
    for (const Setting& setting : kSettings) {
        const std::string name = setting.name;
        std::string upper = name;
        std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
        EXPECT_EQ(find_setting(upper), &setting);
        for (const Word& w : setting.words) {
            EXPECT_EQ(value_of(setting, w.word), w.value) << name << ' ' << w.word;
            EXPECT_EQ(word_of(setting, w.value), w.word) << name;
        }
        if (is_number_setting(setting)) {
            for (int value = protocol::kVideoMin; value <= protocol::kVideoMax; ++value)
                EXPECT_EQ(value_of(setting, word_of(setting, value)), value) << name;
        }
    }
    EXPECT_EQ(value_of(*find_setting("aspect"), "STD"), 1);
    EXPECT_EQ(value_of(*find_setting("output"), "1080I"), 7);
}

TEST(SettingTable, WordsStoreWhatThePanelsButtonsStore)
{
    // The adjustment window's bitmap families and the words for them.
    const std::map<std::string, std::string> word_for{
        {"on", "on"}, {"off", "off"}, {"enable", "on"}, {"disable", "off"},
        {"43", "4:3"}, {"169", "16:9"}, {"std", "std"},
    };
    for (const tables::AdjButton& button : tables::kAdjButtons) {
        const tables::AdjGroup& group = tables::kAdjGroups[size_t(button.group)];
        const auto setting = std::find_if(kSettings.begin(), kSettings.end(), [&](const Setting& s) {
            return s.command.field == group.command.field;
        });
        ASSERT_NE(setting, kSettings.end()) << group.name;
        EXPECT_EQ(value_of(*setting, word_for.at(button.family)), button.value) << group.name << ' ' << button.family;
    }
    for (size_t code = 0; code < tables::kInputIndicators.size(); ++code)
        EXPECT_EQ(word_of(*find_setting("input"), int(code)), tables::kInputIndicators[code].family);
    for (size_t code = 0; code < tables::kOutputIndicators.size(); ++code)
        EXPECT_EQ(word_of(*find_setting("output"), int(code)), tables::kOutputIndicators[code].family);

    std::string error;
    EXPECT_EQ(frame_of(*parse_assignment("lock", "on", error)), (protocol::Frame{'F', 'P', 0}));
    EXPECT_EQ(frame_of(*parse_assignment("aspect", "4:3", error)), (protocol::Frame{'A', 'S', 2}));
}

TEST(SettingTable, TheFrameOfAValueIsReportedBackIntoTheSameSetting)
{
    for (const Setting& setting : kSettings) {
        DeviceState written, reported;
        write(setting, 1, written);
        protocol::apply_reply(frame_of({&setting, 1}), reported);
        EXPECT_EQ(reported, written) << setting.name;
        EXPECT_EQ(read(setting, written), 1) << setting.name;
    }
}

TEST(SettingTable, NumbersAreDecimalDigitsWithinTheRange)
{
    const Setting& bright = *find_setting("bright");
    EXPECT_EQ(value_of(bright, "007"), 7);
    for (const char* bad : {"64", "-1", "+5", "3a", "", " 3", "0x10", "99999999999999999999"})
        EXPECT_FALSE(value_of(bright, bad)) << bad;
    EXPECT_FALSE(value_of(*find_setting("power"), "1")) << "words only, as the status shows them";
}

TEST(SettingTable, ErrorsNameTheFaultAndListWhatIsValid)
{
    const std::string unknown = error_for("brite", "40");
    EXPECT_NE(unknown.find("\"brite\""), std::string::npos);
    for (const Setting& setting : kSettings)
        EXPECT_NE(unknown.find(setting.name), std::string::npos) << setting.name;
    EXPECT_EQ(error_for("power", "maybe"), "bad value \"maybe\" for power (values: on, off)");
    EXPECT_EQ(error_for("Aspect", "wide"), "bad value \"wide\" for aspect (values: 4:3, 16:9, std)");
    EXPECT_EQ(error_for("bright", "64"), "bad value \"64\" for bright (values: 0 to 63)");
    EXPECT_EQ(error_for("tint", std::nullopt), "no value for tint (values: 0 to 63)");
}

TEST(Status, ShowsEverySettingInReportOrderAndUnknownValuesAsNumbers)
{
    DeviceState s;
    s.set_start_up_values();
    s.power_state = 1;
    s.input_source = 2;
    s.output_format = 9;
    s.video_br = 200;
    EXPECT_EQ(status_text(s),
              "power on\ninput yuv\noutput 9\nbypass off\ndisplay on\naspect std\nir on\nlock off\n"
              "enhance on\nnr on\nosd on\nblank off\nfreeze off\nbright 200\ncontrast 58\ncolor 31\n"
              "sharp 10\ntint 31\nvolume 31\n");
    EXPECT_TRUE(status_pairs(s).starts_with("power on input yuv output 9 bypass off display on")) << status_pairs(s);

    const std::string json = status_json(s);
    EXPECT_EQ(json.find('\n'), std::string::npos);
    EXPECT_TRUE(json.starts_with(R"({"power": "on", "input": "yuv", "output": 9, "bypass": "off")")) << json;
    const QJsonObject object = QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
    ASSERT_EQ(object.size(), qsizetype(kSettings.size())) << json;
    EXPECT_EQ(object["aspect"].toString(), "std");
    EXPECT_EQ(object["lock"].toString(), "off");
    EXPECT_EQ(object["output"].toInt(-1), 9) << "a value without a word is a number";
    EXPECT_EQ(object["bright"].toInt(-1), 200);
    EXPECT_EQ(object["contrast"].toInt(-1), 58);
}

TEST(Status, WatchShowsReportsOfSettingsOnly)
{
    EXPECT_EQ(watch_line({'B', 'R', 40}, false), "bright 40");
    EXPECT_EQ(watch_line({'B', 'R', 40}, true), R"({"bright": 40})");
    EXPECT_EQ(watch_line({'P', 'X', 0}, false), "power off") << "any power report";
    EXPECT_EQ(watch_line({'I', 'R', 1}, true), R"({"ir": "on"})");
    EXPECT_EQ(watch_line({'F', 'P', 0}, false), "lock on");
    EXPECT_EQ(watch_line({'O', 'U', 9}, true), R"({"output": 9})");
    for (const protocol::Frame frame : {protocol::Frame{'O', 'K', 0}, protocol::Frame{'R', 'E', 0},
                                        protocol::Frame{'Z', 'Z', 1}, protocol::Frame{'A', 'L', 0}})
        EXPECT_FALSE(watch_line(frame, false)) << frame.first << frame.second;
}

}  // namespace
}  // namespace plenvo::control
