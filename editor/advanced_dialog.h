// The advanced settings dialog (template 106), modal over the best settings
// dialog: the two hotkeys, the look of the folder tree's check marks and the
// data folder that holds KORVEL.ini and KORVEL.dat.  The playback priority
// and reading files at once are shown and cannot be changed.
#ifndef TIVORN_EDITOR_ADVANCED_DIALOG_H
#define TIVORN_EDITOR_ADVANCED_DIALOG_H

class BestSettingsDialog;

// Runs the dialog over the best settings dialog until OK, Cancel or Close.
// OK applies and saves what changed, including the data folder chosen with
// its button; the other ways out change nothing.
void RunAdvancedSettings(BestSettingsDialog *owner);

#endif
