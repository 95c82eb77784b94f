// The page factory: one case per page id of the page table.
#include "CRevantDlg.h"
#include "WizardPages.h"

#include <new>

CWizardPage* CRevantDlg::NewPage(UINT nPageId)
{
    switch (nPageId) {
    case 5350: return new (std::nothrow) CPEWelcomePage;
    case 5351: return new (std::nothrow) CPEMSRestorePage;
    case 5352: return new (std::nothrow) CPERecoveryPage;
    case 5353: return new (std::nothrow) CPESupportPage;
    case 5354: return new (std::nothrow) CPEAdvOptionPage;
    case 5355: return new (std::nothrow) CPECheckUpPage;
    case 5356: return new (std::nothrow) CPERecoveryMainPage;
    case 5357: return new (std::nothrow) CPERecoveryProcessingPage;
    case 5358: return new (std::nothrow) CPEFileBackupSelectPage;
    case 5359: return new (std::nothrow) CPEFileBackupScanPage;
    case 5360: return new (std::nothrow) CPEFileBackupDestPage;
    case 5361: return new (std::nothrow) CPEFileBackupReadyPage;
    case 5362: return new (std::nothrow) CPEFileBackupCreatePage;
    case 5363: return new (std::nothrow) CPEFileBackupDonePage;
    case 5364: return new (std::nothrow) CPEFileBackupNoDrivePage;
    case 5365: return new (std::nothrow) CPEFileBackupCancelledPage;
    case 5366: return new (std::nothrow) CPEChooseModePage;
    case 5367: return new (std::nothrow) CPERebootToHDDPage;
    case 5368: return new (std::nothrow) CPERecoveryDonePage;
    case 5369: return new (std::nothrow) CPEDVDAdvPage;
    case 5370: return new (std::nothrow) CPEDVDResetConfirmPage;
    case 5371: return new (std::nothrow) CPEResetProcessingPage;
    case 5372: return new (std::nothrow) CPEDVDChangeDiscPage;
    case 5374: return new (std::nothrow) CPESSRDAdvPage;
    case 5375: return new (std::nothrow) CPEMSRConfirmPage;
    case 5376: return new (std::nothrow) CPESRTConfirmPage;
    case 5377: return new (std::nothrow) CPESSRDProcessingPage;
    case 5391: return new (std::nothrow) CPECTOPanicPage;
    case 5395: return new (std::nothrow) CPEReImageProcessingPage;
    case 5398: return new (std::nothrow) CPEReImageDonePage;
    case 5404: return new (std::nothrow) CPESSRDResetConfirmPage;
    case 5405: return new (std::nothrow) CPESSRDChangeDiscPage;
    case 5406: return new (std::nothrow) CPEInstructionPage;
    case 5408: return new (std::nothrow) CPEFileBackupKeepSRPage;
    case 5392: return new (std::nothrow) CRemoveRPProcessingPage;
    case 5396: return new (std::nothrow) CRemoveRPDonePage;
    case 5397: return new (std::nothrow) CRemoveRPConfirmPage;
    case 6000: return new (std::nothrow) CWelcomePage;
    case 6001: return new (std::nothrow) CAdvancePage;
    case 6002: return new (std::nothrow) CCheckPage;
    case 6003: return new (std::nothrow) CSWReinstallPage;
    case 6004: return new (std::nothrow) CDriverReinstallPage;
    case 6005: return new (std::nothrow) CMSSystemRestorePage;
    case 6006: return new (std::nothrow) CSystemRecoveryPage;
    case 6007: return new (std::nothrow) CSupportPage;
    case 6017: return new (std::nothrow) CRestoreWelcomePage;
    case 6018: return new (std::nothrow) CRestoreDstPage;
    case 6019: return new (std::nothrow) CRestoreActionPage;
    case 6020: return new (std::nothrow) CRestoreDonePage;
    case 6021: return new (std::nothrow) CRestoreFileSelectPage;
    case 6022: return new (std::nothrow) CRestoreCancelledPage;
    default: return nullptr;
    }
}
