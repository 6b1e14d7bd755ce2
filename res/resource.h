// Resource ids of Kestrova.rc. Only #defines: read by windres and by C++.
#ifndef KESTROVA_RESOURCE_H
#define KESTROVA_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC                      (-1)
#endif

// Dialog templates
#define IDD_ABOUTBOX                    100
#define IDD_KESTROVA_DIALOG             102
#define IDD_WINLIST_DIALOG              129
#define IDD_CONTROL_DIALOG              131
#define IDD_LOCATION_SETTING            133
#define IDD_ALPHA_SETTING               134
#define IDD_LIMIT_DIALOG                135
#define IDD_LIMIT_SETTING               136
#define IDD_UPDATE_INTERVAL             142

// Icons
#define IDR_MAINFRAME                   128
#define IDI_DESKTOP                     143

// Menus
#define IDR_TRAY                        132
#define IDR_THUMB_POPUP                 137

// String table
#define IDS_ABOUTBOX                    101
#define IDP_SOCKETS_INIT_FAILED         103

// System-menu command of the About item
#define IDM_ABOUTBOX                    0x0010

// About box (100) and main window (102)
#define IDC_VERSION_TEXT                1003
#define IDC_HOMEPAGE_LINK               1114

// Window detection page (129)
#define IDC_WINLIST                     1000

// Exclusion list page (135)
#define IDC_TITLE_STATE                 1001
#define IDC_RULE_LIST                   1031
#define IDC_RULE_GROUP                  1032
#define IDC_TITLE_PATTERN               1036
#define IDC_EDIT_RULE                   1040
#define IDC_DELETE_RULE                 1042
#define IDC_MATCH_KIND                  1043
#define IDC_PNAME_STATE                 1052

// Rule editor (136); the pattern edit is IDC_TITLE_PATTERN
#define IDC_USE_TITLE                   1046
#define IDC_USE_PNAME                   1047
#define IDC_FULLNAME                    1051

// Control page (131)
#define IDC_THUMB_LIST                  1002
#define IDC_CHANGE_PROPERTIES           1008
#define IDC_LOCATION_TEXT               1009
#define IDC_CHANGE_TRANSPARENCY         1010
#define IDC_ARRANGE                     1011
#define IDC_SIZE_TEXT                   1012
#define IDC_TOPMARGIN_TEXT              1020
#define IDC_LEFTMARGIN_TEXT             1021
#define IDC_RIGHTMARGIN_TEXT            1022
#define IDC_BOTTOMMARGIN_TEXT           1023
#define IDC_MARGIN_LABEL                1024
#define IDC_TRANSPARENT_TEXT            1025
#define IDC_LIMIT_LABEL                 1029
#define IDC_EXCLUDE                     1030
#define IDC_LIMIT_TEXT                  1041
#define IDC_INTERVAL_TEXT               1053
#define IDC_MOVE_UP                     1056
#define IDC_MOVE_DOWN                   1057
#define IDC_MOVE_FIRST                  1058
#define IDC_MOVE_LAST                   1059
#define IDC_MODE_TEXT                   1105
#define IDC_THUMB_LIST_LABEL            1109

// Property dialog (133)
#define IDC_LOC_TOP                     1010
#define IDC_LOC_BOTTOM                  1011
#define IDC_LOC_LEFT                    1012
#define IDC_LOC_RIGHT                   1013
#define IDC_TOPMARGIN_EDIT              1014
#define IDC_BOTTOMMARGIN_EDIT           1015
#define IDC_LEFTMARGIN_EDIT             1016
#define IDC_RIGHTMARGIN_EDIT            1017
#define IDC_TOPMARGIN_SPIN              1019
#define IDC_LEFTMARGIN_SPIN             1020
#define IDC_BOTTOMMARGIN_SPIN           1021
#define IDC_RIGHTMARGIN_SPIN            1022
#define IDC_SIZE_SMALL                  1028
#define IDC_SIZE_MIDDLE                 1029
#define IDC_SIZE_LARGE                  1030
#define IDC_LIMIT_EDIT                  1044
#define IDC_LIMIT_SPIN                  1045
#define IDC_INTERVAL_EDIT               1054
#define IDC_INTERVAL_SPIN               1055
#define IDC_FRAME                       1111
#define IDC_HOVER_HOTKEY                1116
#define IDC_CHECK_HOTKEY                1117

// Transparency dialog (134)
#define IDC_ALPHA_EDIT                  1026
#define IDC_ALPHA_SPIN                  1027

// Reload-interval dialog (142)
#define IDC_SECONDS_EDIT                1054
#define IDC_SECONDS_SPIN                1055

// Tray menu (132)
#define ID_TRAY_MAINPANEL               32771
#define ID_TRAY_EXIT                    32772

// Thumbnail menu (137)
#define ID_THUMB_ARRANGE                32774
#define ID_THUMB_MOVEFORWARD            32778
#define ID_THUMB_MOVEBACKWARD           32779
#define ID_THUMB_EXCLUDE                32780
#define ID_THUMB_RELOAD_ON              32783
#define ID_THUMB_RELOAD_OFF             32784
#define ID_THUMB_RELOAD_INTERVAL        32785
#define ID_THUMB_COPY                   32786
#define ID_THUMB_MOVETOTOP              32790
#define ID_THUMB_MOVETOEND              32791

#endif
