#ifndef VORLEX_APP_DIALOG_IDS_H
#define VORLEX_APP_DIALOG_IDS_H

// Identifiers of the configuration dialog, read by the resource compiler (host/vorlex.rc)
// and by the code, so each number stands in one place. Plain defines: the resource
// compiler understands nothing else.
#define VORLEX_IDD_CONFIG 2003
#define VORLEX_IDC_RADIO_800X600 1000
#define VORLEX_IDC_RADIO_1024X768 1001
#define VORLEX_IDC_RADIO_1280X1024 1002
#define VORLEX_IDC_DENSITY 1004
#define VORLEX_IDC_HIGHLIGHT 1005

#endif
