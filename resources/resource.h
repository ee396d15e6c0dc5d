// Identifiers of the settings dialog (resource 1000), its controls and the
// string table. Shared by the resource script, the dialog code and the
// tests that drive the dialog.
#ifndef CHROMALINE_RESOURCES_RESOURCE_H_
#define CHROMALINE_RESOURCES_RESOURCE_H_

#define IDD_SETTINGS 1000

#define IDC_ENABLE_PLUGIN 1001
#define IDC_HOTKEY 1004
#define IDC_GRAYSCALE 1007
#define IDC_SEPIA 1008
#define IDC_GRAY_MODE 1010
#define IDC_GAMMA_VAL 1012
#define IDC_USM_ENABLE 1015
#define IDC_USM_RADIUS 1016
#define IDC_USM_AMOUNT 1017
#define IDC_USM_THRESHOLD 1018
#define IDC_AMOUNT_LABEL 1019
#define IDC_RADIUS_LABEL 1020
#define IDC_THRESHOLD_LABEL 1021
#define IDC_TONE 1022
#define IDC_DEFOG 1023
#define IDC_DEFOG_VAL 1024
#define IDC_AUTO_LEVELS 1025
#define IDC_GAMMA_ADJ 1026
#define IDC_SOURCE_PREVIEW 1028
#define IDC_FILTERED_PREVIEW 1029
#define IDC_LOAD_IMAGE 1030
#define IDC_ESTIMATE_RESULT 1031
#define IDC_CLEAN 1032
#define IDC_ESTIMATE 1033
#define IDC_HOTKEY_LABEL 1034
#define IDC_HELP_BUTTON 1035

// The initialisation data of a dialog (list items), in the layout the
// classic Windows dialog frameworks use: per item the control id, the
// message 0x0403 (add a string), the byte length and the text with its NUL;
// a zero word ends the list.
#define RT_CHROMALINE_DLGINIT 240
#define DLGINIT_ADD_STRING 0x0403

#define IDS_SELECT_IMAGE 100
#define IDS_IMAGE_FILTER 101
#define IDS_LOAD_ERROR 102
#define IDS_NEED_IMAGE 103
#define IDS_ESTIMATE 104

#endif  // CHROMALINE_RESOURCES_RESOURCE_H_
