// Resource identifiers of Verlift.exe.
#pragma once

#define IDI_APP 101
#define IDD_UPDATE 101

// Notification dialog controls. Download and Later carry the ids of OK and Cancel, so that
// Enter presses Download and Esc or the close box act as Later.
#define IDC_DOWNLOAD 1
#define IDC_LATER 2
#define IDC_HOMEPAGE 11
#define IDC_MESSAGE 12
#define IDC_CURRENT_LABEL 13
#define IDC_CURRENT_VERSION 14
#define IDC_NEW_LABEL 15
#define IDC_NEW_VERSION 16
