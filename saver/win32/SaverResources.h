// The Windows screen saver's resources (Saver.rc).
#pragma once

// The name the system's screen-saver settings list it by.
#define IDS_DESCRIPTION 1

#define IDD_SETTINGS 100
#define IDC_GALLERY 101
#define IDC_DELAY_LABEL 102
#define IDC_DELAY 103
#define IDC_RANDOM 104
