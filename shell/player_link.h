// The shell as the player's host: the resident window, the tray icon and
// the tray menu show what the player does.
#ifndef TIVORN_SHELL_PLAYER_LINK_H
#define TIVORN_SHELL_PLAYER_LINK_H

// Connects the player to the shell; done when the resident window is made.
void ConnectPlayer();

#endif
