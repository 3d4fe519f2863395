#include "archive/merge_tables.h"

#include "common/product.h"
#include "db/ado_tools.h"
#include "engine/api/recordset.h"

namespace app {
namespace {

using engine::api::Connection;
using engine::api::Recordset;

constexpr const char* kTitle = "Updating Archive";

void Log(const std::string& text) { product::WriteLog("frmArchive", "MergeTables", text); }

// The text form of a field of the current row, as it is written into statements and criteria.
std::string FieldText(Recordset& rs, const char* name) { return AdoTools::VariantText(rs.Fields().Item(name).Value()); }

std::string LogicalLiteral(Recordset& rs, const char* name) {
    const engine::Value value = rs.Fields().Item(name).Value();
    const bool* set = value.If<bool>();
    return set && *set ? ".T." : ".F.";
}

void CloseIfOpen(Recordset& rs) {
    if (rs.State() != 0) rs.Close();
}

void Reopen(Recordset& rs, const std::string& source, Connection& connection, long options) {
    CloseIfOpen(rs);
    rs.Open(source, connection, engine::api::kAdOpenStatic, engine::api::kAdLockOptimistic, options);
}

// Copies the practice row into the archive row found for it, or into a new archive row.
void SaveRow(Recordset& practice, Recordset& archive, bool found) {
    if (!found) archive.AddNew();
    AdoTools::CopyRecord(practice.Fields(), archive);
    archive.Update();
}

// The archive query that finds a doctor's insurance number equal in all six key fields.
// The pieces keep their own blanks, so neighbouring pieces meet with two.
std::string DocInsurQuery(Recordset& practice) {
    std::string q = "SELECT * FROM DocInsur WHERE ";
    q += " Doc = " + TextLiteral(FieldText(practice, "Doc")) + " ";
    q += " AND InsNum = " + FieldText(practice, "InsNum") + " ";
    q += " AND ProvId = " + TextLiteral(FieldText(practice, "ProvId")) + " ";
    q += " AND Group_Id = " + LogicalLiteral(practice, "Group_ID") + " ";
    q += " AND Fac = " + LogicalLiteral(practice, "Fac") + " ";
    q += " AND Box24K = " + LogicalLiteral(practice, "Box24K");
    return q;
}

class Merge {
public:
    Merge(Connection& practice, Connection& archive, StatusServices& status)
        : m_practiceDb(practice), m_archiveDb(archive), m_status(status) {}

    // Runs the sections in order; false as soon as a stop was requested.
    bool Run() {
        return DocIdentSection("C", "Hsp", "Updating Hospital Information.", "Updating hospitals.") &&
               DocIdentSection("A", "Doc", "Updating Doctor Information.", "Updating doctors.") && DocInsurSection() &&
               TableSection("InsIdent", "InsNum", "Updating Insurance Information.", "Updating insurance.") &&
               TableSection("Ref", "RefNum", "Updating Referral Information.", "Updating referrals.");
    }

    void CloseAll() {
        CloseIfOpen(m_practice);
        CloseIfOpen(m_archive);
    }

private:
    // Hospitals or doctors: the rows of one kind in DocIdent, matched on a text key.
    bool DocIdentSection(const char* typ, const char* key, const char* balloon, const char* logLine) {
        m_status.ShowStatus(kTitle, balloon, true);
        const std::string query = std::string("SELECT * FROM DocIdent WHERE Typ = '") + typ + "'";
        Reopen(m_practice, query, m_practiceDb, engine::api::kAdCmdUnknown);
        Reopen(m_archive, query, m_archiveDb, engine::api::kAdCmdUnknown);
        const bool completed = m_practice.RecordCount() == 0 || OverwriteOrAdd(key, true, logLine);
        if (completed) CloseAll();
        return completed;
    }

    // Carriers or referral sources: whole tables matched on a numeric key. An empty practice
    // table shows no status and writes no log line.
    bool TableSection(const char* table, const char* key, const char* balloon, const char* logLine) {
        Reopen(m_practice, table, m_practiceDb, engine::api::kAdCmdTable);
        Reopen(m_archive, table, m_archiveDb, engine::api::kAdCmdTable);
        bool completed = true;
        if (m_practice.RecordCount() != 0) {
            m_status.ShowStatus(kTitle, balloon, true);
            completed = OverwriteOrAdd(key, false, logLine);
        }
        if (completed) CloseAll();
        return completed;
    }

    // Each practice row overwrites the first archive row with the same key, or is added. The
    // search runs over the archive recordset, so rows added here are found by later rows.
    bool OverwriteOrAdd(const char* key, bool textKey, const char* logLine) {
        Log(logLine);
        for (m_practice.MoveFirst(); !m_practice.Eof(); m_practice.MoveNext()) {
            if (m_status.StopRequested()) return false;
            bool found = false;
            if (m_archive.RecordCount() != 0) {
                const std::string value = FieldText(m_practice, key);
                m_archive.MoveFirst();
                m_archive.Find(std::string(key) + " = " + (textKey ? TextLiteral(value) : value));
                found = !m_archive.Eof();
            }
            SaveRow(m_practice, m_archive, found);
        }
        return true;
    }

    // Doctors' insurance numbers: added when no archive row equals the practice row in all six
    // key fields; an equal row is left as it is.
    bool DocInsurSection() {
        m_status.ShowStatus(kTitle, "Updating Doctor/Insurance Information.", true);
        Reopen(m_practice, "DocInsur", m_practiceDb, engine::api::kAdCmdTable);
        if (m_practice.RecordCount() != 0) {
            Log("Updating doctor's insurance numbers.");
            for (m_practice.MoveFirst(); !m_practice.Eof(); m_practice.MoveNext()) {
                if (m_status.StopRequested()) return false;
                Reopen(m_archive, DocInsurQuery(m_practice), m_archiveDb, engine::api::kAdCmdUnknown);
                if (m_archive.RecordCount() == 0) SaveRow(m_practice, m_archive, false);
            }
        }
        CloseAll();
        return true;
    }

    Connection& m_practiceDb;
    Connection& m_archiveDb;
    StatusServices& m_status;
    Recordset m_practice;
    Recordset m_archive;
};

}  // namespace

std::string TextLiteral(const std::string& value) {
    if (value.find('\'') == std::string::npos) return "'" + value + "'";
    if (value.find('"') == std::string::npos) return "\"" + value + "\"";
    std::string doubled = "'";
    for (char c : value) {
        doubled += c;
        if (c == '\'') doubled += c;
    }
    return doubled + "'";
}

void MergeTables(Connection& practice, Connection& archive, StatusServices& status) {
    Merge merge(practice, archive, status);
    merge.Run();
    status.HideStatus();
    merge.CloseAll();
}

}  // namespace app
