#pragma once

#include <QString>
#include <cstdio>
#include <functional>
#include <string>

#include "tools/scale-read/cli/readeroptions.h"
#include "tools/scale-read/records/recordformat.h"

namespace scaleread {

// One line on standard error, "scale-read: TEXT".
void note(const QString& text);

// Each run returns the exit status. `setStopper` hands the caller the function that ends the run
// with a status (for signals).
using Stopper = std::function<void(int status)>;

int readPort(const ReaderOptions& options, const std::function<void(Stopper)>& setStopper);
int decodeRecording(const ReaderOptions& options);
int detectSettings(const ReaderOptions& options, const std::function<void(Stopper)>& setStopper);
int listHostPorts(const ReaderOptions& options);
// --command: exit status 0 only when the indicator did it.
int sendCommand(const ReaderOptions& options, const std::function<void(Stopper)>& setStopper);

// The system's reason for `error`, in lower case as the rest of a note.
QString systemReason(int error);

// Where records go: standard output, or FILE appended; nullptr with a note when it won't open
// or already holds records in another format than `format` (for CSV: other columns
// than `csvHeader`).
std::FILE* openOutput(const QString& path, OutputFormat format, const std::string& csvHeader);
// Whether records written to `out` begin its content, so that a CSV header belongs first: always
// on standard output, and for a file appended to only while it is empty.
bool startsNewOutput(std::FILE* out);
// The separator the window puts in its captions on this host (UTF-8).
std::string hostDecimalSeparator();
// The operator's ComN links: beside the program, or for an installed copy in the user's
// configuration folder, as the window keeps them.
QString portsFolder();

}  // namespace scaleread
