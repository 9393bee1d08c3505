/* Identifiers of the resources both programs carry; shared by the resource
   script and the code. */
#ifndef ZARNO_RESOURCE_IDS_H
#define ZARNO_RESOURCE_IDS_H

/* The progress dialog template and its controls. */
#define PROGRESS_DIALOG_NAME "PBDLG"
#define IDC_PROGRESS_BAR 1112
#define IDC_PROGRESS_TITLE 1113
#define IDC_PROGRESS_NOTE 1114

#endif
