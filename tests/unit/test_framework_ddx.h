// Resource ids of test_framework_ddx.rc. Only #defines: read by windres and by C++.
#pragma once

#define IDD_FW_DDX 1200
#define IDC_FW_NAME 1201
#define IDC_FW_COUNT 1202
#define IDC_FW_ENABLED 1203
#define IDC_FW_LEFT 1204
#define IDC_FW_CENTER 1205
#define IDC_FW_RIGHT 1206
#define IDC_FW_OTHER 1207
