// Fuzzes the readers of text files: the first byte chooses the reader and the rest is the
// file's text. 0: the parameter file (CXMLReg), 1: the folder file (Folders.xml) with the
// three xmlTools questions asked of the folders it names, 2: a grid layout, 3: an RTF tip.
// A reader may report through the recorded user interface; it must never crash or hang.
#include <cstdint>

#include <pugixml.hpp>

#include "common/product.h"
#include "common/recording_ui.h"
#include "engine/error.h"
#include "folders/folder_file.h"
#include "folders/xml_tools.h"
#include "fuzz_support.h"
#include "settings/xml_reg.h"
#include "tips/rtf_reader.h"
#include "views/grid_view_model.h"
#include "views/layout_file.h"

namespace {

void Settings(const fuzzing::Scratch& scratch, std::string_view text) {
    fuzzing::WriteBytes(scratch / "Fuzz.xml", text);
    settings::CXMLReg reg;
    reg.SetAppPath(scratch.Path().string());
    reg.SetAppName("Fuzz");
    reg.GetSetting("Options", "Key", "none");
    reg.GetSettingEx("Options/Nested", "Deep/Key", "none");
    reg.SaveSetting("Options", "Key", "value");
    reg.SaveSettingEx("A/B", "C/D", "<![CDATA[x]]>");
    reg.DeleteSetting("Options", "Key");
    reg.DeleteSetting("A");
}

void Folders(const fuzzing::Scratch& scratch, std::string_view text) {
    fuzzing::WriteBytes(scratch / folders::kFolderFileName, text);
    pugi::xml_document doc;
    if (folders::LoadFolderFile((scratch / folders::kFolderFileName).string(), doc)) return;
    int asked = 0;
    for (const auto& folder : doc.select_nodes("//Folder/Name")) {
        if (++asked > 4) break;
        const std::string name = folders::NodeText(folder.node());
        folders::FolderDefinition definition;
        folders::LoadFolder(name, doc, definition);
        std::string titles;
        folders::GetLookInTitles(doc, name, titles);
        const size_t cut = titles.find(';');
        folders::GetLookInQuery(doc, name, titles.substr(0, cut));
        folders::GetLookInQuery(doc, name, "");
    }
}

void Layout(std::string_view text) {
    views::GridViewModel grid;
    try {
        views::ReadLayout(grid, std::string(text));
        views::WriteLayout(grid);
    } catch (const engine::Error&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzzing::Scratch scratch("text");
    static const bool kQuiet = [] {
        product::LogFile = (scratch / "Fuzz.log").string();
        product::DebugFlags = 0;
        return true;
    }();
    (void)kQuiet;
    if (size == 0) return 0;
    scratch.Reset();
    ui::RecordingUi recorder;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 4) {
        case 0: Settings(scratch, text); break;
        case 1: Folders(scratch, text); break;
        case 2: Layout(text); break;
        default: tips::RtfToPlainText(text); break;
    }
    return 0;
}
