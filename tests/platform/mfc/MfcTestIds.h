// Ids of the test program's own templates and strings.
#pragma once
#define IDD_HOST 100
#define IDD_PAGE 101
#define IDD_FORM 102
#define IDC_GO 1001
#define IDC_NAME 1002
#define IDC_LABEL 1003
#define IDC_COUNT 1004
#define IDS_FORMAT 200
#define IDS_PLAIN 201
#define IDS_SECOND_BLOCK 250
