// The profile: the one folder that holds everything the host keeps between runs.
//
//   PROFILE/minihost.cfg    the components' configuration records (unless --config puts them elsewhere)
//   PROFILE/dsp_chain.bin   the DSP chain that playback runs through
//   PROFILE/playlist.txt    the playlist
//   PROFILE/main_window.txt the main window's place and size
//
// Later keepers (the metadata index, the media library, the window layout) take a file of their own
// name in the same folder through file().
#pragma once

#include <string>
#include <string_view>

namespace minihost {

class profile {
public:
    // The profile in `folder` (UTF-8), its configuration records in `config_file` (empty: the
    // folder's minihost.cfg).
    explicit profile(std::string folder, std::string config_file = {});
    // The profile of a configuration file given alone: the folder that holds it.
    static profile beside(const std::string& config_file);

    const std::string& folder() const { return folder_; }
    const std::string& config_file() const { return config_file_; }
    std::string dsp_chain_file() const { return file("dsp_chain.bin"); }
    std::string playlist_file() const { return file("playlist.txt"); }
    std::string main_window_file() const { return file("main_window.txt"); }
    // The file `name` in the profile folder.
    std::string file(std::string_view name) const;

    // Makes the folder, and that of the configuration file, when they are not there yet. Raises
    // zorb::exception naming the folder and the system's reason when one cannot be made.
    void create() const;

private:
    std::string folder_;
    std::string config_file_;
};

constexpr char default_profile_folder_name[] = "profile";
constexpr char config_file_name[] = "minihost.cfg";

}  // namespace minihost
