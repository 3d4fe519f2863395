#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "common/recording_ui.h"
#include "common/registry_store.h"
#include "common/registry_value.h"
#include "support/registry_env.h"

namespace fs = std::filesystem;
using namespace common::reg;
using common::kHkeyCurrentUser;
using common::kHkeyLocalMachine;
using testing_support::ReadFile;
using testing_support::ScopedRegistry;
using testing_support::WriteFile;

namespace {

// A Windows export: every value type, a default value, escapes, wrapped hex data, CRLF lines.
const char* kExport =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\RArozu]\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\RArozu\\DerazoRI]\r\n"
    "@=\"default text\"\r\n"
    "\"Corvane\"=\"C:\\\\Program Files\\\\Corvane\\\\corvane.exe\"\r\n"
    "\"Quoted\"=\"say \\\"hi\\\"\"\r\n"
    "\"Count\"=dword:0000007b\r\n"
    "\"Path\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,5c,00,61,00,00,00\r\n"
    "\"List\"=hex(7):6f,00,6e,00,65,00,00,00,74,00,77,00,6f,00,00,00,00,00\r\n"
    "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
    "  16,17,18,19,1a,1b,1c,1d\r\n"
    "\"Quad\"=hex(b):01,00,00,00,00,00,00,00\r\n"
    "\r\n";

std::string Utf16WithBom(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

void CheckExportValues(const Key& key) {
    ASSERT_NE(key.Find(""), nullptr);
    EXPECT_EQ(TextOf(*key.Find("")), "default text");
    EXPECT_EQ(TextOf(*key.Find("corvane")), "C:\\Program Files\\Corvane\\corvane.exe");
    EXPECT_EQ(TextOf(*key.Find("Quoted")), "say \"hi\"");
    EXPECT_EQ(*key.Find("Count"), DwordValue(123));
    EXPECT_EQ(*key.Find("Path"), StringValue("%TEMP%\\a", kExpandString));
    EXPECT_EQ(StringsOf(*key.Find("List")), (std::vector<std::string>{"one", "two"}));
    ASSERT_EQ(key.Find("Blob")->type, kBinary);
    EXPECT_EQ(key.Find("Blob")->data.size(), 30u);
    EXPECT_EQ(key.Find("Blob")->data[29], 0x1d);
    EXPECT_EQ(key.Find("Quad")->type, 0xbu);
}

}  // namespace

TEST(RegText, AWindowsExportInEitherEncodingIsReadAndWrittenBackWithTheSameMeaning) {
    for (const std::string& bytes : {std::string(kExport), Utf16WithBom(kExport)}) {
        const ParseResult parsed = Parse(bytes);
        ASSERT_FALSE(parsed.Damaged());
        ASSERT_EQ(parsed.document.keys.size(), 2u);
        CheckExportValues(parsed.document.keys[1]);

        const std::string written = Format(parsed.document);
        const ParseResult again = Parse(written);
        ASSERT_FALSE(again.Damaged()) << written;
        ASSERT_EQ(again.document.keys.size(), 2u);
        EXPECT_EQ(again.document.keys[1].path, "HKEY_LOCAL_MACHINE\\SOFTWARE\\RArozu\\DerazoRI");
        EXPECT_EQ(again.document.keys[1].values, parsed.document.keys[1].values);
        EXPECT_EQ(Format(again.document), written);
    }
    // Texts a quoted line cannot hold are written as hex data and come back unchanged.
    Document doc;
    doc.Ensure("HKEY_CURRENT_USER\\X").Set("Lines", StringValue("a\r\nb"));
    doc.Ensure("HKEY_CURRENT_USER\\X").Set("Accents", StringValue("Mérida"));
    EXPECT_EQ(Parse(Format(doc)).document.keys[0].values, doc.keys[0].values);
}

TEST(RegText, DeletionsOfAnImportAreAppliedAndKeysEnumerateInStoredOrder) {
    const ParseResult parsed = Parse(
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A\\Zeta]\n\"x\"=\"1\"\n\"y\"=\"2\"\n"
        "[HKEY_CURRENT_USER\\A\\Alpha\\Deep]\n[HKEY_CURRENT_USER\\A\\Gone]\n[HKEY_CURRENT_USER\\A\\Gone\\Sub]\n"
        "[-HKEY_CURRENT_USER\\A\\gone]\n[HKEY_CURRENT_USER\\A\\zeta]\n\"X\"=-\n");
    ASSERT_FALSE(parsed.Damaged());
    EXPECT_EQ(parsed.document.SubKeys("hkey_current_user\\a"), (std::vector<std::string>{"Zeta", "Alpha"}));
    EXPECT_TRUE(parsed.document.Exists("HKEY_CURRENT_USER\\A\\ALPHA"));
    const Key* zeta = parsed.document.Find("HKEY_CURRENT_USER\\A\\ZETA");
    ASSERT_NE(zeta, nullptr);
    ASSERT_EQ(zeta->values.size(), 1u);
    EXPECT_EQ(zeta->values[0].first, "y");
}

class RegistryStoreTest : public ::testing::Test {
protected:
    ScopedRegistry registry;
    ui::RecordingUi rec;
};

TEST_F(RegistryStoreTest, MissingFilesAreAnEmptyRegistryAndValuesPersistByCaseInsensitiveNames) {
    Value v;
    EXPECT_EQ(ReadValue(kHkeyCurrentUser, "Software\\Corvane", "Name", v), kFileNotFound);
    EXPECT_EQ(KeyExists(kHkeyCurrentUser, ""), kOk);
    EXPECT_EQ(ReadValue(0x80000003u, "Software", "Name", v), kInvalidHandle);

    EXPECT_EQ(SetValue(kHkeyCurrentUser, "Software\\Corvane\\", "Name", StringValue("first")), kOk);
    EXPECT_EQ(SetValue(kHkeyCurrentUser, "SOFTWARE\\corvane", "NAME", StringValue("second")), kOk);
    ASSERT_EQ(ReadValue(kHkeyCurrentUser, "software\\CORVANE", "name", v), kOk);
    EXPECT_EQ(TextOf(v), "second");
    EXPECT_TRUE(fs::exists(registry.UserFile()));
    EXPECT_FALSE(fs::exists(registry.SystemFile()));

    EXPECT_EQ(CreateKey(kHkeyCurrentUser, "Software\\Corvane\\Sub\\Deeper"), kOk);
    EXPECT_EQ(DeleteKey(kHkeyCurrentUser, "Software\\Corvane", false), kAccessDenied);
    EXPECT_EQ(DeleteKey(kHkeyCurrentUser, "Software\\Corvane", true), kOk);
    EXPECT_EQ(KeyExists(kHkeyCurrentUser, "Software\\Corvane\\Sub"), kFileNotFound);
    EXPECT_TRUE(rec.calls.empty());
}

TEST_F(RegistryStoreTest, AnExportIsImportedIntoTheFilesOfItsRoots) {
    const fs::path file = registry.Dir() / "export.reg";
    WriteFile(file, Utf16WithBom(kExport));
    std::string error;
    ASSERT_TRUE(ImportRegFile(file.string(), error)) << error;
    Key key;
    ASSERT_EQ(ReadKey(kHkeyLocalMachine, "SOFTWARE\\RArozu\\DerazoRI", key), kOk);
    CheckExportValues(key);
    std::vector<std::string> subKeys;
    ASSERT_EQ(ReadSubKeys(kHkeyLocalMachine, "software", subKeys), kOk);
    EXPECT_EQ(subKeys, std::vector<std::string>{"RArozu"});
}

TEST_F(RegistryStoreTest, WritersInTwoProcessesLoseNoValue) {
    constexpr int kEach = 40;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            for (int i = 0; i < kEach; ++i)
                if (SetValue(kHkeyCurrentUser, "Software\\Race", "p" + std::to_string(c) + "_" + std::to_string(i),
                             DwordValue(uint32_t(i))) != kOk)
                    ::_exit(1);
            ::_exit(0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    Key key;
    ASSERT_EQ(ReadKey(kHkeyCurrentUser, "Software\\Race", key), kOk);
    EXPECT_EQ(key.values.size(), 2u * kEach);
}

TEST_F(RegistryStoreTest, ADamagedFileIsSetAsideReportedAndWhatCanBeReadIsKept) {
    const std::string damaged =
        "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\RArozu\\DerazoRI]\n"
        "\"Corvane\"=\"/opt/corvane/corvane\"\n\"Broken\"=dword:zz\n";
    fs::create_directories(registry.SystemFile().parent_path());
    WriteFile(registry.SystemFile(), damaged);

    std::string folder;
    EXPECT_TRUE(common::ReadRegValue(kHkeyLocalMachine, "SOFTWARE\\RArozu\\DerazoRI", "Corvane", folder));
    EXPECT_EQ(folder, "/opt/corvane/corvane");
    const fs::path backup = registry.SystemFile().string() + ".bak";
    EXPECT_EQ(ReadFile(backup), damaged);
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0].title, "Registry Error");
    EXPECT_NE(rec.calls[0].text.find("line 5"), std::string::npos) << rec.calls[0].text;
    EXPECT_NE(rec.calls[0].text.find(backup.string()), std::string::npos) << rec.calls[0].text;

    // The repaired file reads cleanly from now on; a second damage does not overwrite the first copy.
    EXPECT_TRUE(common::ReadRegValue(kHkeyLocalMachine, "SOFTWARE\\RArozu\\DerazoRI", "Corvane", folder));
    EXPECT_EQ(rec.calls.size(), 1u);
    WriteFile(registry.SystemFile(), "garbage\n");
    EXPECT_EQ(SetValue(kHkeyLocalMachine, "SOFTWARE\\X", "a", DwordValue(1)), kOk);
    EXPECT_EQ(ReadFile(backup), damaged);
    EXPECT_EQ(ReadFile(registry.SystemFile().string() + ".bak1"), "garbage\n");
    EXPECT_EQ(rec.calls.size(), 2u);
}

TEST_F(RegistryStoreTest, WritingWhereTheFileCannotBeWrittenFailsAsAccessDenied) {
    WriteFile(registry.Dir() / "plain", "a file, not a folder");
    ::setenv("CORVANE_REGISTRY_DIR", (registry.Dir() / "plain" / "etc").c_str(), 1);
    EXPECT_EQ(SetValue(kHkeyLocalMachine, "SOFTWARE\\X", "a", DwordValue(1)), kAccessDenied);
    Value v;
    EXPECT_EQ(ReadValue(kHkeyLocalMachine, "SOFTWARE\\X", "a", v), kFileNotFound);
}
