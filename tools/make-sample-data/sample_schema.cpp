#include "sample_schema.h"

#include <cstdio>

namespace sample {

namespace {
engine::FieldSpec C(const char* name, int length, bool nullable = false) {
    return {.name = name, .type = 'C', .length = length, .nullable = nullable};
}
engine::FieldSpec T(const char* name, char type, bool nullable = false) {
    return {.name = name, .type = type, .nullable = nullable};
}
engine::FieldSpec N(const char* name, int length, int decimals) {
    return {.name = name, .type = 'N', .length = length, .decimals = decimals};
}
}  // namespace

const std::vector<TableDef>& Tables() {
    static const std::vector<TableDef> tables = {
        {"IdentFil",
         {T("PtNum", 'I'), C("LastNam", 25), C("FirstNam", 20), C("Midinit", 1), C("Title1", 10), C("HomPhone", 10),
          C("BusPhone", 10), C("SSN", 9), T("Birthday", 'D'), C("Sex", 1), C("Address", 40), C("City", 25),
          C("State", 2), C("Zip", 10), C("Nickname", 15, true), T("Deceased", 'L'), T("LastVisit", 'T', true),
          T("Balance", 'Y'), T("Notes", 'M')},
         {{"PtNum", "PtNum", "", true},
          {"LastNam", "UPPER(LastNam+FirstNam)"},
          {"Birthday", "Birthday"},
          {"SSN", "SSN"}}},
        {"Appointment",
         {T("PId", 'I'), T("ApptDate", 'D'), T("ApptTime", 'T'), C("Doc", 5), C("Reason", 40), N("Length", 3, 0),
          T("Kept", 'L')},
         {{"PId", "PId"}, {"ApptDate", "DTOS(ApptDate)+TTOC(ApptTime,1)"}, {"Doc", "Doc"}}},
        {"Case",
         {T("CaseNum", 'I'), T("PtNum", 'I'), C("Descr", 40), T("OpenDate", 'D'), C("Doc", 5), C("Hsp", 5),
          T("RefNum", 'I'), T("InsNum", 'I'), T("Closed", 'L'), T("Comment", 'M', true)},
         {{"CaseNum", "CaseNum", "", true}, {"PtNum", "PtNum"}}},
        {"BillOthe",
         {T("PtNum", 'I'), C("BillName", 30), C("Address", 40), C("City", 25), C("State", 2), C("Zip", 10),
          C("Phone", 10), C("Relation", 15)},
         {{"PtNum", "PtNum"}}},
        {"MngCare",
         {T("PtNum", 'I'), T("InsNum", 'I'), C("AuthNum", 15), N("Visits", 3, 0), T("StartDate", 'D'),
          T("EndDate", 'D', true), T("Copay", 'Y')},
         {{"PtNum", "PtNum"}, {"InsNum", "InsNum"}}},
        {"PostFile",
         {T("PtNum", 'I'), T("PostDate", 'D'), C("Code", 8), C("Descr", 40), N("Amount", 10, 2), N("Units", 3, 0),
          C("Doc", 5), T("Posted", 'T')},
         {{"PtNum", "PtNum"}, {"PostDate", "PostDate"}, {"Code", "UPPER(Code)"}}},
        {"PatIns",
         {T("PtNum", 'I'), T("InsNum", 'I'), C("PolicyNum", 20), C("GroupNum", 15), N("Priority", 1, 0),
          C("Insured", 30), T("Effective", 'D')},
         {{"PtNum", "PtNum"}, {"InsNum", "STR(InsNum)+STR(Priority,1)"}}},
        {"PmtAndChrg",
         {T("PtNum", 'I'), T("TransDate", 'D'), C("TransType", 1), T("Amount", 'Y'), C("Descr", 40), C("Doc", 5),
          T("InsNum", 'I'), T("Weight", 'B')},
         {{"PtNum", "PtNum"}, {"TransDate", "DTOS(TransDate)"}}},
        {"DocIdent",
         {C("Typ", 1), C("Hsp", 5), C("Doc", 5), C("Name", 30), C("FirstName", 20), C("Phone", 10), C("Address", 40)},
         {{"Doc", "UPPER(Doc)"}, {"Typ", "Typ+Hsp+Doc"}}},
        {"DocInsur",
         {C("Doc", 5), T("InsNum", 'I'), C("ProvId", 15), T("Group_Id", 'L'), T("Fac", 'L'), T("Box24K", 'L')},
         {{"Doc", "Doc+STR(InsNum,10)"}}},
        {"InsIdent",
         {T("InsNum", 'I'), C("CorpName", 40), C("Rec_Code2", 5), C("Ins_Type", 2), C("Sub_Code", 5), C("Address", 40),
          C("Phone", 10)},
         {{"InsNum", "InsNum", "", true}}},
        {"Ref",
         {T("RefNum", 'I'), C("Ref_Last", 25), C("Ref_First", 20), C("Phone", 10)},
         {{"RefNum", "RefNum", "", true}}},
        {"Passwords",
         {C("DeletePwd", 40), C("SystemPwd", 40), C("ReportPwd", 40), C("BackupPwd", 40)},
         {{"Live", "DeletePwd", "!DELETED()"}}},
    };
    return tables;
}

std::string EncodePassword(const std::string& plain) {
    std::string stored;
    for (unsigned char c : plain) {
        const int code = c < 30 || c > 129 ? '?' - 30 : c - 30;
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02d", code);
        stored += pair;
    }
    return stored;
}

}  // namespace sample
