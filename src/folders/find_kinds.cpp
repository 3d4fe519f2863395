#include "folders/find_kinds.h"

namespace folders {
namespace {

constexpr FindKind kKinds[] = {
    {1, "Patients", "LastNam", "LFPatient", "/etc/TFindPatient.lyt", "PATIENTS", "Find Patient"},
    {23, "Patients", "LastNam", "LFPatient", "/etc/TFindPatientMru.lyt", "PATIENTS", "Find Patient"},
    {2, "Referral Sources", "Ref_Last", "LFReferral", "/etc/TFindRef.lyt", "REFERRALS", "Find Referral"},
    {3, "Doctors", "Name", "LFDoctor", "/etc/TFindDoctor.lyt", "DOCTORS", "Find Doctor"},
    {4, "Hospitals", "Name", "LFHospital", "/etc/TFindHospital.lyt", "HOSPITALS", "Find Hospital"},
    {5, "Fee Schedules", "Name", "LFFee", "/etc/TFindFee.lyt", "FEE_SCHEDULES", "Find Fee Schedule"},
    {6, "Procedure Codes", "Code", "LFProcedure", "/etc/TFindProcedure.lyt", "PROCEDURE_CODES", "Find Procedure Code"},
    {26, "Procedure Codes", "Code", "LFProcedure", "/etc/TFindProcedureMru.lyt", "PROCEDURE_CODES",
     "Find Procedure Code"},
    {7, "Place of Service", "", "LFPOS", "/etc/TFindPOS.lyt", "POS", "Find Place of Service (POS)"},
    {8, "Insurance Carriers", "CorpName", "LFInsurance", "/etc/TFindIns.lyt", "INSURANCE_CARRIERS",
     "Find Insurance Carrier"},
    {25, "Insurance Carriers", "CorpName", "LFInsurance", "/etc/TFindInsMru.lyt", "INSURANCE_CARRIERS",
     "Find Insurance Carrier"},
    {9, "Diagnosis Codes", "ICD9", "LFDiag", "/etc/TFindDiagCode.lyt", "DIAGNOSIS_CODES", "Find Diagnosis Code"},
    {24, "Diagnosis Codes", "ICD9", "LFDiag", "/etc/TFindDiagCodeMru.lyt", "DIAGNOSIS_CODES", "Find Diagnosis Code"},
    {10, "Modifiers", "Modifier", "LFModifier", "/etc/TFindModifier.lyt", "MODIFIERS", "Find Modifier"},
    {11, "Type of Service", "TOS", "LFTOS", "/etc/TFindTOS.lyt", "TOS", "Find Type of Service (TOS)"},
    {15, "Charges", "TrNum", "LFCharge", "/etc/TFindCharge.lyt", "CHARGE", "Find Charge"},
    {16, "Zip Codes", "Zip", "LFZip", "/etc/TFindZip.lyt", "ZIP_CODES", "Find Zip Code"},
    {18, "Payment Comments", "Comment", "LFPmtCom", "/etc/TFindPComments.lyt", "PAYMENT_COMMENTS",
     "Find Payment Comment"},
    {19, "Charge Comments", "Comment", "LFChrgCom", "/etc/TFindCComments.lyt", "CHARGE_COMMENTS",
     "Find Charge Comment"},
    {20, "Appointment Reasons", "Reason", "LFApptReason", "/etc/TFindApptReasons.lyt", "APPT_REASON",
     "Find Reason For Appointment"},
};

}  // namespace

const FindKind* FindKindOf(int32_t folderId) {
    for (const FindKind& kind : kKinds) {
        if (kind.folderId == folderId) return &kind;
    }
    return nullptr;
}

}  // namespace folders
