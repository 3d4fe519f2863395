// Statements meet the locks of a FoxPro workstation sharing the data folder (a stand-in
// process taking FoxPro's bytes as Samba does): UPDATE, DELETE, INSERT and PACK wait up to the
// connection's timeout and then fail naming the table and the record, changing nothing; a
// lock let go within the wait is waited for.
#include "api_fixture.h"
#include "support/foxpro_workstation.h"

namespace {

using namespace api_test;
using std::chrono::milliseconds;
using testing_support::FoxHeaderByte;
using testing_support::FoxRecordByte;
using testing_support::FoxWorkstation;
using testing_support::ReadFile;
namespace err = engine::err;

size_t Count(engine::api::Connection& c, const std::string& query) { return c.Execute(query).rows->rows.size(); }

TEST_F(PracticeDatabase, AWorkstationsLocksMakeStatementsWaitThenFailChangingNothing) {
    const auto file = m_dir / "IDENTFIL.DBF";
    auto c = Connect();
    c->SetConnectionTimeout(1);
    const std::string before = ReadFile(file);
    {
        FoxWorkstation station(file, {FoxRecordByte(2)});  // Baker, PtNum 2
        ASSERT_TRUE(station.Took());
        ExpectError([&] { c->Execute("UPDATE IdentFil SET LastNam = 'Changed' WHERE PtNum = 2"); }, err::kRecordInUse,
                    "IDENTFIL.DBF': record 2 is in use");
        ExpectError([&] { c->Execute("DELETE FROM IdentFil WHERE PtNum = 2"); }, err::kRecordInUse, "record 2");
        ExpectError([&] { c->Execute("SET EXCLUSIVE ON; PACK IdentFil"); }, err::kFileInUse, "IDENTFIL.DBF");
        c->Execute("SET EXCLUSIVE OFF");
    }
    {
        FoxWorkstation station(file, {FoxHeaderByte()});
        ASSERT_TRUE(station.Took());
        ExpectError([&] { c->Execute("INSERT INTO IdentFil (PtNum, LastNam) VALUES (10, 'Late')"); }, err::kRecordInUse,
                    "IDENTFIL.DBF': its header (record 0) is in use");
        // Other records and tables are not held up.
        c->Execute("UPDATE InsIdent SET Carrier = 'Free' WHERE InsNum = 1");
    }
    EXPECT_EQ(ReadFile(file), before);

    // Locks let go within the wait are waited for.
    c->SetConnectionTimeout(30);
    {
        FoxWorkstation station(file, {FoxRecordByte(2)}, milliseconds(300));
        ASSERT_TRUE(station.Took());
        c->Execute("UPDATE IdentFil SET LastNam = 'Changed' WHERE PtNum = 2");
    }
    {
        FoxWorkstation station(file, {FoxHeaderByte()}, milliseconds(300));
        ASSERT_TRUE(station.Took());
        c->Execute("INSERT INTO IdentFil (PtNum, LastNam) VALUES (10, 'Late')");
    }
    {
        FoxWorkstation station(file, {FoxRecordByte(4)}, milliseconds(300));
        ASSERT_TRUE(station.Took());
        c->Execute("SET EXCLUSIVE ON; PACK IdentFil; SET EXCLUSIVE OFF");
    }
    EXPECT_EQ(Count(*c, "SELECT * FROM IdentFil WHERE LastNam = 'Changed'"), 1u);
    EXPECT_EQ(Count(*c, "SELECT * FROM IdentFil WHERE PtNum = 10"), 1u);
    c->Execute("SET DELETED OFF");
    EXPECT_EQ(Count(*c, "SELECT * FROM IdentFil"), 5u) << "the marked row is packed away";
}

}  // namespace
