#pragma once

namespace scaleread {

// Raises the soft limit on open files as far as the hard limit allows (a reader with many
// stations and clients needs more than the usual 1024); the soft limit in force after.
long raiseFileLimit();

// The soft limit on open files now.
long fileLimit();

}  // namespace scaleread
