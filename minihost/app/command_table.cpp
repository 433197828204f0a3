// Every command of minihost.exe: its name, its usage text and its handler.
#include "minihost/app/command_line.h"
#include "minihost/app/component_commands.h"
#include "minihost/app/dsp_commands.h"
#include "minihost/app/gui_command.h"
#include "minihost/app/input_commands.h"
#include "minihost/app/library_commands.h"
#include "minihost/app/menu_commands.h"
#include "minihost/app/playback_commands.h"
#include "minihost/app/script_command.h"
#include "minihost/app/settings_commands.h"
#include "minihost/app/tag_commands.h"

namespace minihost {
namespace {

const command commands[] = {
    {"services", "services   list every service of the component: class, GUID, name", services_command},
    {"about", "about      show the component's identity and installation check", about_command},
    {"info",
     "info FILE...\n"
     "             per file: the input that takes it, its technical fields, its length (when the input\n"
     "             gives one) and file statistics",
     info_command},
    {"play",
     "play FILE [--seconds N] [--out OUT.wav] [--dsp NAME [--preset DATA]]...\n"
     "             decode N seconds (default 30) through the input into a WAV file (default out/NAME.wav),\n"
     "             through the DSPs named (each with the preset DATA or its default) or else the DSP chain kept",
     play_command},
    {"advconfig",
     "advconfig list\n"
     "             the advanced-settings tree with the values of its entries\n"
     "  advconfig set NAME VALUE\n"
     "             sets the advanced setting NAME (its name, or its path as list shows it, joined by /);\n"
     "             a check box takes on or off",
     advconfig_command},
    {"preferences",
     "preferences [--close-after S]\n"
     "             opens the preferences window (and closes it after S seconds)",
     preferences_command},
    {"dsp",
     "dsp list\n"
     "             the component's DSPs and the DSP chain that play uses\n"
     "  dsp configure NAME [--preset DATA] [--live] [--close-after S]\n"
     "             the configuration dialog of the DSP NAME on its preset in the chain (or on DATA);\n"
     "             the chain keeps the result; --live prints every change as playback would take it\n"
     "  dsp clear\n"
     "             empties the DSP chain\n"
     "  DATA: a preset's bytes in hexadecimal, or f32:NUMBER for a 32-bit little-endian float, joined by commas",
     dsp_command},
    {"context",
     "context list FILE...\n"
     "             the context menu for the files' tracks: groups and the items shown for that selection\n"
     "  context run ITEM FILE... [--windows [--close-after S]]\n"
     "             runs the item ITEM (its name, or its path as \"Sample component/Test command\") on them;\n"
     "             --windows shows its popups, progress and folder questions as windows and waits for them\n"
     "             (closing them after S seconds, a progress window as by its Abort button)",
     context_command},
    {"menu",
     "menu list\n"
     "             the main menu, with [ticked] and [disabled] marks\n"
     "  menu run PATH [--windows [--close-after S]]\n"
     "             runs the command or dynamic item PATH (names joined by /, from any level of the menu),\n"
     "             with --windows as context run",
     menu_command},
    {"gui",
     "gui [FILE|FOLDER...] [--close-after S] [--run PATH]... [--select ROWS] [--show-menu PATH] [--context-menu]\n"
     "    [--show-context-menu PATH] [--context-run PATH]... [--press TITLE/BUTTON]... [--run-after S]\n"
     "    [--layout NAME,NAME...]\n"
     "             the main window: its menus, the playlist (the files and folders given, else the one kept),\n"
     "             the component's windows; closes after S seconds; runs the main-menu commands PATH; selects\n"
     "             the rows ROWS (from 1, joined by commas); opens the menu PATH or the selection's context menu;\n"
     "             runs the context-menu commands PATH on the selection; presses the button BUTTON of the\n"
     "             window titled TITLE; --run-after waits S seconds before the --run commands; --layout\n"
     "             puts the UI elements NAME in the element area below the playlist",
     gui_command},
    {"script",
     "script FILE|-\n"
     "             runs the commands of FILE (or standard input), one a line, in one host session;\n"
     "             a line may give options of its own; the script stops at the first failing line",
     script_command},
    {"tags",
     "tags FILE [FIELD=VALUE...]\n"
     "             the file's meta fields (FIELD=VALUE, a line per value), length and technical fields;\n"
     "             with FIELD=VALUE sets those fields through the file's input first (FIELD= removes one;\n"
     "             a field given twice gets both values)",
     tags_command},
    {"library",
     "library add PATH...\n"
     "             adds files, and every file an input takes under folders (recursively), to the media library\n"
     "  library list\n"
     "             the library's tracks\n"
     "  library remove PATH...\n"
     "             removes files, and every file under folders, from the library",
     library_command},
    {"format",
     "format PATTERN FILE...\n"
     "             one line per track of the files: PATTERN formatted over it (README, \"Title formatting\")",
     format_command},
    {"properties",
     "properties FILE... [--window [--close-after S]]\n"
     "             the properties view of the files' tracks: every group and its rows; --window shows\n"
     "             them in the properties window (and closes it after S seconds)",
     properties_command},
    {"playback",
     "playback FILE... [--seconds N] [--fast] [--menu PATH [--close-after S]]\n"
     "             plays the files as a playlist through the player (the DSP chain kept, the capture, the\n"
     "             sound card or, without one, a silent output in real time) and prints its events; stops\n"
     "             after N seconds of audio (to the frame) or at the playlist's end; --fast: no waiting;\n"
     "             --menu runs that main-menu command once playback has started and plays on while the\n"
     "             windows it opens stay open (--close-after: they close after S seconds)",
     playback_command},
};

}  // namespace

std::span<const command> command_table() { return commands; }

}  // namespace minihost
