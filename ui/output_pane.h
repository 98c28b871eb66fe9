// The output pane: the read-only rich edit control that shows every lookup,
// and the commands that act on it as a whole.
#pragma once
#include <windows.h>

#include <string>

#include "net/output_sink.h"

// The colour of appended text of a kind (COLORREF); black for unknown kinds.
COLORREF TextKindColour(int kind);

// Once, right after the pane is created.
void ConfigureOutputPane(HWND pane);
// On the UI thread: the text (UTF-8) goes to the very end in the kind's colour. The
// pane is drawn within 50 ms, once for all the pieces that came meanwhile.
void AppendToPane(HWND pane, int kind, const char* text);
// On the UI thread: empties the pane and returns the pane to use from now on
// (a long text is dropped with the control: a new one takes its place).
HWND ClearPane(HWND pane);

// File, Save As: true when the file was written.
bool SaveOutputAs(HWND owner, HWND pane);
// The pane's plain text, CR LF line ends, written over the file at `path`:
// in the ANSI code page when it holds every character, else as UTF-8 after a
// byte-order mark. Shows the system error box (owned by `owner`) and returns false on failure.
bool WritePaneToFile(HWND owner, HWND pane, const char* path);

// Options, Font.
void ChooseOutputFont(HWND owner, HWND pane);
// Stores a font chosen at `pointTenths` tenths of a point into OutputFormat and
// applies it to the pane; a refusal shows "Error setting character format".
void ApplyOutputFont(HWND owner, HWND pane, const LOGFONTA& font, int pointTenths);

// The text of the pane's characters first to last as UTF-8; "" for an empty
// range or one too long to be a link that may be opened.
std::string PaneLinkText(HWND pane, LONG first, LONG last);
// Hands a link (UTF-8) to the shell's "open" verb if it may be opened (OpenableLink);
// true when it was handed on.
bool OpenLink(HWND owner, const std::string& text);
// EN_LINK from the pane; always answers 0.
LRESULT OnPaneLink(HWND owner, HWND pane, const void* enlink);
