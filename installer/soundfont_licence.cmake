# Writes the shipped SoundFont's licence file: its copyright notice as the
# Debian package gives it, then the full text of the licence it names, with
# Windows line ends so that any editor shows it as it stands.
#   cmake -DNOTICE=copyright -DLICENCE=GPL-2 -DOUT=file -P soundfont_licence.cmake
foreach(input NOTICE LICENCE)
    if(NOT EXISTS "${${input}}")
        message(FATAL_ERROR "${input}: ${${input}} is missing")
    endif()
endforeach()
file(READ "${NOTICE}" notice)
file(READ "${LICENCE}" licence)
set(text "TimGM6mb.sf2: the General MIDI SoundFont that comes with Tivorn.

Its copyright and licence follow, as the Debian package timgm6mb-soundfont
states them, and after them the full text of the GNU General Public License,
version 2, under which it may be copied and changed.

==============================================================================

${notice}
==============================================================================

${licence}")
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUT}" "${text}")
