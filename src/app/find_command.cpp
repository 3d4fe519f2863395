#include "app/find_command.h"

#include <memory>
#include <ostream>

#include "common/exception_text.h"
#include "common/paths.h"
#include "common/process.h"
#include "db/ado_tools.h"
#include "engine/api/connection.h"
#include "engine/api/recordset.h"
#include "folders/find_item.h"
#include "folders/find_kinds.h"
#include "folders/find_selection.h"
#include "folders/frm_find_patient.h"
#include "settings/most_recent_files.h"
#include "settings/xml_reg.h"

namespace app {
namespace {

constexpr const char* kPracticeContainer = "corvane.dbc";

std::string RecentDatabase() {
    settings::CMostRecentFiles recentFiles;
    recentFiles.SetXMLFile(settings::XMLReg.get());
    recentFiles.SetRootKey("FILE");
    recentFiles.SetSection("Recent Files");
    return recentFiles.GetRecordNum(1);
}

}  // namespace

std::string FindCommandSource(int kind) {
    switch (kind) {
        case folders::kFindPatients: return "IdentFil";
        case folders::kFindReferrals: return "Ref";
        // Doctors and hospitals share DocIdent: a doctor has a code of his own, a hospital none.
        case folders::kFindDoctors: return "SELECT * FROM DocIdent WHERE NOT EMPTY(Doc)";
        case folders::kFindHospitals: return "SELECT * FROM DocIdent WHERE EMPTY(Doc)";
        case folders::kFindInsurance: return "InsIdent";
        default: return {};
    }
}

int RunFindCommand(const std::string& kindText, const std::string& appPath, std::ostream& out, std::ostream& err) {
    int kind = 0;
    try {
        size_t used = 0;
        kind = std::stoi(kindText, &used);
        if (used != kindText.size()) kind = 0;
    } catch (...) {
        kind = 0;
    }
    const std::string source = FindCommandSource(kind);
    if (source.empty()) {
        err << "--find: '" << kindText << "' is no kind this command offers (1, 2, 3, 4 or 8).\n";
        return 2;
    }
    try {
        if (!settings::XMLReg) {
            settings::XMLReg = std::make_unique<settings::CXMLReg>();
            settings::XMLReg->SetAppName(common::GetLoginName());
            settings::XMLReg->SetAppPath(appPath);
        }
        const std::string database = RecentDatabase();
        if (database.empty()) {
            err << "--find: no recent database in the parameter file of " << appPath << ".\n";
            return 1;
        }
        const std::unique_ptr<engine::api::Connection> connection =
            AdoTools::Connect_DBC(common::FolderOf(database), kPracticeContainer);
        auto recordset = std::make_shared<engine::api::Recordset>();
        recordset->Open(source, *connection, engine::api::kAdOpenStatic, engine::api::kAdLockOptimistic,
                        source.starts_with("SELECT") ? engine::api::kAdCmdUnknown : engine::api::kAdCmdTable);

        folders::FindItem item;
        bool cancelled = true;
        {
            folders::frmFindPatient dialog;
            dialog.SetAppPath(appPath);
            dialog.SetFolderId(kind);
            dialog.SetRecordset(recordset);
            dialog.SettheItem(&item);
            dialog.exec();
            cancelled = dialog.Cancelled();
        }
        out << (cancelled ? "True" : "False") << "\n"
            << folders::ValueAsText(item.Text()) << "\n"
            << folders::ValueAsText(item.Value()) << std::endl;
        return 0;
    } catch (...) {
        err << "--find: " << common::CurrentErrorText() << "\n";
        return 1;
    }
}

}  // namespace app
