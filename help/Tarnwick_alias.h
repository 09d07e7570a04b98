; Topic files of the context IDs that Tarnwick's windows open.
; The compiler matches these paths with the [FILES] entries as written, so keep them alike.
IDH_ALIAS_MAP_DIALOG=html/alias_map_dialog.htm
IDH_EXCLUDE_LIST_EDITOR=html/exclude_list_editor.htm
IDH_MAIN_WINDOW=html/main_window.htm
