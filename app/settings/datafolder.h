#pragma once

#include <QString>

namespace scale {

// Where Setting.ini and the ports/ folder of ComN links live. A portable copy, whose folder the
// user may write to (a build folder, an unpacked archive), keeps them beside the program. An
// installed copy (in /usr/bin, say) cannot, so it keeps them in the user's configuration folder,
// $XDG_CONFIG_HOME/scale-readout (~/.config/scale-readout), created when first written to. A copy
// in a system program folder counts as installed even for a user who may write there (root), so
// that no settings file lands in /usr/bin.
QString dataFolder(const QString& programFolder);

// Whether `programFolder` is where installed programs live: /usr/bin, /usr/local/bin, or the
// folder this build installs its programs in.
bool isSystemProgramFolder(const QString& programFolder);

// The same, from what the host says: whether `programFolder` is writable, and the user's
// configuration folder.
QString dataFolder(const QString& programFolder, bool programFolderWritable,
                   const QString& userConfigFolder);

}  // namespace scale
