#include <gtest/gtest.h>

#include <cstdlib>

#include "common/recording_ui.h"
#include "common/registry_store.h"
#include "common/registry_value.h"
#include "settings/reg_op.h"
#include "settings/registry.h"
#include "support/registry_env.h"

namespace reg = common::reg;
using settings::Registry;
using settings::RegOp;
using settings::RegVariant;

namespace {

class RegistryClassesTest : public ::testing::Test {
protected:
    reg::Value Stored(const std::string& key, const std::string& name) {
        reg::Value v;
        EXPECT_EQ(reg::ReadValue(common::kHkeyCurrentUser, key, name, v), reg::kOk);
        return v;
    }

    testing_support::ScopedRegistry registry;
    ui::RecordingUi rec;
};

}  // namespace

TEST_F(RegistryClassesTest, AnUnknownRootFallsBackToTheCurrentUser) {
    RegOp op;
    op.SetRoot(common::kHkeyLocalMachine);
    op.SetRoot(0x80000003u);
    EXPECT_EQ(op.Root(), common::kHkeyCurrentUser);
    op.SetKey("Software\\Corvane");
    EXPECT_TRUE(op.SetValue("Name", std::string("x")));
    EXPECT_EQ(TextOf(Stored("Software\\Corvane", "Name")), "x");
    op.SetOptions(16);
    EXPECT_EQ(op.Options(), 0u);
}

TEST_F(RegistryClassesTest, NumbersAreStoredAsNumbersOrAsTextWithOptionOne) {
    RegOp op;
    op.SetKey("Software\\Corvane");
    ASSERT_TRUE(op.SetValue("Count", int32_t(123)));
    EXPECT_EQ(Stored("Software\\Corvane", "Count"), reg::DwordValue(123));
    EXPECT_EQ(op.Value("count"), RegVariant(int32_t(123)));

    op.SetOptions(RegOp::kNumbersAsText);
    ASSERT_TRUE(op.SetValue("Other", int32_t(123)));
    EXPECT_EQ(Stored("Software\\Corvane", "Other"), reg::StringValue("123"));
    // The default value always becomes text.
    op.SetOptions(0);
    ASSERT_TRUE(op.SetValue(int32_t(7)));
    EXPECT_EQ(Stored("Software\\Corvane", ""), reg::StringValue("7"));
    // A text over an existing number is converted to the number's type.
    ASSERT_TRUE(op.SetValue("Count", std::string("42")));
    EXPECT_EQ(Stored("Software\\Corvane", "Count"), reg::DwordValue(42));
    EXPECT_FALSE(op.SetValue("Count", std::string("many")));
    EXPECT_EQ(op.Value("Count"), RegVariant(int32_t(42)));
}

TEST_F(RegistryClassesTest, TextOverABinaryValueIsRefusedAndLeavesItUnchanged) {
    reg::SetValue(common::kHkeyCurrentUser, "Software\\Corvane", "Blob", reg::BinaryValue({1, 2, 3}));
    RegOp op;
    op.SetOptions(RegOp::kShowErrors);
    op.SetKey("Software\\Corvane");
    EXPECT_FALSE(op.SetValue("Blob", std::string("text")));
    EXPECT_EQ(Stored("Software\\Corvane", "Blob"), reg::BinaryValue({1, 2, 3}));
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0].text, "Existing value has unsupported data type and will not be overwritten");
    EXPECT_EQ(rec.calls[0].title, "Registry Error");
    // Without option 8 errors are silent.
    RegOp quiet;
    EXPECT_FALSE(quiet.SetValue("x", std::string("y")));
    EXPECT_EQ(rec.calls.size(), 1u);
}

TEST_F(RegistryClassesTest, StringsExpandArraysAndTheCacheFollowChanges) {
    ::setenv("CORVANE_TEST_DIR", "/srv/data", 1);
    RegOp op;
    op.SetKey("Software\\Corvane");
    ASSERT_TRUE(op.SetValue("Data", std::string("%CORVANE_TEST_DIR%/db")));
    ASSERT_TRUE(op.SetValue("Plain", std::string("100% sure, 50% done")));
    ASSERT_TRUE(op.SetValue("List", std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Stored("Software\\Corvane", "Data").type, reg::kExpandString);
    EXPECT_EQ(Stored("Software\\Corvane", "Plain").type, reg::kString);
    EXPECT_EQ(op.Value("Data"), RegVariant(std::string("%CORVANE_TEST_DIR%/db")));
    EXPECT_EQ(op.Value("List"), RegVariant(std::string("a\0b\0", 4)));

    RegOp expanding;
    expanding.SetOptions(RegOp::kExpandOnRead | RegOp::kMultiAsArray);
    expanding.SetKey("SOFTWARE\\corvane");
    EXPECT_EQ(expanding.Value("data"), RegVariant(std::string("/srv/data/db")));
    EXPECT_EQ(expanding.Value("List"), RegVariant(std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(expanding.ValueCount(), 3u);
    // A change through another instance shows once this one changes (its cache is emptied).
    ASSERT_TRUE(op.SetValue("Plain", std::string("changed")));
    ASSERT_TRUE(expanding.DeleteValue("Data"));
    EXPECT_EQ(expanding.Value("Plain"), RegVariant(std::string("changed")));
    EXPECT_EQ(expanding.Value("Data"), RegVariant());
    EXPECT_EQ(expanding.AllValues().size(), 2u);
    ::unsetenv("CORVANE_TEST_DIR");
}

TEST_F(RegistryClassesTest, KeysEnumerateInStoredOrderAndDeleteKeyTakesTheSubtree) {
    RegOp op;
    EXPECT_FALSE(op.DeleteKey());
    op.SetKey("Software\\Corvane");
    for (const char* sub : {"Zeta", "Alpha", "Mid"}) {
        RegOp child;
        child.SetKey(std::string("Software\\Corvane\\") + sub + "\\Leaf");
    }
    EXPECT_EQ(op.AllKeys(), (std::vector<std::string>{"Zeta", "Alpha", "Mid"}));
    EXPECT_EQ(op.KeyCount(), 0u);  // counted when the key was opened, before the children
    RegOp alpha;
    alpha.SetKey("Software\\Corvane\\Alpha");
    EXPECT_EQ(alpha.KeyCount(), 1u);
    EXPECT_TRUE(op.DeleteKey());
    EXPECT_EQ(reg::KeyExists(common::kHkeyCurrentUser, "Software\\Corvane\\Alpha\\Leaf"), reg::kFileNotFound);
    EXPECT_EQ(reg::KeyExists(common::kHkeyCurrentUser, "Software"), reg::kOk);
}

TEST_F(RegistryClassesTest, RegistryReportsEachOutcomeOnceAndThroughItsCallbacks) {
    int successes = 0, failures = 0;
    Registry r;
    r.OnSuccess = [&] { ++successes; };
    r.OnFailure = [&] { ++failures; };
    r.SetSubKey("Software\\Corvane");
    r.SetValueName("Count");
    r.SetDataType(Registry::kNumber);
    r.SetData(uint32_t(5));
    r.SaveSetting();
    EXPECT_EQ(Stored("Software\\Corvane", "Count"), reg::DwordValue(5));

    Registry reader;
    reader.SetSubKey("software\\corvane");
    reader.SetValueName("COUNT");
    reader.GetSetting();
    EXPECT_TRUE(reader.isSuccess());
    EXPECT_FALSE(reader.isSuccess());
    EXPECT_EQ(reader.DataType(), Registry::kNumber);
    EXPECT_EQ(reader.GetData(), Registry::Data(uint32_t(5)));

    r.SetValueName("Name");
    r.SetDataType(Registry::kString);
    r.SetData(std::string("Corvane"));
    r.SaveSetting();
    EXPECT_EQ(Stored("Software\\Corvane", "Name"), reg::StringValue("Corvane"));
    r.SetSubKey("Software\\Missing");
    r.GetSetting();
    EXPECT_FALSE(r.isSuccess());
    r.SetSubKey("Software");
    r.DeleteKey();  // refused: it has a key below it
    EXPECT_EQ(successes, 2);
    EXPECT_EQ(failures, 2);
    EXPECT_EQ(reg::KeyExists(common::kHkeyCurrentUser, "Software\\Corvane"), reg::kOk);
}
