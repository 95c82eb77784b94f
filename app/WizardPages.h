// The wizard's page classes. A page not built yet is a placeholder from
// its own template; building one replaces its line here by the include of
// its header.
#pragma once

#include "CPlaceholderPage.h"

using CPEWelcomePage = CPlaceholderMainPage<5350>;
using CPEMSRestorePage = CPlaceholderPage<5351>;
using CPERecoveryPage = CPlaceholderPage<5352>;
using CPESupportPage = CPlaceholderPage<5353>;
using CPEAdvOptionPage = CPlaceholderPage<5354>;
using CPECheckUpPage = CPlaceholderPage<5355>;
using CPERecoveryMainPage = CPlaceholderPage<5356>;
using CPERecoveryProcessingPage = CPlaceholderPage<5357>;
using CPEFileBackupSelectPage = CPlaceholderPage<5358>;
using CPEFileBackupScanPage = CPlaceholderPage<5359>;
using CPEFileBackupDestPage = CPlaceholderPage<5360>;
using CPEFileBackupReadyPage = CPlaceholderPage<5361>;
using CPEFileBackupCreatePage = CPlaceholderPage<5362>;
using CPEFileBackupDonePage = CPlaceholderPage<5363>;
using CPEFileBackupNoDrivePage = CPlaceholderPage<5364>;
using CPEFileBackupCancelledPage = CPlaceholderPage<5365>;
using CPEChooseModePage = CPlaceholderPage<5366>;
using CPERebootToHDDPage = CPlaceholderPage<5367>;
using CPERecoveryDonePage = CPlaceholderPage<5368>;
using CPEDVDAdvPage = CPlaceholderPage<5369>;
using CPEDVDResetConfirmPage = CPlaceholderPage<5370>;
using CPEResetProcessingPage = CPlaceholderPage<5371>;
using CPEDVDChangeDiscPage = CPlaceholderPage<5372>;
using CPESSRDAdvPage = CPlaceholderPage<5374>;
using CPEMSRConfirmPage = CPlaceholderPage<5375>;
using CPESRTConfirmPage = CPlaceholderPage<5376>;
using CPESSRDProcessingPage = CPlaceholderPage<5377>;
using CPECTOPanicPage = CPlaceholderPage<5391>;
using CPEReImageProcessingPage = CPlaceholderPage<5395>;
using CPEReImageDonePage = CPlaceholderPage<5398>;
using CPESSRDResetConfirmPage = CPlaceholderPage<5404>;
using CPESSRDChangeDiscPage = CPlaceholderPage<5405>;
using CPEInstructionPage = CPlaceholderPage<5406>;
using CPEFileBackupKeepSRPage = CPlaceholderPage<5408>;
using CRemoveRPProcessingPage = CPlaceholderPage<5392>;
using CRemoveRPDonePage = CPlaceholderPage<5396>;
using CRemoveRPConfirmPage = CPlaceholderPage<5397>;
using CWelcomePage = CPlaceholderMainPage<6000>;
using CAdvancePage = CPlaceholderPage<6001>;
using CCheckPage = CPlaceholderPage<6002>;
using CSWReinstallPage = CPlaceholderPage<6003>;
using CDriverReinstallPage = CPlaceholderPage<6004>;
using CMSSystemRestorePage = CPlaceholderPage<6005>;
using CSystemRecoveryPage = CPlaceholderPage<6006>;
using CSupportPage = CPlaceholderPage<6007>;
using CRestoreWelcomePage = CPlaceholderPage<6017>;
using CRestoreDstPage = CPlaceholderPage<6018>;
using CRestoreActionPage = CPlaceholderPage<6019>;
using CRestoreDonePage = CPlaceholderPage<6020>;
using CRestoreFileSelectPage = CPlaceholderPage<6021>;
using CRestoreCancelledPage = CPlaceholderPage<6022>;
