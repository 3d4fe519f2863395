// A parameter store over a fresh temporary folder, with the recording user interface and the
// log pointed into the folder, for the CXMLReg and CMostRecentFiles tests.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "common/product.h"
#include "common/recording_ui.h"
#include "settings/xml_reg.h"
#include "support/temp_dir.h"

namespace settings_test {

inline constexpr const char* kEmptyFile = "<?xml version=\"1.0\"?>\r\n<Data>\r\n</Data>\r\n";

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        product::LogFile = (dir / "Corvane.log").string();
        product::DebugFlags = 0;
        reg.SetAppPath(dir.Str());
        reg.SetAppName("jdoe");
    }
    void TearDown() override { product::LogFile.clear(); }

    std::filesystem::path File() const { return dir / "jdoe.xml"; }
    std::string Content() const { return testing_support::ReadFile(File()); }

    // Writes the file as another program would, and moves its time stamp to another second
    // (the store notices changes to the second).
    void WriteAsOtherProgram(const std::string& bytes, int secondsLater = 5) {
        const auto before = std::filesystem::exists(File()) ? std::filesystem::last_write_time(File())
                                                            : std::filesystem::file_time_type::clock::now();
        testing_support::WriteFile(File(), bytes);
        std::filesystem::last_write_time(File(), before + std::chrono::seconds(secondsLater));
    }

    // A second store on the same file, as a fresh program would read it.
    std::string ReadFresh(const std::string& section, const std::string& key, bool nested = false) {
        settings::CXMLReg other;
        other.SetAppPath(dir.Str());
        other.SetAppName("jdoe");
        return nested ? other.GetSettingEx(section, key, "<none>") : other.GetSetting(section, key, "<none>");
    }

    testing_support::TempDir dir;
    ui::RecordingUi rec;
    settings::CXMLReg reg;
};

}  // namespace settings_test
