// Dialog templates of the program and their controls. Plain #defines: the
// resource compiler reads this file too.
#ifndef TIDELARK_RESOURCES_DIALOGS_H
#define TIDELARK_RESOURCES_DIALOGS_H

// The sync progress window: the progress text and the cancel button.
#define IDD_SYNC_PROGRESS 173
#define IDC_SYNC_TEXT 1001
#define IDC_SYNC_CANCEL 1002

#endif
