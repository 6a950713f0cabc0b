// Setting the store up by hand, for the programs that run parts of Tivorn
// without its start-up load: tests, benchmarks and tools.  The program finds
// its files with LoadDataFolder and its settings with LoadSettings; these
// calls put the same state in place from what the caller has at hand.
#ifndef TIVORN_STORE_STORE_SETUP_H
#define TIVORN_STORE_STORE_SETUP_H

#include <cstddef>

#include "store/data_folder.h"
#include "store/registry_layout.h"

// The keys the store and the engine library read and write from now on, in
// place of the program's own: a test program's key of its own.
void UseRegistryRoot(const RegistryRoot &root);

// The data folder `folder`, with KORVEL.ini and KORVEL.dat in it, taken as
// a chosen folder is (a trailing backslash dropped).  False, with nothing
// changed, when it is empty or a file path in it would not fit.
bool UseDataFolder(const char *folder);
// The three paths exactly as given; an empty one is none.
void UseDataFolder(const store::DataFolder &files);

// The settings block as if read from "Settings" (a shorter block zero-filled,
// a longer one cut), with the start-up copies of the hotkeys and of the
// check-mark look taken from it.  The registry is neither read nor written.
void UseSettings(const unsigned char *block, size_t size);

// Back to the state before any load: no data folder, no files, a block of
// zeros.  The registry root stays as it is.
void ResetStore();

#endif
