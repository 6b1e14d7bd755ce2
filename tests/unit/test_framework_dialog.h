// Resource ids of test_framework_dialog.rc. Only #defines: read by windres and by C++.
#pragma once

#define IDD_FW_PLAIN 1000
#define IDD_FW_BROKEN 1001
#define IDC_FW_EDIT 1100
