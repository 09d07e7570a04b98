// Context IDs that Tarnwick's windows open: the Help button of the Alias / Map Files dialog,
// F1 in the exclude-list editor and F1 in the main window. The program relies on these numbers.
#define IDH_ALIAS_MAP_DIALOG 1
#define IDH_EXCLUDE_LIST_EDITOR 4
#define IDH_MAIN_WINDOW 7
