#pragma once
// Special folders of the current user.

#include <QString>

class Environment {
public:
    // Folder identifiers as the documents and settings know them (the low 7 bits count).
    static constexpr int CSIDL_DESKTOPDIRECTORY = 0x10;
    static constexpr int CSIDL_PERSONAL = 0x05;
    static constexpr int CSIDL_APPDATA = 0x1A;
    static constexpr int CSIDL_LOCAL_APPDATA = 0x1C;
    static constexpr int CSIDL_PROFILE = 0x28;

    // The path of a special folder. The application-data folders are the user's XDG data folder
    // ($XDG_DATA_HOME when it is absolute, else ~/.local/share). The empty string means there is
    // no such folder; it is never the current directory. Never raises.
    static QString GetFolderPath(int folder);

    Environment() = delete;
};
